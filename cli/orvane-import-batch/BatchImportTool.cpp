#include "BatchImportTool.h"

#include "BatchCDRip.h"
#include "BatchHandler.h"
#include "DropFolderWatcher.h"
#include "cli/common/CommandLine.h"
#include "cli/common/TerminalProgress.h"
#include "frame/library/AudioFormat.h"
#include "frame/library/CartNumbers.h"
#include "frame/library/CartMetadata.h"
#include "frame/library/CartRecord.h"
#include "frame/library/DropboxLease.h"
#include "frame/library/DropboxMemory.h"
#include "frame/library/ProfileSettings.h"
#include "frame/GetParameter.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/TimeTools.h"
#include "wizard/AudioDuplicates.h"
#include "wizard/FileImportRun.h"
#include "wizard/FileListBuilder.h"
#include "wizard/ImportContext.h"
#include "wizard/ImportOptionRules.h"
#include "wizard/ImportItemList.h"
#include "wizard/ImportListColumns.h"
#include "wizard/MatchSearch.h"
#include "wizard/SummaryBuilder.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <QProcess>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <tuple>

namespace {
const QSet<QString> kValueOptions{"profile", "start-cart", "titling", "separators", "format",
                                  "device", "tracks", "release", "order", "force-title", "force-artist", "watch", "settle",
                                  "true-peak-ceiling", "start-date", "end-date", "category", "threshold"};
const QSet<QString> kFlags{"cart-from-name", "overwrite", "normalise", "loudness", "link", "delete-source", "dry-run", "json", "quiet", "help",
                           "find-matches", "skip-matching", "find-duplicates", "skip-duplicates", "cd", "lookup", "lookup-optional", "auto-top", "once",
                           "keep-failed", "leave-imported", "stop-on-error", "verbose", "verify"};
const QStringList kTitlings{"none", "embedded", "title-artist", "artist-title"};
// A cart lost to another importer is looked for again this often at most.
constexpr int kMaxRetakes = 20;

void err(const QString& text) { std::fprintf(stderr, "orvane-import-batch: %s\n", qPrintable(text)); }

const char* kHelp =
    "Usage: orvane-import-batch [options] FILE|FOLDER...\n"
    "Imports audio files (wav; mp2 mp3 ogg oga wma flac aif aiff aifc opus m4a aac, always converted; and\n"
    "transport zips) into carts, as the import wizard does.\n"
    "A FOLDER adds the accepted files in it (not its subfolders), sorted by name.\n\n"
    "  --profile NAME          the store (default: the only profile)\n"
    "  --start-cart N          first cart, in sequence (default: the first free cart)\n"
    "  --cart-from-name        the cart is the number in each file's name\n"
    "  --overwrite             a cart that holds audio gets the new audio (default: skipped)\n"
    "  --titling MODE          none | embedded (default) | title-artist | artist-title\n"
    "  --separators A,B        where names are split (default -,_ ; {space} for a blank)\n"
    "  --format F              store (default: the store's format) | keep | a format settings text such as\n"
    "                          \"FormatType=2 SampleRate=48000 Channels=2 FormatTag=1 BitsPerSample=16\"\n"
    "  --normalise [PERCENT]   normalise to PERCENT, also --normalise=PERCENT (no value: the store's default,\n"
    "                          by loudness when the store's NormaliseMode is loudness)\n"
    "  --loudness [LUFS]       normalise to a loudness, also --loudness=-16 (no value: the store's\n"
    "                          LoudnessTarget): one gain per item, held so the true peak stays under the\n"
    "  --true-peak-ceiling DBTP  ceiling (default: the store's TruePeakCeiling, -1 dBTP on a new store)\n"
    "  --link                  link WAV files where they are (when the store allows it)\n"
    "  --delete-source         delete each file once its cart is saved\n"
    "  --start-date DATE, --end-date DATE   when every cart may go on air, and when it goes off (\"2027-01-31\"\n"
    "                          or \"2027-01-31 18:00\"; a date alone starts at its first second, ends at its last)\n"
    "  --category TEXT         every cart's scheduler category\n"
    "                          (these three win over what the files say; also for --cd)\n"
    "  --stop-on-error         end the run at the first file that fails, leaving the rest (default: go on\n"
    "                          with the others and exit 1 at the end)\n"
    "  --dry-run               print the carts each file would go into, import nothing\n"
    "  --find-matches          first list the carts of the whole store that already hold items like each file\n"
    "                          (the wizard's Search Cartvault rule)\n"
    "  --skip-matching         with --find-matches: files that match are not imported\n"
    "  --find-duplicates       first list the carts of the store holding the same audio as each file, whatever\n"
    "                          their titles, by fingerprint: \"same audio\", \"contains\" (the file holds the\n"
    "                          cart's audio and more) or \"part of\" (the file is an edit of the cart's audio),\n"
    "                          each with its score from 0 to 1; carts without a fingerprint are not found\n"
    "                          ('cartvault fingerprint --missing'); a file holding an earlier file's audio\n"
    "                          names that file\n"
    "  --skip-duplicates       files holding a cart's or an earlier file's audio are not imported (implies\n"
    "                          --find-duplicates)\n"
    "  --threshold S           with either: the least score that counts as the same audio (default 0.6)\n"
    "  --json                  one JSON report on stdout instead of the lines\n"
    "  --verbose               the import wizard's detailed results lines instead of one line per file\n"
    "  --quiet                 no lines\n"
    "  -h, --help              this help\n\n"
    "Each file gets one line: \"imported FILE cart N\", \"skipped FILE reason\" or \"failed FILE reason\"\n"
    "(tab-separated); a cart another importer filled first says \"cart N in use: took M\". On a terminal a\n"
    "progress bar on stderr shows the file in hand, its progress, files done of all and the time left.\n\n"
    "CD: orvane-import-batch --cd [--device PATH|IMAGE.cue] [--tracks 1,3-5] [--lookup] [options]\n"
    "  rips the chosen tracks (default: every audio track) into carts in sequence, titled from the disc's\n"
    "  CD-Text where it has some, each cart keeping its track's ISRC and the disc's MCN, with the cart, format,\n"
    "  --normalise, --dry-run and --json options above and the CD page's title options:\n"
    "  --lookup[=cddb|musicbrainz]  titles (and, from MusicBrainz, ISRCs) from the store's CDDB server\n"
    "                          (FreeDBServer) or MusicBrainz server (MusicBrainzServer); when the server\n"
    "                          cannot be asked (no connection, no answer within LookupTimeout seconds, a\n"
    "                          reply that makes no sense) nothing is ripped and the exit code is 1\n"
    "  --lookup-optional       such a failure rips with \"Track n\" titles (alone: --lookup)\n"
    "  --release N             of several MusicBrainz releases of the disc, the Nth (default 1)\n"
    "  --auto-top              trim the silence at the start of each track\n"
    "  --verify                check each track against the AccurateRip database at the store's\n"
    "                          AccurateRipServer (also when the store's AccurateRipVerify is true); a track\n"
    "                          that differs fails and its cart keeps what it had. The verdict ends each\n"
    "                          results line; --json gives each item \"accuraterip\": {verdict (accurate,\n"
    "                          absent or differs), confidence, crc_v1, crc_v2 (8 hex digits)}, null unverified\n"
    "  --order normal|reversed which part of a track title is the artist (default normal: the first)\n"
    "  --force-title TEXT, --force-artist TEXT   one title or artist for every track\n\n"
    "Drop folders: orvane-import-batch --watch FOLDER [--watch FOLDER ...] [options]\n"
    "  imports what arrives, until stopped (SIGTERM finishes the file in hand), with the options above:\n"
    "  --settle SECONDS        a file is taken once unchanged this long (default 5); *.part, *.tmp and\n"
    "                          hidden names never are\n"
    "  --find-duplicates       each line and JSON object also names the carts holding the file's audio\n"
    "  --skip-duplicates       a file holding a cart's audio is skipped, the carts named in its reason\n"
    "  --once                  take what is there, then end (cron, tests); exit code 1 when a file failed\n"
    "  --keep-failed           leave failed files in place (default: FOLDER/failed/ with a .log)\n"
    "  --leave-imported        leave imported files in place (default: FOLDER/imported/); a file its cart\n"
    "                          links to (--link) always stays\n"
    "  The store remembers each file taken (cartvault dropbox list|reset FOLDER): nothing is imported twice.\n"
    "  One line per file on stdout (imported, skipped, failed), one JSON object per line with --json.\n"
    "  --options-file FILE     reads further options from FILE, one per line (the service's config)\n\n"
    "  --help, --version       this text, or the program's version\n\n"
    "Exit codes: 0 imported (skipped carts are not failures), 1 an item failed, 2 bad usage.\n"
    "Needs cart rights above 0 in the store's directory.";

const char* kUndecodable = "the name is not valid UTF-8 text";

} // namespace

int BatchImportTool::usage(const QString& message) const
{
    err(message);
    err(QStringLiteral("Try 'orvane-import-batch --help'."));
    return Usage;
}

// "--options-file FILE" stands for the options in FILE: one or more to a
// line, quoted as on a command line; blank lines and "#" lines are skipped.
static QStringList withOptionsFiles(const QStringList& arguments, QString* error)
{
    QStringList expanded;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) != QLatin1String("--options-file")) {
            expanded << arguments.at(i);
            continue;
        }
        QFile file(arguments.value(++i));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            *error = QStringLiteral("cannot read the options file %1").arg(file.fileName());
            return {};
        }
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            if (!line.trimmed().isEmpty() && !line.trimmed().startsWith(QLatin1Char('#')))
                expanded << QProcess::splitCommand(line);
        }
    }
    return expanded;
}

int BatchImportTool::run(const QStringList& commandLine)
{
    QString optionsError;
    const QStringList arguments = withOptionsFiles(commandLine, &optionsError);
    if (!optionsError.isEmpty())
        return usage(optionsError);
    const CommandLine args(arguments, kValueOptions, {QStringLiteral("normalise"), QStringLiteral("loudness")});
    if (!args.ok())
        return usage(args.error());
    if (args.has(QStringLiteral("help"))) {
        std::printf("%s\n", kHelp);
        return Success;
    }
    if (const QStringList unknown = args.unknownOptions(kValueOptions + kFlags); !unknown.isEmpty())
        return usage(QStringLiteral("unknown option %1").arg(unknown.first()));
    const bool cd = args.has(QStringLiteral("cd"));
    const bool watching = args.has(QStringLiteral("watch"));
    if (args.words().isEmpty() && !cd && !watching)
        return usage(QStringLiteral("no files or folders given"));
    if (!args.words().isEmpty() && cd)
        return usage(QStringLiteral("--cd takes no files or folders"));
    if (cd && (args.has(QStringLiteral("find-matches")) || args.has(QStringLiteral("skip-matching"))))
        return usage(QStringLiteral("--find-matches and --skip-matching work on files; for a disc, search with "
                                    "'cartvault search' or the wizard"));
    if (cd && (args.has(QStringLiteral("find-duplicates")) || args.has(QStringLiteral("skip-duplicates"))))
        return usage(QStringLiteral("--find-duplicates and --skip-duplicates work on files; for a disc, look with "
                                    "'cartvault duplicates' once it is imported"));
    if (!m_session.openStore(args.value(QStringLiteral("profile"))))
        return usage(m_session.error());
    if (const int refused = readOptions(args))
        return refused;
    if (m_findDuplicates) {
        m_duplicates = std::make_unique<AudioDuplicates>(m_session.audio()->Cartvault().database(), m_threshold);
        if (!watching) // a watcher imports each file before the next, and remembers its cart
            m_duplicates->compareFiles();
        for (const qint64 cart : m_duplicates->damaged())
            err(QStringLiteral("note: the stored fingerprint of cart %1 cannot be read; the cart is left out").arg(cart));
    }
    if (watching)
        return watch(args);
    if (cd) {
        BatchCDRip rip(m_session, m_options, m_json, m_lines, m_dryRun);
        if (const int refused = rip.readOptions(args))
            return refused;
        return rip.run();
    }

    ImportItemList files(true);
    files.setColumns(ImportListColumns::files());
    if (!addInputs(args.words(), files))
        return Usage;
    for (const ImportItem& row : files.items())
        if (const QString why = ImportOptionRules::linkable(m_options, row.Key.mid(1)); !why.isEmpty())
            return usage(QStringLiteral("%1: %2").arg(why, row.Key.mid(1)));
    if (m_duplicates)
        findDuplicates(files);
    if (m_findMatches)
        findMatches(files);
    ImportItemList summary(false);
    summary.setColumns(ImportListColumns::summary());
    if (m_dryRun) {
        SummaryBuilder::BuildSummary(files, true, summary, m_options, *m_session.audio());
        m_planned = summary.items();
        m_json ? printJson(nullptr, true) : printSummary(summary);
        return Success;
    }
    BatchHandler handler(m_lines, m_options.sequential && !m_options.overwrite);
    const bool succeeded = importAll(files, summary, handler) && m_undecodable.isEmpty();
    handler.finish();
    if (m_lines == BatchHandler::Lines::Items)
        for (const QString& path : m_undecodable)
            std::printf("%s\n", qPrintable(DropFolderWatcher::line(path, DropFolderWatcher::Result::failed(kUndecodable))));
    if (m_json)
        printJson(&handler, succeeded);
    return succeeded ? Success : Failure;
}

int BatchImportTool::readOptions(const CommandLine& args)
{
    PlayoutAudio& audio = *m_session.audio();
    m_json = args.has(QStringLiteral("json"));
    m_quiet = args.has(QStringLiteral("quiet"));
    m_lines = m_json || m_quiet ? BatchHandler::Lines::None
        : args.has(QStringLiteral("verbose")) ? BatchHandler::Lines::Results
                                             : BatchHandler::Lines::Items;
    m_dryRun = args.has(QStringLiteral("dry-run"));
    m_skipMatching = args.has(QStringLiteral("skip-matching"));
    m_findMatches = args.has(QStringLiteral("find-matches")) || m_skipMatching;
    m_skipDuplicates = args.has(QStringLiteral("skip-duplicates"));
    m_findDuplicates = args.has(QStringLiteral("find-duplicates")) || m_skipDuplicates;
    if (const int refused = readThreshold(args))
        return refused;
    m_options.sequential = !args.has(QStringLiteral("cart-from-name"));
    m_options.overwrite = args.has(QStringLiteral("overwrite"));
    m_options.link = args.has(QStringLiteral("link"));
    m_options.deleteSource = args.has(QStringLiteral("delete-source"));
    m_options.continuePastFailure = !args.has(QStringLiteral("stop-on-error"));
    m_options.startCart = args.has(QStringLiteral("start-cart")) ? args.value(QStringLiteral("start-cart")) : audio.FirstFreeCart(QString());
    if (m_options.sequential && !audio.IsValidCartNumber(m_options.startCart))
        return usage(QStringLiteral("'%1' is not a cart number of this store").arg(m_options.startCart));

    const QString titling = args.value(QStringLiteral("titling"));
    m_options.titlingMode = titling.isEmpty() ? 1 : static_cast<int>(kTitlings.indexOf(titling));
    if (m_options.titlingMode < 0)
        return usage(QStringLiteral("--titling takes one of: %1").arg(kTitlings.join(QStringLiteral(", "))));
    if (args.has(QStringLiteral("separators"))) {
        const QStringList separators = args.value(QStringLiteral("separators")).split(QLatin1Char(','));
        if (separators.size() > 2)
            return usage(QStringLiteral("--separators takes at most two separators, A,B"));
        m_options.separators[0] = separators.value(0);
        m_options.separators[1] = separators.value(1);
    }

    const QString format = args.value(QStringLiteral("format"));
    if (format.isEmpty() || format == QLatin1String("store")) {
        m_options.format = FileImportOptions::Format::StoreDefault;
    } else if (format == QLatin1String("keep")) {
        m_options.format = FileImportOptions::Format::Leave;
    } else {
        AudioFormat target;
        if (!target.setSettingsText(format) || target.FormatType != 2)
            return usage(QStringLiteral("--format takes store, keep or a WAV format settings text, not '%1'").arg(format));
        m_options.format = FileImportOptions::Format::Convert;
        m_options.convertFormat = target.SettingsText();
    }

    if (const int code = readLevels(args, audio.Cartvault()); code != Success)
        return code;
    // The wizard's pages refuse these; a script gets the same answer.
    if (const QString why = ImportOptionRules::linkingKeepsAudio(m_options); !why.isEmpty())
        return usage(why + QStringLiteral(" (--link needs --format keep and no --normalise)"));
    if (const QString why = ImportOptionRules::ripping(m_options); args.has(QStringLiteral("cd")) && !why.isEmpty())
        return usage(why);
    return readScheduleOptions(args);
}

int BatchImportTool::readScheduleOptions(const CommandLine& args)
{
    for (const auto& [option, endOfDay, time] : {std::tuple{"start-date", false, &m_options.startAir},
                                                std::tuple{"end-date", true, &m_options.endAir}}) {
        const auto parsed = CartMetadata::airTimeFrom(args.value(QLatin1String(option)), endOfDay);
        if (!parsed)
            return usage(QStringLiteral("--%1 takes a date such as 2027-01-31 or 2027-01-31 18:00").arg(QLatin1String(option)));
        *time = *parsed;
    }
    m_options.category = args.value(QStringLiteral("category")).trimmed();
    return Success;
}

// --normalise [PERCENT] and --loudness [LUFS] with --true-peak-ceiling, or
// the store's mode for a bare --normalise.
int BatchImportTool::readLevels(const CommandLine& args, const CartvaultStore& store)
{
    const QString percent = args.value(QStringLiteral("normalise"));
    const bool loudness = args.has(QStringLiteral("loudness"));
    if (loudness && !percent.isEmpty())
        return usage(QStringLiteral("--normalise=PERCENT and --loudness are two ways to normalise: give one"));
    m_options.normalise = loudness || args.has(QStringLiteral("normalise"));
    m_options.normaliseLoudness = loudness || (percent.isEmpty() && store.NormaliseLoudness);
    bool ok = true;
    m_options.normalisePercent = percent.isEmpty() ? store.NormaliseDefault : percent.toDouble(&ok);
    const QString target = args.value(QStringLiteral("loudness"));
    bool targetOk = true;
    m_options.loudnessTarget = target.isEmpty() ? store.LoudnessTarget : target.toDouble(&targetOk);
    const QString ceiling = args.value(QStringLiteral("true-peak-ceiling"));
    bool ceilingOk = true;
    m_options.truePeakCeiling = ceiling.isEmpty() ? store.TruePeakCeiling : ceiling.toDouble(&ceilingOk);
    if (!ceiling.isEmpty() && !m_options.normaliseLoudness)
        return usage(QStringLiteral("--true-peak-ceiling goes with --loudness"));
    if (!ok || !targetOk || !ceilingOk || !ImportOptionRules::level(m_options).isEmpty())
        return usage(m_options.normaliseLoudness
                         ? QStringLiteral("--loudness takes LUFS from -70 to 0 and --true-peak-ceiling dBTP from -20 to 0")
                         : QStringLiteral("--normalise takes a percentage from 1 to 100 (the store's default is %1)")
                               .arg(store.NormaliseDefault));
    return Success;
}

bool BatchImportTool::addInputs(const QStringList& inputs, ImportItemList& files)
{
    FileListBuilder builder(files, m_options);
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        if (!info.exists()) {
            usage(QStringLiteral("no such file or folder: %1").arg(input));
            return false;
        }
        if (info.isDir())
            builder.addFolder(info.absoluteFilePath());
        else
            builder.AddImportFile(info.absoluteFilePath());
    }
    m_undecodable = builder.undecodable();
    return true;
}

// In sequence without overwriting, every cart was free when the summary was
// made; one found in use when its turn came was filled meanwhile by another
// importer, and its item goes on to the next free cart instead.
bool BatchImportTool::importAll(ImportItemList& files, ImportItemList& summary, BatchHandler& handler,
                                const decltype(ImportContext::alsoCommit)& alsoCommit)
{
    const ImportContext context{m_session.audio(), m_session.settings(), nullptr, m_session.profile(), alsoCommit};
    bool succeeded = true;
    for (int pass = 0; pass <= kMaxRetakes; ++pass) {
        SummaryBuilder::BuildSummary(files, true, summary, m_options, *m_session.audio());
        if (!m_options.sequential && m_options.overwrite)
            keepCartTitles(files, summary);
        if (pass == 0) {
            m_planned = summary.items();
            handler.plan(m_planned);
        }
        if (summary.isEmpty())
            break;
        FileImportRun run(context, m_options, handler);
        const bool passSucceeded = run.RunFileImport(summary, &files, nullptr);
        succeeded = succeeded && passSucceeded;
        const bool stopped = !passSucceeded && !m_options.continuePastFailure;
        if (stopped || !m_options.sequential || m_options.overwrite || retakeLostRaces(files, handler) == 0)
            break;
    }
    return succeeded;
}

int BatchImportTool::retakeLostRaces(ImportItemList& files, const BatchHandler& handler)
{
    int retaken = 0;
    for (auto it = handler.outcomes().begin(); it != handler.outcomes().end(); ++it) {
        if (it.value().outcome != FileImportHandler::Outcome::SkippedInUse)
            continue;
        files.setChecked(files.indexOf(it.key()), true);
        ++retaken;
    }
    return retaken;
}

void BatchImportTool::findMatches(ImportItemList& files)
{
    for (int row = 0; row < files.count(); ++row) {
        const ImportItem& item = files.item(row);
        if (!item.Checked)
            continue;
        QStringList carts;
        for (const CartRecord& cart : MatchSearch::matchingCarts(*m_session.audio(), item.field(QStringLiteral("TITLE")),
                                                                 item.field(QStringLiteral("ARTIST")), item.field(QStringLiteral("DESC"))))
            carts << cart.Number;
        m_matches.insert(item.Key, carts);
        if (!m_json && !m_quiet)
            std::printf("%s matches %s\n", qPrintable(item.Key.mid(1)),
                        carts.isEmpty() ? "no cart" : qPrintable(QStringLiteral("cart ") + carts.join(QStringLiteral(", "))));
        if (m_skipMatching && !carts.isEmpty()) {
            m_skipped.append(item);
            files.setChecked(row, false);
        }
    }
}

int BatchImportTool::readThreshold(const CommandLine& args)
{
    if (!args.has(QStringLiteral("threshold")))
        return Success;
    if (!m_findDuplicates)
        return usage(QStringLiteral("--threshold goes with --find-duplicates or --skip-duplicates"));
    bool ok = false;
    m_threshold = args.value(QStringLiteral("threshold")).toDouble(&ok);
    if (!ok || m_threshold <= 0 || m_threshold > 1)
        return usage(QStringLiteral("--threshold needs a score above 0, up to 1"));
    return Success;
}

// Each file is fingerprinted once, here, before any is imported; a bar on
// a terminal shows the reading.
void BatchImportTool::findDuplicates(ImportItemList& files)
{
    TerminalProgress progress;
    const QList<ImportItem>& items = files.items();
    const int total = static_cast<int>(std::count_if(items.begin(), items.end(), [](const ImportItem& item) { return item.Checked; }));
    int done = 0;
    for (int row = 0; row < files.count(); ++row) {
        const ImportItem& item = files.item(row);
        if (!item.Checked)
            continue;
        const QString path = item.Key.mid(1);
        QString error;
        const auto reading = [&](int percent) {
            progress.showRun(QStringLiteral("Fingerprinting ") + QFileInfo(path).fileName(), percent, done, total,
                             (done * 100 + percent) / total);
        };
        const QList<AudioDuplicates::Duplicate> duplicates = m_duplicates->of(path, &error, reading);
        ++done;
        progress.clear();
        if (!error.isEmpty())
            err(QStringLiteral("note: %1 could not be fingerprinted (%2); no duplicates are looked for").arg(path, error));
        m_duplicateCarts.insert(item.Key, duplicates);
        if (!m_json && !m_quiet)
            std::printf("%s has the audio of %s\n", qPrintable(path), qPrintable(AudioDuplicates::text(duplicates)));
        if (m_skipDuplicates && !duplicates.isEmpty()) {
            m_skippedDuplicates.append(item);
            files.setChecked(row, false);
        }
    }
}

int BatchImportTool::watch(const CommandLine& args)
{
    DropFolderWatcher::Options options;
    for (const QString& folder : args.values(QStringLiteral("watch"))) {
        const QFileInfo info(folder);
        if (!info.isDir())
            return usage(QStringLiteral("--watch needs a folder: %1").arg(folder));
        options.folders << info.absoluteFilePath();
    }
    bool ok = true;
    options.settleSeconds = args.has(QStringLiteral("settle")) ? args.value(QStringLiteral("settle")).toInt(&ok) : 5;
    if (!ok || options.settleSeconds < 0)
        return usage(QStringLiteral("--settle takes a number of seconds"));
    options.once = args.has(QStringLiteral("once"));
    options.keepFailed = args.has(QStringLiteral("keep-failed"));
    options.leaveImported = args.has(QStringLiteral("leave-imported"));
    options.json = m_json;
    DropboxMemory memory(m_session.audio()->Cartvault().database());
    ProfileSettings profile;
    profile.LoadProfile(m_session.profile());
    const DropboxLease lease(profile);
    DropFolderWatcher watcher(options, memory, [&](const DropboxMemory::File& file) { return importOne(file, memory); });
    return watcher.run();
}

DropFolderWatcher::Result BatchImportTool::importOne(const DropboxMemory::File& file, DropboxMemory& memory)
{
    const QString path = file.path();
    std::optional<QList<AudioDuplicates::Duplicate>> duplicates;
    if (m_duplicates) {
        m_duplicates->refresh();
        QString error;
        duplicates = m_duplicates->of(path, &error);
    }
    DropFolderWatcher::Result result = m_skipDuplicates && !duplicates->isEmpty()
        ? DropFolderWatcher::Result::skipped(QStringLiteral("the store holds its audio: ") + AudioDuplicates::text(*duplicates))
        : importDropped(file, memory);
    result.duplicates = duplicates;
    // The next file that arrives may be a copy of this one.
    if (m_duplicates && result.outcome == QLatin1String("imported"))
        m_duplicates->remember(result.cart.toLongLong());
    return result;
}

DropFolderWatcher::Result BatchImportTool::importDropped(const DropboxMemory::File& file, DropboxMemory& memory)
{
    const QString path = file.path();
    ImportItemList files(true);
    files.setColumns(ImportListColumns::files());
    if (!FileListBuilder(files, m_options).AddImportFile(path))
        return DropFolderWatcher::Result::failed(QStringLiteral("the file could not be read"));
    ImportItemList summary(false);
    summary.setColumns(ImportListColumns::summary());
    BatchHandler handler(BatchHandler::Lines::None);
    const bool succeeded = importAll(files, summary, handler,
                                     [&](const QString&, const QString& cart) { return memory.recordImported(file, cart); });
    const QString key = files.item(0).Key;
    if (!handler.outcomes().contains(key))
        return DropFolderWatcher::Result::failed(succeeded ? QStringLiteral("not imported") : QStringLiteral("no cart for it"));
    DropFolderWatcher::Result result = handler.describe(key);
    if (result.outcome == QLatin1String("imported"))
        if (const auto cart = m_session.audio()->GetCart(result.cart))
            result.linked = cart->Linked;
    return result;
}

// Hourly news into one fixed cart: a file that brings no titles of its own
// keeps the cart's, instead of titling the cart with its file name.
void BatchImportTool::keepCartTitles(const ImportItemList& files, ImportItemList& summary) const
{
    for (int row = 0; row < summary.count(); ++row) {
        const int file = files.indexOf(summary.item(row).Key);
        const QString tags = file < 0 ? QString() : files.item(file).Text;
        bool ownTitles = false;
        for (const char* tag : {"ItemTitle", "CartChunkTitle", "BextChunkDescription"})
            ownTitles = ownTitles || !GetParameter(tags, QLatin1String(tag)).trimmed().isEmpty();
        const auto cart = m_session.audio()->GetCart(summary.item(row).field(QStringLiteral("DEST")));
        if (ownTitles || !cart || cart->Title.isEmpty())
            continue;
        summary.setField(row, QStringLiteral("TITLE"), cart->Title);
        summary.setField(row, QStringLiteral("ARTIST"), cart->Artist(1));
        summary.setField(row, QStringLiteral("DESC"), cart->Description(1));
    }
}

void BatchImportTool::printSummary(const ImportItemList& summary) const
{
    for (const ImportItem& row : summary.items())
        std::printf("%s\t%s\t%s\t%s\t%s\n", qPrintable(row.Key.mid(1)), qPrintable(row.field(QStringLiteral("DEST"))),
                    qPrintable(row.field(QStringLiteral("TITLE"))), qPrintable(row.field(QStringLiteral("ARTIST"))),
                    qPrintable(row.field(QStringLiteral("LENGTH"))));
}

// Lengths are the cart's once it holds the audio; before, what the file list read.
QJsonObject BatchImportTool::itemJson(const ImportItem& row, const BatchHandler* handler) const
{
    QJsonObject item{{"source", row.Key.mid(1)},
                     {"cart", CartNumbers::json(row.field(QStringLiteral("DEST")))},
                     {"title", row.field(QStringLiteral("TITLE"))},
                     {"artist", row.field(QStringLiteral("ARTIST"))},
                     {"length", QJsonValue()}};
    if (const auto seconds = TimeTools::ParseDuration(row.field(QStringLiteral("LENGTH"))))
        item.insert(QStringLiteral("length"), TimeTools::RoundToMilliseconds(*seconds));
    if (!handler) {
        item.insert(QStringLiteral("outcome"), QStringLiteral("planned"));
        return item;
    }
    if (!handler->outcomes().contains(row.Key)) {
        item.insert(QStringLiteral("outcome"), QStringLiteral("not-reached"));
        item.insert(QStringLiteral("error"), QStringLiteral("not reached: the run stopped at a failed file"));
        return item;
    }
    const DropFolderWatcher::Result result = handler->describe(row.Key);
    const QJsonObject outcome = DropFolderWatcher::json(row.Key.mid(1), result);
    for (auto it = outcome.constBegin(); it != outcome.constEnd(); ++it)
        if (it.key() != QLatin1String("file"))
            item.insert(it.key(), it.value());
    if (const auto cart = m_session.audio()->GetCart(result.cart); cart && result.outcome == QLatin1String("imported"))
        item.insert(QStringLiteral("length"), TimeTools::RoundToMilliseconds(cart->AudioLength));
    return item;
}

void BatchImportTool::printJson(const BatchHandler* handler, bool succeeded) const
{
    QJsonArray items;
    for (const ImportItem& row : m_planned) {
        QJsonObject item = itemJson(row, handler);
        if (m_findMatches)
            item.insert(QStringLiteral("matches"), matchesJson(row.Key));
        if (m_findDuplicates)
            item.insert(QStringLiteral("duplicates"), AudioDuplicates::json(m_duplicateCarts.value(row.Key)));
        items.append(item);
    }
    for (const QString& path : m_undecodable)
        items.append(QJsonObject{{"source", path}, {"outcome", "refused"}, {"error", kUndecodable}});
    for (const ImportItem& row : m_skipped)
        items.append(skippedJson(row, "skipped-match", "the store holds a cart like it"));
    for (const ImportItem& row : m_skippedDuplicates) {
        const QList<AudioDuplicates::Duplicate>& duplicates = m_duplicateCarts.value(row.Key);
        const bool inStore = std::any_of(duplicates.begin(), duplicates.end(), [](const auto& d) { return d.cart > 0; });
        items.append(skippedJson(row, "skipped-duplicate",
                                 inStore ? "the store holds its audio" : "an earlier file of this run has its audio"));
    }
    const QJsonObject report{{"profile", m_session.profile()}, {"succeeded", succeeded}, {"items", items}};
    std::fputs(QJsonDocument(report).toJson(QJsonDocument::Indented).constData(), stdout);
}

QJsonObject BatchImportTool::skippedJson(const ImportItem& row, const char* outcome, const char* reason) const
{
    QJsonObject item{{"source", row.Key.mid(1)},
                     {"title", row.field(QStringLiteral("TITLE"))},
                     {"artist", row.field(QStringLiteral("ARTIST"))},
                     {"outcome", outcome},
                     {"reason", reason}};
    if (m_findMatches)
        item.insert(QStringLiteral("matches"), matchesJson(row.Key));
    if (m_findDuplicates)
        item.insert(QStringLiteral("duplicates"), AudioDuplicates::json(m_duplicateCarts.value(row.Key)));
    return item;
}

QJsonArray BatchImportTool::matchesJson(const QString& key) const
{
    QJsonArray carts;
    for (const QString& cart : m_matches.value(key))
        carts.append(CartNumbers::json(cart));
    return carts;
}
