#include "BatchCDRip.h"

#include "BatchHandler.h"
#include "frame/library/CartNumbers.h"
#include "frame/library/TimeTools.h"
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
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {
void err(const QString& text) { std::fprintf(stderr, "orvane-import-batch: %s\n", qPrintable(text)); }

QString crcText(quint32 crc) { return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')); }

QJsonValue verdictObject(const std::optional<AccurateRipVerdict>& verdict)
{
    if (!verdict)
        return QJsonValue::Null;
    return QJsonObject{{"verdict", verdict->word()},
                       {"confidence", verdict->confidence},
                       {"crc_v1", crcText(verdict->sums.v1)},
                       {"crc_v2", crcText(verdict->sums.v2)}};
}

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
// The disc library opens a CUE image's audio from the file named like the
// sheet (disc.cue: disc.bin), whatever its FILE line says.
QString cannotOpen(const QString& device)
{
    const QFileInfo info(device);
    if (info.suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) != 0 || !info.exists())
        return QStringLiteral("cannot open the drive '%1'").arg(device);
    return QStringLiteral("cannot open the image '%1': its audio must be beside it as '%2'")
        .arg(device, info.completeBaseName() + QStringLiteral(".bin"));
}
} // namespace

BatchCDRip::BatchCDRip(StoreSession& session, const FileImportOptions& options, bool json, BatchHandler::Lines lines,
                       bool dryRun)
    : m_session(session)
    , m_options(options)
    , m_json(json)
    , m_lines(lines)
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
    m_verify = args.has(QStringLiteral("verify"));
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

// Ticks the chosen tracks (every audio track when none were named). A named
// track the disc does not have is refused rather than quietly left out: the
// script asked for it.
QString BatchCDRip::tickTracks(ImportItemList& tracks) const
{
    QList<int> missing = m_chosen;
    bool any = false;
    for (int row = 0; row < tracks.count(); ++row) {
        const int track = tracks.item(row).Key.mid(2).toInt();
        const bool audio = tracks.item(row).field(QStringLiteral("TYPE")) == QLatin1String("Audio");
        const bool chosen = m_chosen.isEmpty() ? audio : m_chosen.contains(track);
        tracks.setChecked(row, chosen);
        any = any || chosen;
        missing.removeAll(track);
    }
    if (!missing.isEmpty()) {
        QStringList numbers;
        for (int track : missing)
            numbers << QString::number(track);
        return QStringLiteral("the disc has %1 tracks; not on it: %2").arg(tracks.count()).arg(numbers.join(QStringLiteral(", ")));
    }
    return any ? QString() : QStringLiteral("the disc has no audio track to rip");
}

int BatchCDRip::run()
{
    CDRipper ripper;
    if (ripper.DriveCount() < 1) {
        err(QStringLiteral("no CD drive (name one, or a .cue image, with --device)"));
        return 2;
    }
    if (!ripper.OpenDrive(0)) {
        err(cannotOpen(qEnvironmentVariable("ORVANE_CD_DEVICE")));
        return 2;
    }
    ImportItemList tracks(true);
    tracks.setColumns(ImportListColumns::cdTracks());
    if (ripper.DriveStatus() != CDRipper::DiscLoaded || !CDTrackList::ReadCDTracks(ripper, tracks)) {
        err(QStringLiteral("there is no disc in the drive, or it cannot be read"));
        return 2;
    }
    if (const QString why = tickTracks(tracks); !why.isEmpty()) {
        err(why);
        return 2;
    }
    // The store's audit log hears of the lookup and of every track, as it
    // does from the wizard.
    if (!m_session.openDirectory(m_session.profile())) {
        err(m_session.error());
        return 2;
    }
    if (const auto proposal = CDTrackList::applyDiscText(ripper, tracks))
        titlesFound(*proposal);
    if (m_lookup) {
        CDTitleLookup lookup(tracks, *this, m_session.directory());
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
    ImportItemList summary(false);
    summary.setColumns(ImportListColumns::summary());
    SummaryBuilder::BuildSummary(tracks, false, summary, m_options, *m_session.audio());
    if (m_dryRun) {
        printTracks(tracks, summary);
        return 0;
    }
    const ImportContext context{m_session.audio(), m_session.settings(), m_session.directory(), m_session.profile(), {}};
    BatchHandler handler(m_lines);
    handler.plan(summary.items());
    for (const ImportItem& row : summary.items())
        handler.name(row.Key, QStringLiteral("track %1 '%2'").arg(row.Text, row.field(QStringLiteral("TITLE"))));
    CDRipRun run(context, m_options, CDRipOptions{m_autoTop, m_verify}, ripper, handler);
    const bool ripped = run.RunCDRip(tracks, summary, nullptr);
    handler.finish();
    if (m_json) {
        QJsonArray items;
        for (const ImportItem& row : summary.items()) {
            const BatchHandler::Outcome outcome = handler.outcomes().value(row.Key);
            const bool reached = handler.outcomes().contains(row.Key);
            const auto seconds = TimeTools::ParseDuration(row.field(QStringLiteral("LENGTH")));
            QJsonObject item{{"track", row.Text},
                             {"cart", CartNumbers::json(row.field(QStringLiteral("DEST")))},
                             {"title", row.field(QStringLiteral("TITLE"))},
                             {"artist", row.field(QStringLiteral("ARTIST"))},
                             {"length", seconds ? QJsonValue(TimeTools::RoundToMilliseconds(*seconds)) : QJsonValue()},
                             {"outcome", !reached ? "not-reached"
                                         : outcome.outcome == FileImportHandler::Outcome::Imported ? "imported" : "failed"},
                             {"accuraterip", verdictObject(outcome.verdict)}};
            if (!reached)
                item.insert(QStringLiteral("error"), QStringLiteral("not reached: the run stopped at a failed track"));
            else if (outcome.outcome != FileImportHandler::Outcome::Imported)
                item.insert(QStringLiteral("error"), outcome.error.isEmpty() ? QStringLiteral("the rip failed") : outcome.error);
            items.append(item);
        }
        std::fputs(QJsonDocument(QJsonObject{{"profile", m_session.profile()}, {"succeeded", ripped}, {"items", items}})
                       .toJson(QJsonDocument::Indented)
                       .constData(),
                   stdout);
    }
    return ripped ? 0 : 1;
}

// The disc as it would be ripped: a line per track, or with --json one
// document whose tracks carry the cart they would go to (null: not ripped).
void BatchCDRip::printTracks(const ImportItemList& tracks, const ImportItemList& summary) const
{
    QJsonArray items;
    for (const ImportItem& row : tracks.items()) {
        const int line = summary.indexOf(row.Key);
        const QString cart = line < 0 ? QString() : summary.item(line).field(QStringLiteral("DEST"));
        if (m_json) {
            items.append(QJsonObject{{"track", row.field(QStringLiteral("TRACK")).toInt()},
                                     {"cart", CartNumbers::json(cart)},
                                     {"title", row.field(QStringLiteral("TITLE"))},
                                     {"artist", row.field(QStringLiteral("ARTIST"))},
                                     {"length", row.field(QStringLiteral("LENGTH"))},
                                     {"type", row.field(QStringLiteral("TYPE")).trimmed().toLower()}});
            continue;
        }
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", qPrintable(row.field(QStringLiteral("TRACK"))),
                    qPrintable(cart.isEmpty() ? QStringLiteral("-") : cart), qPrintable(row.field(QStringLiteral("TITLE"))),
                    qPrintable(row.field(QStringLiteral("ARTIST"))), qPrintable(row.field(QStringLiteral("LENGTH"))),
                    qPrintable(row.field(QStringLiteral("TYPE")).trimmed()));
    }
    if (m_json)
        std::fputs(QJsonDocument(QJsonObject{{"profile", m_session.profile()}, {"dry_run", true}, {"tracks", items}})
                       .toJson(QJsonDocument::Indented)
                       .constData(),
                   stdout);
}
