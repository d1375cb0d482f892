#include "BatchCDRip.h"

#include "BatchHandler.h"
#include "cli/common/CommandLine.h"
#include "cli/common/StoreSession.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/PlayoutAudio.h"
#include "platform/cdripper/CDRipper.h"
#include "wizard/CDRipRun.h"
#include "wizard/CDTrackList.h"
#include "wizard/ImportContext.h"
#include "wizard/ImportItemList.h"
#include "wizard/ImportListColumns.h"
#include "wizard/SummaryBuilder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {
void err(const QString& text) { std::fprintf(stderr, "orvane-import-batch: %s\n", qPrintable(text)); }

// "1,3-5" -> 1, 3, 4, 5; empty when the text is not such a list.
QList<int> trackList(const QString& text)
{
    QList<int> tracks;
    for (const QString& piece : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = piece.split(QLatin1Char('-'));
        bool okFirst = false, okLast = false;
        const int first = ends.value(0).trimmed().toInt(&okFirst);
        const int last = ends.size() == 2 ? ends.value(1).trimmed().toInt(&okLast) : first;
        if (!okFirst || (ends.size() == 2 && !okLast) || ends.size() > 2 || first < 1 || last < first || last > 99)
            return {};
        for (int track = first; track <= last; ++track)
            tracks << track;
    }
    return tracks;
}
} // namespace

BatchCDRip::BatchCDRip(StoreSession& session, const FileImportOptions& options, bool json, bool quiet, bool dryRun)
    : m_session(session)
    , m_options(options)
    , m_json(json)
    , m_quiet(quiet)
    , m_dryRun(dryRun)
{
    m_titles.separators[0] = options.separators[0];
    m_titles.separators[1] = options.separators[1];
}

int BatchCDRip::readOptions(const CommandLine& args)
{
    if (args.has(QStringLiteral("device")))
        qputenv("ORVANE_CD_DEVICE", QFile::encodeName(args.value(QStringLiteral("device"))));
    if (args.has(QStringLiteral("tracks"))) {
        m_chosen = trackList(args.value(QStringLiteral("tracks")));
        if (m_chosen.isEmpty()) {
            err(QStringLiteral("--tracks takes track numbers and ranges such as 1,3-5"));
            return 2;
        }
    }
    const QString order = args.value(QStringLiteral("order"));
    if (!order.isEmpty() && order != QLatin1String("normal") && order != QLatin1String("reversed")) {
        err(QStringLiteral("--order takes normal or reversed"));
        return 2;
    }
    m_titles.order = order == QLatin1String("reversed") ? CDTitleOptions::Reversed : CDTitleOptions::Normal;
    m_titles.forceTitle = args.has(QStringLiteral("force-title"));
    m_titles.title = args.value(QStringLiteral("force-title"));
    m_titles.forceArtist = args.has(QStringLiteral("force-artist"));
    m_titles.artist = args.value(QStringLiteral("force-artist"));
    m_autoTop = args.has(QStringLiteral("auto-top"));
    m_lookupOptional = args.has(QStringLiteral("lookup-optional"));
    m_lookup = m_lookupOptional || args.has(QStringLiteral("lookup"));
    const QString service = args.value(QStringLiteral("lookup"));
    if (!service.isEmpty() && service != QLatin1String("cddb") && service != QLatin1String("musicbrainz")) {
        err(QStringLiteral("--lookup takes cddb or musicbrainz"));
        return 2;
    }
    m_musicBrainz = service == QLatin1String("musicbrainz");
    if (args.has(QStringLiteral("release"))) {
        bool ok = false;
        m_release = args.value(QStringLiteral("release")).toInt(&ok) - 1;
        if (!ok || m_release < 0 || !m_musicBrainz) {
            err(QStringLiteral("--release takes a release number from 1, with --lookup=musicbrainz"));
            return 2;
        }
    }
    m_options.sequential = true; // tracks have no file name to take a cart number from
    return 0;
}

void BatchCDRip::titlesFound(const CDTitleProposal& proposal)
{
    // The first proposed separators, unless the command line named its own.
    for (int box = 0; box < 2 && box < proposal.separators.size(); ++box)
        if (m_titles.separators[box] == (box == 0 ? QStringLiteral("-") : QStringLiteral("_")))
            m_titles.separators[box] = proposal.separators.at(box);
}

bool BatchCDRip::tickTracks(ImportItemList& tracks) const
{
    bool any = false;
    for (int row = 0; row < tracks.count(); ++row) {
        const int track = tracks.item(row).Key.mid(2).toInt();
        const bool audio = tracks.item(row).field(QStringLiteral("TYPE")) == QLatin1String("Audio");
        const bool chosen = m_chosen.isEmpty() ? audio : m_chosen.contains(track);
        tracks.setChecked(row, chosen);
        any = any || chosen;
    }
    return any;
}

int BatchCDRip::run()
{
    CDRipper ripper;
    if (ripper.DriveCount() < 1 || !ripper.OpenDrive(0)) {
        err(QStringLiteral("no CD drive (name one, or a .cue image, with --device)"));
        return 2;
    }
    ImportItemList tracks(true);
    tracks.setColumns(ImportListColumns::cdTracks());
    if (ripper.DriveStatus() != CDRipper::DiscLoaded || !CDTrackList::ReadCDTracks(ripper, tracks)) {
        err(QStringLiteral("there is no disc in the drive, or it cannot be read"));
        return 2;
    }
    if (const auto proposal = CDTrackList::applyDiscText(ripper, tracks))
        titlesFound(*proposal);
    if (m_lookup) {
        CDTitleLookup lookup(tracks, *this, nullptr);
        CDTitleLookupOptions options = CDTitleLookupOptions::fromStore(m_session.audio()->Cartvault());
        if (m_musicBrainz)
            options.service = CDTitleLookupOptions::Service::MusicBrainz;
        options.release = m_release;
        const DiscLookupResult::Outcome outcome = lookup.run(options, ripper.discIdentity());
        // Carts titled "Track n" by accident are worse than no carts: the
        // run was asked for titles and the reason is on stderr already.
        if (outcome == DiscLookupResult::Outcome::Failed && !m_lookupOptional) {
            err(QStringLiteral("nothing ripped, as the titles could not be looked up (--lookup-optional rips without them)"));
            return 1;
        }
    }
    CDTrackList::ApplyCDTitles(tracks, m_titles, false);
    if (!tickTracks(tracks)) {
        err(QStringLiteral("none of the chosen tracks is on the disc"));
        return 2;
    }
    ImportItemList summary(false);
    summary.setColumns(ImportListColumns::summary());
    SummaryBuilder::BuildSummary(tracks, false, summary, m_options, *m_session.audio());
    if (m_dryRun) {
        printTracks(tracks, summary);
        return 0;
    }
    const ImportContext context{m_session.audio(), m_session.settings(), nullptr, m_session.profile(), {}};
    BatchHandler handler(!m_json && !m_quiet);
    CDRipRun run(context, m_options, CDRipOptions{m_autoTop}, ripper, handler);
    const bool ripped = run.RunCDRip(tracks, summary, nullptr);
    handler.finish();
    if (m_json) {
        QJsonArray items;
        for (const ImportItem& row : summary.items()) {
            const BatchHandler::Outcome outcome = handler.outcomes().value(row.Key);
            items.append(QJsonObject{{"track", row.Text},
                                     {"cart", row.field(QStringLiteral("DEST"))},
                                     {"title", row.field(QStringLiteral("TITLE"))},
                                     {"artist", row.field(QStringLiteral("ARTIST"))},
                                     {"length", row.field(QStringLiteral("LENGTH"))},
                                     {"outcome", handler.outcomes().contains(row.Key)
                                                     ? (outcome.outcome == FileImportHandler::Outcome::Imported ? "imported" : "failed")
                                                     : "not-reached"},
                                     {"error", outcome.error}});
        }
        std::fputs(QJsonDocument(QJsonObject{{"profile", m_session.profile()}, {"succeeded", ripped}, {"items", items}})
                       .toJson(QJsonDocument::Indented)
                       .constData(),
                   stdout);
    }
    return ripped ? 0 : 1;
}

void BatchCDRip::printTracks(const ImportItemList& tracks, const ImportItemList& summary) const
{
    for (const ImportItem& row : tracks.items()) {
        const int line = summary.indexOf(row.Key);
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", qPrintable(row.field(QStringLiteral("TRACK"))),
                    qPrintable(line < 0 ? QStringLiteral("-") : summary.item(line).field(QStringLiteral("DEST"))),
                    qPrintable(row.field(QStringLiteral("TITLE"))), qPrintable(row.field(QStringLiteral("ARTIST"))),
                    qPrintable(row.field(QStringLiteral("LENGTH"))), qPrintable(row.field(QStringLiteral("TYPE")).trimmed()));
    }
}
