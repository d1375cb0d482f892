#include "wizard/CDTitleLookup.h"

#include "frame/Messenger.h"
#include "frame/library/AuditLog.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/Directory.h"
#include "frame/library/GeneralTools.h"
#include "platform/freedb/FreeDBClient.h"
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
    return options;
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
        m_directory->AuditLog().LogEvent(2, 11, QStringLiteral("CDDB Queried"), text, flag, 0);
}

bool CDTitleLookup::run(const CDTitleLookupOptions& options, const CDRipper::DiscIdentity& identity)
{
    m_handler.driveWatch(false);
    if (options.email.isEmpty()) {
        audit(QStringLiteral("No email address"), 0);
        ShowMessage(QStringLiteral("You must specify your email address in the CDDB Configuration"));
        m_handler.driveWatch(true);
        return false;
    }

    m_busy = true;
    m_handler.status(QStringLiteral("Connecting..."));
    FreeDBClient client;
    client.server = options.server;
    client.email = options.email;
    client.clientName = options.clientName;
    client.clientVersion = options.clientVersion;
    client.timeoutSeconds = options.timeoutSeconds;
    const std::optional<FreeDBDisc> disc = client.lookup(identity.trackOffsets, identity.discSeconds);

    if (!disc) {
        ShowMessage(QStringLiteral("There is no information available for this CD"));
        audit(QStringLiteral("CD not found"), 0);
    } else {
        audit(disc->artist.isEmpty() ? disc->title
                                     : disc->title + QStringLiteral(" (") + disc->artist + QStringLiteral(")"),
              1);
        m_handler.status(QStringLiteral("Reading..."));
        m_handler.titlesFound(applyDisc(*disc));
        m_busy = false;
        m_handler.status(QStringLiteral("Updating..."));
        m_handler.applyTitles();
    }
    m_busy = false;
    m_handler.status(QString());
    m_handler.driveWatch(true);
    return disc.has_value();
}

CDTitleProposal CDTitleLookup::applyDisc(const FreeDBDisc& disc)
{
    QList<bool> keep(kSeparators.size(), true);
    const int tracks = GeneralTools::MinLong(disc.trackCount, m_rows.count());
    for (int track = 1; track <= tracks; ++track) {
        const int row = m_rows.indexOf(QStringLiteral("CD%1").arg(track));
        if (row < 0)
            continue;
        const QString title = disc.trackTitles.value(track - 1);
        if (title.isEmpty()) {
            m_rows.setText(row, QStringLiteral("Track: %1").arg(track));
            continue;
        }
        m_rows.setText(row, trackTagText(title, disc));
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
