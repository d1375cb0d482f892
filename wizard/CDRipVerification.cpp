#include "wizard/CDRipVerification.h"

#include "platform/accuraterip/AccurateRipClient.h"
#include "platform/cdripper/CDRipper.h"

bool CDRipVerification::fetch(const CDRipper& ripper, const QString& server)
{
    const CDRipper::DiscIdentity toc = ripper.discIdentity();
    QList<bool> audio;
    for (int track = 1; track <= toc.trackOffsets.size(); ++track)
        audio << ripper.IsAudioTrack(track);
    AccurateRipClient client;
    client.server = server;
    AccurateRipClient::Answer answer = client.fetch(AccurateRipDisc::fromToc(toc.trackOffsets, audio, toc.leadOut));
    m_record.reset();
    m_error = answer.error;
    if (answer.kind == AccurateRipClient::Answer::Found)
        m_record = std::move(answer.record);
    return answer.kind != AccurateRipClient::Answer::Failed;
}

AccurateRipVerdict CDRipVerification::judge(int track, AccurateRipChecksum::Sums sums) const
{
    return AccurateRipVerdict::judge(m_record ? &*m_record : nullptr, track, sums);
}
