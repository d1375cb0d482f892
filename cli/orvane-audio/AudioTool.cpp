#include "AudioTool.h"

#include "cli/common/CommandLine.h"
#include "cli/common/TerminalProgress.h"
#include "audio/BextChunk.h"
#include "audio/CartChunk.h"
#include "audio/GetAudioFileFormatNCT.h"
#include "audio/AudioAnalysis.h"
#include "audio/cCopyAudioFileNCT.h"
#include "frame/library/FileTools.h"
#include "frame/library/TimeTools.h"
#include "platform/fingerprint/AudioFingerprinter.h"
#include "platform/nct/NCTAudioInfo.h"
#include "platform/nct/NCTLoudnessMeter.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <cstdio>

namespace {

const char* const Usage = "usage: orvane-audio probe FILE\n"
                          "       orvane-audio chunks FILE\n"
                          "       orvane-audio copy SOURCE DEST --format SETTINGS [--normalise PERCENT]\n"
                          "                         [--loudness LUFS [--true-peak-ceiling DBTP]]\n"
                          "                         [--auto-top THRESHOLD] [--force]\n"
                          "       orvane-audio loudness FILE [--json]\n"
                          "       orvane-audio fingerprint FILE [--json]\n"
                          "       orvane-audio help | -h | --help | --version\n"
                          "\n"
                          "probe   the audio format and the length in samples that the import sees\n"
                          "chunks  the cart chunk (fields and tag text) and the bext chunk (fields and\n"
                          "        coding history) of a WAV file\n"
                          "copy    converts SOURCE into DEST in the format SETTINGS, a format settings text\n"
                          "        such as \"FormatType=2 SampleRate=48000 Channels=2 BitsPerSample=16\";\n"
                          "        --normalise sets the peak level to PERCENT of full scale, --auto-top\n"
                          "        trims leading audio below THRESHOLD percent; an existing DEST is refused\n"
                          "        unless --force. Options take their value as --normalise 90 or --normalise=90.\n"
                          "        --loudness normalises instead to an integrated loudness of LUFS (such as -23)\n"
                          "        with one fixed gain, lowered where the true peak would pass the ceiling\n"
                          "        (--true-peak-ceiling, at most 0, default -1 dBTP). The report gives the\n"
                          "        loudness of DEST (\"loudness\"), the gain (\"gain_db\") and whether the\n"
                          "        ceiling lowered it (\"gain_capped\").\n"
                          "loudness the EBU R128 loudness of FILE: integrated loudness (LUFS), loudness\n"
                          "        range (LU), true peak (dBTP), largest momentary and short-term loudness;\n"
                          "        as text, or with --json as JSON. Silence has no loudness.\n"
                          "fingerprint  what the audio sounds like, as duplicate searches compare it: a\n"
                          "        line with its length in seconds and its packed fingerprint (base64url);\n"
                          "        --json prints them with the raw items, one 32-bit number per item_seconds\n"
                          "\n"
                          "Results are printed as one JSON document with snake_case keys (by loudness and\n"
                          "fingerprint only with --json); a failure has an \"error\". Exit status: 0 success,\n"
                          "1 failure, 2 usage.\n";

QJsonObject formatObject(const AudioFormat& format)
{
    return QJsonObject{
        {QStringLiteral("format_type"), format.FormatType},
        {QStringLiteral("format_type_name"), AudioFormat::typeName(format.FormatType)},
        {QStringLiteral("sample_rate"), format.SampleRate},
        {QStringLiteral("channels"), format.Channels},
        {QStringLiteral("bit_rate"), format.BitRate},
        {QStringLiteral("bits_per_sample"), format.BitsPerSample},
        {QStringLiteral("format_tag"), format.FormatTag},
        {QStringLiteral("quality"), format.Quality},
        {QStringLiteral("codec_data"), format.CodecData},
        {QStringLiteral("description"), format.Description()},
        {QStringLiteral("settings"), format.SettingsText()},
    };
}

QJsonObject cartObject(const CartChunk& cart, const QString& tagText)
{
    QJsonArray timers;
    for (const CartPostTimer& timer : cart.PostTimer)
        timers.append(QJsonObject{{QStringLiteral("usage"), timer.Usage.trimmed()},
                                  {QStringLiteral("value"), timer.Value}});
    return QJsonObject{
        {QStringLiteral("version"), cart.Version.trimmed()},
        {QStringLiteral("title"), cart.Title.trimmed()},
        {QStringLiteral("artist"), cart.Artist.trimmed()},
        {QStringLiteral("cut_id"), cart.CutID.trimmed()},
        {QStringLiteral("client_id"), cart.ClientID.trimmed()},
        {QStringLiteral("category"), cart.Category.trimmed()},
        {QStringLiteral("classification"), cart.Classification.trimmed()},
        {QStringLiteral("out_cue"), cart.OutCue.trimmed()},
        {QStringLiteral("start_date"), cart.StartDate.trimmed()},
        {QStringLiteral("start_time"), cart.StartTime.trimmed()},
        {QStringLiteral("end_date"), cart.EndDate.trimmed()},
        {QStringLiteral("end_time"), cart.EndTime.trimmed()},
        {QStringLiteral("producer_app_id"), cart.ProducerAppID.trimmed()},
        {QStringLiteral("producer_app_version"), cart.ProducerAppVersion.trimmed()},
        {QStringLiteral("user_def"), cart.UserDef.trimmed()},
        {QStringLiteral("level_reference"), cart.LevelReference},
        {QStringLiteral("post_timer"), timers},
        {QStringLiteral("url"), cart.URL.trimmed()},
        {QStringLiteral("tag_text"), tagText},
    };
}

QJsonObject bextObject(const BextChunk& bext, const QString& codingHistory)
{
    return QJsonObject{
        {QStringLiteral("description"), bext.Description.trimmed()},
        {QStringLiteral("originator"), bext.Originator.trimmed()},
        {QStringLiteral("originator_reference"), bext.OriginatorReference.trimmed()},
        {QStringLiteral("origination_date"), bext.OriginationDate.trimmed()},
        {QStringLiteral("origination_time"), bext.OriginationTime.trimmed()},
        {QStringLiteral("time_reference"),
         static_cast<double>((static_cast<quint64>(bext.TimeReferenceHigh) << 32) | bext.TimeReferenceLow)},
        {QStringLiteral("version"), bext.Version},
        {QStringLiteral("umid"), QString::fromLatin1(bext.UMID.toHex())},
        {QStringLiteral("loudness"), bext.Loudness.toJson()},
        {QStringLiteral("coding_history"), codingHistory},
    };
}

// A length in samples as seconds, to the millisecond.
double seconds(qint64 length, const AudioFormat& format)
{
    return format.SampleRate > 0 ? TimeTools::RoundToMilliseconds(double(length) / format.SampleRate) : 0.0;
}

// A level option's value; false when it is not a number.
bool levelOption(const CommandLine& args, const QString& option, double* value)
{
    bool ok = false;
    *value = args.value(option).toDouble(&ok);
    return ok && std::isfinite(*value);
}

QString levelText(std::optional<double> level, const char* unit)
{
    return level ? QStringLiteral("%1 %2").arg(*level, 0, 'f', 1).arg(QLatin1String(unit)) : QStringLiteral("none");
}

void printLoudnessText(const LoudnessValues& values)
{
    const QString text = QStringLiteral("Integrated loudness:  %1\n"
                                        "Loudness range:       %2\n"
                                        "True peak:            %3\n"
                                        "Maximum momentary:    %4\n"
                                        "Maximum short-term:   %5\n")
                             .arg(levelText(values.integrated, "LUFS"), levelText(values.range, "LU"),
                                  levelText(values.truePeak, "dBTP"), levelText(values.maxMomentary, "LUFS"),
                                  levelText(values.maxShortTerm, "LUFS"));
    std::fputs(qPrintable(text), stdout);
}

// A number option's value; false when it is not a number above 0.
bool positiveOption(const CommandLine& args, const QString& option, float* value)
{
    bool ok = false;
    *value = args.value(option).toFloat(&ok);
    return ok && *value > 0;
}

} // namespace

int AudioTool::run(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return usageError(QString());
    const QString verb = arguments.first();
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h") || verb == QLatin1String("help")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    const QStringList rest = arguments.mid(1);
    if (rest.contains(QLatin1String("--help")) || rest.contains(QLatin1String("-h"))) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (verb == QLatin1String("probe"))
        return probe(rest);
    if (verb == QLatin1String("chunks"))
        return chunks(rest);
    if (verb == QLatin1String("copy"))
        return copy(rest);
    if (verb == QLatin1String("loudness"))
        return loudness(rest);
    if (verb == QLatin1String("fingerprint"))
        return fingerprint(rest);
    return usageError(QStringLiteral("unknown command \"%1\"").arg(verb));
}

int AudioTool::usageError(const QString& message)
{
    if (!message.isEmpty())
        std::fprintf(stderr, "orvane-audio: %s\n", qPrintable(message));
    std::fputs(Usage, stderr);
    return 2;
}

int AudioTool::failure(const QString& message, QJsonObject report)
{
    report.insert(QStringLiteral("error"), message);
    print(report);
    std::fprintf(stderr, "orvane-audio: %s\n", qPrintable(message));
    return 1;
}

void AudioTool::print(const QJsonObject& object)
{
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
}

int AudioTool::probe(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return usageError(QStringLiteral("probe takes one file"));
    const QString file = arguments.first();
    if (!QFileInfo(file).isFile())
        return failure(QStringLiteral("%1: no such file").arg(file), {{QStringLiteral("file"), file}});
    qint64 length = 0;
    const std::unique_ptr<AudioFormat> format = GetAudioFileFormatNCT(file, length);
    if (!format)
        return failure(QStringLiteral("%1: not an audio file the import can read").arg(file), {{QStringLiteral("file"), file}});
    QJsonObject result = formatObject(*format);
    result.insert(QStringLiteral("file"), QFileInfo(file).absoluteFilePath());
    result.insert(QStringLiteral("length_samples"), length);
    result.insert(QStringLiteral("seconds"), seconds(length, *format));
    NCTAudioInfo info;
    if (info.OpenFile(file))
        result.insert(QStringLiteral("tags"), QJsonObject{{QStringLiteral("title"), info.TitleTag()},
                                                          {QStringLiteral("artist"), info.ArtistTag()},
                                                          {QStringLiteral("album"), info.AlbumTag()}});
    print(result);
    return 0;
}

int AudioTool::chunks(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return usageError(QStringLiteral("chunks takes one file"));
    const QString file = arguments.first();
    if (!QFileInfo(file).isFile())
        return failure(QStringLiteral("%1: no such file").arg(file), {{QStringLiteral("file"), file}});
    CartChunk cart;
    QString tagText;
    BextChunk bext;
    QString codingHistory;
    QJsonObject result{{QStringLiteral("file"), QFileInfo(file).absoluteFilePath()}};
    result.insert(QStringLiteral("cart_chunk"),
                  ReadCartChunk(file, cart, tagText) ? QJsonValue(cartObject(cart, tagText)) : QJsonValue());
    result.insert(QStringLiteral("bext_chunk"), ReadBextChunk(file, bext, codingHistory)
                                              ? QJsonValue(bextObject(bext, codingHistory))
                                              : QJsonValue());
    print(result);
    return 0;
}

int AudioTool::copy(const QStringList& arguments)
{
    const QSet<QString> valueOptions{QStringLiteral("format"), QStringLiteral("normalise"), QStringLiteral("auto-top"),
                                     QStringLiteral("loudness"), QStringLiteral("true-peak-ceiling")};
    const CommandLine args(arguments, valueOptions);
    if (!args.ok())
        return usageError(args.error());
    if (const QStringList unknown = args.unknownOptions(valueOptions + QSet<QString>{QStringLiteral("force")});
        !unknown.isEmpty())
        return usageError(QStringLiteral("unknown option %1").arg(unknown.first()));
    const QStringList files = args.words();
    if (files.size() != 2)
        return usageError(QStringLiteral("copy takes a source and a destination"));
    if (!args.has(QStringLiteral("format")))
        return usageError(QStringLiteral("copy needs --format"));
    float normalise = -1;
    if (args.has(QStringLiteral("normalise")) && !positiveOption(args, QStringLiteral("normalise"), &normalise))
        return usageError(QStringLiteral("--normalise needs a percentage above 0"));
    double loudness = 0;
    if (args.has(QStringLiteral("loudness")) && !levelOption(args, QStringLiteral("loudness"), &loudness))
        return usageError(QStringLiteral("--loudness needs a loudness in LUFS"));
    if (args.has(QStringLiteral("loudness")) && args.has(QStringLiteral("normalise")))
        return usageError(QStringLiteral("--loudness and --normalise exclude each other"));
    double ceiling = -1;
    if (args.has(QStringLiteral("true-peak-ceiling"))
        && (!args.has(QStringLiteral("loudness")) || !levelOption(args, QStringLiteral("true-peak-ceiling"), &ceiling)
            || ceiling > 0))
        return usageError(QStringLiteral("--true-peak-ceiling goes with --loudness and needs a level at or below 0 dBTP"));
    float autoTop = -1;
    if (args.has(QStringLiteral("auto-top")) && !positiveOption(args, QStringLiteral("auto-top"), &autoTop))
        return usageError(QStringLiteral("--auto-top needs a threshold above 0"));
    const QString settings = args.value(QStringLiteral("format"));
    auto format = std::make_shared<AudioFormat>();
    if (!format->setSettingsText(settings))
        return usageError(QStringLiteral("\"%1\" is not a format settings text").arg(settings));
    const QFileInfo source(files.at(0)), destination(files.at(1));
    const QJsonObject names{{QStringLiteral("source"), source.absoluteFilePath()},
                            {QStringLiteral("destination"), destination.absoluteFilePath()}};
    // Even with --force a file is never copied onto itself.
    if (destination.exists() && (!args.has(QStringLiteral("force")) || destination.canonicalFilePath() == source.canonicalFilePath()))
        return failure(QStringLiteral("%1 exists already%2")
                           .arg(files.at(1), args.has(QStringLiteral("force")) ? QStringLiteral(" and is the source")
                                                                               : QStringLiteral(" (copy --force replaces it)")),
                       names);

    cCopyAudioFileNCT job;
    TerminalProgress progress;
    QObject::connect(&job, &cCopyAudioFileNCT::ScanAudioProgress,
                     [&](qint16 percent) { progress.show(QStringLiteral("Scanning"), percent); });
    QObject::connect(&job, &cCopyAudioFileNCT::ScanAudioEnd, [&] { progress.done(); });
    QObject::connect(&job, &cCopyAudioFileNCT::AddAudioProgress,
                     [&](qint16 percent) { progress.show(QStringLiteral("Copying"), percent); });
    QObject::connect(&job, &cCopyAudioFileNCT::AddAudioEnd, [&] { progress.done(); });
    job.setDescription(QFileInfo(files.at(0)).fileName());
    job.setNormalise(normalise > 0 || args.has(QStringLiteral("loudness")));
    if (normalise > 0)
        job.setNormalisePercentage(normalise);
    if (args.has(QStringLiteral("loudness"))) {
        job.setNormaliseMode(cCopyAudioFileNCT::NormaliseMode::Loudness);
        job.setLoudnessTarget(loudness);
        job.setTruePeakCeiling(ceiling);
    }
    job.setAutoTop(autoTop > 0);
    if (autoTop > 0)
        job.setAutoTopThreshold(autoTop);

    const qint32 result = job.CopyAudioFile(files.at(0), files.at(1), format);
    progress.done();
    if (result != 0) {
        QJsonObject report = names;
        report.insert(QStringLiteral("result"), result);
        return failure(QStringLiteral("copy failed: %1 %2").arg(result).arg(job.GetLastErrorDescription()), report);
    }
    qint64 length = 0;
    const std::unique_ptr<AudioFormat> written = GetAudioFileFormatNCT(files.at(1), length);
    QJsonObject report = names;
    report.insert(QStringLiteral("result"), 0);
    report.insert(QStringLiteral("format"), format->Description());
    report.insert(QStringLiteral("length_samples"), length);
    const std::optional<LoudnessValues> measured = job.DestinationLoudness();
    report.insert(QStringLiteral("loudness"), measured ? QJsonValue(measured->toJson()) : QJsonValue());
    report.insert(QStringLiteral("gain_db"), job.AppliedGainDb());
    report.insert(QStringLiteral("gain_capped"), job.GainCappedByPeak());
    if (written) {
        report.insert(QStringLiteral("seconds"), seconds(length, *written));
        report.insert(QStringLiteral("written"), formatObject(*written));
    }
    print(report);
    return 0;
}

// One FILE [--json], read once and shown to the analyser: -1 when it was,
// else the exit code (the failure said as JSON with --json, else on stderr).
int AudioTool::analyseOneFile(const QStringList& arguments, const QString& verb, NCTSampleAnalyser& analyser,
                              QString* file, bool* json)
{
    const CommandLine args(arguments, {});
    if (!args.ok())
        return usageError(args.error());
    if (const QStringList unknown = args.unknownOptions({QStringLiteral("json")}); !unknown.isEmpty())
        return usageError(QStringLiteral("unknown option %1").arg(unknown.first()));
    if (args.words().size() != 1)
        return usageError(QStringLiteral("%1 takes one file").arg(verb));
    *file = args.words().first();
    *json = args.has(QStringLiteral("json"));
    const auto fail = [&](const QString& message) {
        if (*json)
            return failure(message, fileObject(*file));
        std::fprintf(stderr, "orvane-audio: %s\n", qPrintable(message));
        return 1;
    };
    if (!QFileInfo(*file).isFile())
        return fail(QStringLiteral("%1: no such file").arg(*file));
    TerminalProgress progress;
    QString error;
    const bool read = AnalyseAudioFile(*file, {&analyser}, [&](int percent) { progress.show(verb, percent); }, &error);
    progress.done();
    return read ? -1 : fail(QStringLiteral("%1: %2").arg(*file, error));
}

QJsonObject AudioTool::fileObject(const QString& file)
{
    return {{QStringLiteral("file"), QFileInfo(file).absoluteFilePath()}};
}

int AudioTool::loudness(const QStringList& arguments)
{
    NCTLoudnessMeter meter;
    QString file;
    bool json = false;
    if (const int code = analyseOneFile(arguments, QStringLiteral("loudness"), meter, &file, &json); code >= 0)
        return code;
    if (!json) {
        printLoudnessText(meter.result());
        return 0;
    }
    QJsonObject result = fileObject(file);
    result.insert(QStringLiteral("loudness"), meter.result().toJson());
    print(result);
    return 0;
}

int AudioTool::fingerprint(const QStringList& arguments)
{
    AudioFingerprinter fingerprinter;
    QString file;
    bool json = false;
    if (const int code = analyseOneFile(arguments, QStringLiteral("fingerprint"), fingerprinter, &file, &json); code >= 0)
        return code;
    const AudioFingerprint& result = fingerprinter.fingerprint();
    const QString packed = QString::fromLatin1(result.encoded().toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    if (!json) {
        std::printf("%.3f\t%s\n", TimeTools::RoundToMilliseconds(result.seconds), qPrintable(packed));
        return 0;
    }
    QJsonArray items;
    for (const quint32 item : result.items)
        items.append(static_cast<qint64>(item));
    QJsonObject report = fileObject(file);
    report.insert(QStringLiteral("seconds"), TimeTools::RoundToMilliseconds(result.seconds));
    report.insert(QStringLiteral("item_seconds"), AudioFingerprint::itemSeconds());
    report.insert(QStringLiteral("fingerprint"), packed);
    report.insert(QStringLiteral("items"), items);
    print(report);
    return 0;
}
