#include "wizard/CDTitleLookup.h"

#include "frame/Messenger.h"
#include "frame/library/AuditLog.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/Directory.h"
#include "frame/library/GeneralTools.h"
#include "platform/freedb/FreeDBClient.h"
#include "platform/musicbrainz/MusicBrainzClient.h"
#include "wizard/ImportItemList.h"

#include <QCoreApplication>

namespace {

const QStringList kSeparators = {QStringLiteral(","), QStringLiteral("-"), QStringLiteral("_"), QStringLiteral("/"),
                                 QStringLiteral("\\")};

QStringList nonEmpty(const QStringList& texts)
{
    QStringList kept;
    for (const QString& text : texts)
        if (!text.isEmpty())
            kept << text;
    return kept;
}

} // namespace

CDTitleLookupOptions CDTitleLookupOptions::fromStore(const CartvaultStore& store)
{
    CDTitleLookupOptions options;
    options.server = store.FreeDBServer;
    options.email = store.FreeDBEmail;
    options.clientName = QCoreApplication::applicationName();
    options.clientVersion = QCoreApplication::applicationVersion();
    options.timeoutSeconds = store.LookupTimeout;
    options.musicBrainzServer = store.MusicBrainzServer;
    return options;
}

// The service asks its clients to say who they are and how to reach them.
QString CDTitleLookupOptions::userAgent() const
{
    return QStringLiteral("Orvane/%1 ( %2 )")
        .arg(clientVersion, email.isEmpty() ? QStringLiteral("no station contact set") : email);
}

CDTitleLookup::CDTitleLookup(ImportItemList& rows, CDTitleLookupHandler& handler, Directory* directory)
    : m_rows(rows), m_handler(handler), m_directory(directory)
{
}

QString CDTitleLookup::trackTagText(const QString& title, const FreeDBDisc& disc)
{
    QString text = GeneralTools::SetParameter(QString(), QStringLiteral("Title"), title);
    text = GeneralTools::SetParameter(text, QStringLiteral("AlbumName"), disc.title);
    text = GeneralTools::SetParameter(text, QStringLiteral("AlbumYear"), disc.year);
    text = GeneralTools::SetParameter(text, QStringLiteral("AlbumGenre"), disc.genre);
    text = GeneralTools::SetParameter(text, QStringLiteral("AlbumNotes"), disc.notes);
    return GeneralTools::SetParameter(text, QStringLiteral("AlbumArtist"), disc.artist);
}

void CDTitleLookup::audit(const QString& text, int flag) const
{
    if (m_directory)
        m_directory->AuditLog().LogEvent(2, 11, m_auditTitle, text, flag, 0);
}

DiscLookupResult::Outcome CDTitleLookup::run(const CDTitleLookupOptions& options,
                                              const CDRipper::DiscIdentity& identity)
{
    const bool musicBrainz = options.service == CDTitleLookupOptions::Service::MusicBrainz;
    m_auditTitle = musicBrainz ? QStringLiteral("MusicBrainz Queried") : QStringLiteral("CDDB Queried");
    m_handler.driveWatch(false);
    if (!musicBrainz && options.email.isEmpty()) {
        audit(QStringLiteral("No email address"), 0);
        ShowMessage(QStringLiteral("You must specify your email address in the CDDB Configuration"));
        m_handler.driveWatch(true);
        return DiscLookupResult::Outcome::Failed;
    }

    m_busy = true;
    m_handler.status(QStringLiteral("Connecting..."));
    m_result = musicBrainz ? askMusicBrainz(options, identity) : askCddb(options, identity);
    const qsizetype releases = m_result.discs.size();
    if (m_result.outcome == DiscLookupResult::Outcome::Found && options.release >= releases)
        m_result = DiscLookupResult::failed(
            QStringLiteral("there is no release %1; the disc is on %2").arg(options.release + 1).arg(releases));
    finish(musicBrainz ? options.musicBrainzServer : options.server, options.release);
    return m_result.outcome;
}

DiscLookupResult CDTitleLookup::askCddb(const CDTitleLookupOptions& options, const CDRipper::DiscIdentity& identity)
{
    FreeDBClient client;
    client.server = options.server;
    client.email = options.email;
    client.clientName = options.clientName;
    client.clientVersion = options.clientVersion;
    client.timeoutSeconds = options.timeoutSeconds;
    return client.lookup(identity.trackOffsets, identity.discSeconds);
}

DiscLookupResult CDTitleLookup::askMusicBrainz(const CDTitleLookupOptions& options,
                                               const CDRipper::DiscIdentity& identity)
{
    MusicBrainzClient client;
    client.server = options.musicBrainzServer;
    client.userAgent = options.userAgent();
    client.timeoutSeconds = options.timeoutSeconds;
    return client.lookup(identity.trackOffsets, identity.leadOut, identity.endsWithData);
}

void CDTitleLookup::finish(const QString& server, int release)
{
    const DiscLookupResult& result = m_result;
    switch (result.outcome) {
    case DiscLookupResult::Outcome::NoMatch:
        ShowMessage(QStringLiteral("There is no information available for this CD"));
        audit(QStringLiteral("CD not found"), 0);
        break;
    case DiscLookupResult::Outcome::Failed:
        // Not "no information": the server was never really asked, and
        // asking again later may well find the disc.
        ShowMessage(QStringLiteral("The CD could not be looked up at %1: %2").arg(server, result.failure));
        audit(QStringLiteral("Lookup failed at %1: %2").arg(server, result.failure), 0);
        break;
    case DiscLookupResult::Outcome::Found: {
        const FreeDBDisc& disc = result.discs.at(release);
        audit(disc.artist.isEmpty() ? disc.title : disc.title + QStringLiteral(" (") + disc.artist + QStringLiteral(")"),
              1);
        m_handler.status(QStringLiteral("Reading..."));
        applyRelease(release);
        break;
    }
    }
    m_busy = false;
    m_handler.status(QString());
    m_handler.driveWatch(true);
}

bool CDTitleLookup::chooseRelease(int release)
{
    if (m_busy || m_result.outcome != DiscLookupResult::Outcome::Found || release < 0 || release >= m_result.discs.size())
        return false;
    m_busy = true;
    applyRelease(release);
    m_handler.status(QString());
    return true;
}

// Several releases are offered to choose from; the chosen one is applied.
void CDTitleLookup::applyRelease(int release)
{
    CDTitleProposal proposal = applyDisc(m_rows, m_result.discs.at(release));
    if (m_result.discs.size() > 1)
        for (const FreeDBDisc& each : m_result.discs)
            proposal.releases << MusicBrainzClient::releaseLabel(each);
    proposal.release = release;
    m_handler.titlesFound(proposal);
    m_busy = false;
    m_handler.status(QStringLiteral("Updating..."));
    m_handler.applyTitles();
}

CDTitleProposal CDTitleLookup::applyDisc(ImportItemList& rows, const FreeDBDisc& disc)
{
    QList<bool> keep(kSeparators.size(), true);
    const int tracks = GeneralTools::MinLong(disc.trackCount, rows.count());
    for (int track = 1; track <= tracks; ++track) {
        const int row = rows.indexOf(QStringLiteral("CD%1").arg(track));
        if (row < 0)
            continue;
        const QString title = disc.trackTitles.value(track - 1);
        if (title.isEmpty()) {
            rows.setText(row, QStringLiteral("Track: %1").arg(track));
            continue;
        }
        QString tagText = trackTagText(title, disc);
        if (const QString isrc = disc.isrcs.value(track - 1); !isrc.isEmpty())
            tagText = GeneralTools::SetParameter(tagText, QStringLiteral("ISRC"), isrc);
        rows.setText(row, tagText);
        // A separator is proposed only when every titled track has it.
        for (int s = 0; s < kSeparators.size(); ++s)
            keep[s] = keep[s] && title.contains(kSeparators.at(s));
    }

    CDTitleProposal proposal;
    for (int s = 0; s < kSeparators.size(); ++s)
        if (keep.at(s))
            proposal.separators << kSeparators.at(s);
    proposal.titles = nonEmpty({disc.title, disc.artist, disc.notes, disc.year});
    proposal.artists = nonEmpty({disc.artist, disc.title, disc.notes, disc.year});
    return proposal;
}
