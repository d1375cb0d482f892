#include "AudioTool.h"

#include "cli/common/TerminalProgress.h"
#include "audio/BextChunk.h"
#include "audio/CartChunk.h"
#include "audio/GetAudioFileFormatNCT.h"
#include "audio/cCopyAudioFileNCT.h"
#include "frame/library/FileTools.h"
#include "platform/nct/NCTAudioInfo.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {

const char* const Usage = "usage: orvane-audio probe FILE\n"
                          "       orvane-audio chunks FILE\n"
                          "       orvane-audio copy SOURCE DEST --format SETTINGS [--normalise PERCENT]\n"
                          "                         [--autotop THRESHOLD]\n"
                          "       orvane-audio --help | --version\n"
                          "\n"
                          "probe   the audio format and the length in samples that the import sees\n"
                          "chunks  the cart chunk (fields and tag text) and the bext chunk (fields and\n"
                          "        coding history) of a WAV file\n"
                          "copy    converts SOURCE into DEST in the format SETTINGS, a format settings text\n"
                          "        such as \"FormatType=2 SampleRate=48000 Channels=2 BitsPerSample=16\";\n"
                          "        --normalise sets the peak level to PERCENT of full scale, --autotop\n"
                          "        trims leading audio below THRESHOLD percent\n"
                          "\n"
                          "Results are printed as JSON. Exit status: 0 success, 1 failure, 2 usage.\n";

QJsonObject formatObject(const AudioFormat& format)
{
    return QJsonObject{
        {QStringLiteral("FormatType"), format.FormatType},
        {QStringLiteral("FormatTypeName"), AudioFormat::typeName(format.FormatType)},
        {QStringLiteral("SampleRate"), format.SampleRate},
        {QStringLiteral("Channels"), format.Channels},
        {QStringLiteral("BitRate"), format.BitRate},
        {QStringLiteral("BitsPerSample"), format.BitsPerSample},
        {QStringLiteral("FormatTag"), format.FormatTag},
        {QStringLiteral("Quality"), format.Quality},
        {QStringLiteral("CodecData"), format.CodecData},
        {QStringLiteral("Description"), format.Description()},
        {QStringLiteral("Settings"), format.SettingsText()},
    };
}

QJsonObject cartObject(const CartChunk& cart, const QString& tagText)
{
    QJsonArray timers;
    for (const CartPostTimer& timer : cart.PostTimer)
        timers.append(QJsonObject{{QStringLiteral("Usage"), timer.Usage.trimmed()},
                                  {QStringLiteral("Value"), timer.Value}});
    return QJsonObject{
        {QStringLiteral("Version"), cart.Version.trimmed()},
        {QStringLiteral("Title"), cart.Title.trimmed()},
        {QStringLiteral("Artist"), cart.Artist.trimmed()},
        {QStringLiteral("CutID"), cart.CutID.trimmed()},
        {QStringLiteral("ClientID"), cart.ClientID.trimmed()},
        {QStringLiteral("Category"), cart.Category.trimmed()},
        {QStringLiteral("Classification"), cart.Classification.trimmed()},
        {QStringLiteral("OutCue"), cart.OutCue.trimmed()},
        {QStringLiteral("StartDate"), cart.StartDate.trimmed()},
        {QStringLiteral("StartTime"), cart.StartTime.trimmed()},
        {QStringLiteral("EndDate"), cart.EndDate.trimmed()},
        {QStringLiteral("EndTime"), cart.EndTime.trimmed()},
        {QStringLiteral("ProducerAppID"), cart.ProducerAppID.trimmed()},
        {QStringLiteral("ProducerAppVersion"), cart.ProducerAppVersion.trimmed()},
        {QStringLiteral("UserDef"), cart.UserDef.trimmed()},
        {QStringLiteral("LevelReference"), cart.LevelReference},
        {QStringLiteral("PostTimer"), timers},
        {QStringLiteral("URL"), cart.URL.trimmed()},
        {QStringLiteral("TagText"), tagText},
    };
}

QJsonObject bextObject(const BextChunk& bext, const QString& codingHistory)
{
    return QJsonObject{
        {QStringLiteral("Description"), bext.Description.trimmed()},
        {QStringLiteral("Originator"), bext.Originator.trimmed()},
        {QStringLiteral("OriginatorReference"), bext.OriginatorReference.trimmed()},
        {QStringLiteral("OriginationDate"), bext.OriginationDate.trimmed()},
        {QStringLiteral("OriginationTime"), bext.OriginationTime.trimmed()},
        {QStringLiteral("TimeReference"),
         static_cast<double>((static_cast<quint64>(bext.TimeReferenceHigh) << 32) | bext.TimeReferenceLow)},
        {QStringLiteral("Version"), bext.Version},
        {QStringLiteral("UMID"), QString::fromLatin1(bext.UMID.toHex())},
        {QStringLiteral("CodingHistory"), codingHistory},
    };
}

// A number option's value; false when it is missing or not a number.
bool numberOption(const QStringList& arguments, int at, float* value)
{
    if (at + 1 >= arguments.size())
        return false;
    bool ok = false;
    *value = arguments.at(at + 1).toFloat(&ok);
    return ok;
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
    return usageError(QStringLiteral("unknown command \"%1\"").arg(verb));
}

int AudioTool::usageError(const QString& message)
{
    if (!message.isEmpty())
        std::fprintf(stderr, "orvane-audio: %s\n", qPrintable(message));
    std::fputs(Usage, stderr);
    return 2;
}

int AudioTool::failure(const QString& message)
{
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
        return failure(QStringLiteral("%1: no such file").arg(file));
    qint32 length = 0;
    const std::unique_ptr<AudioFormat> format = GetAudioFileFormatNCT(file, length);
    if (!format)
        return failure(QStringLiteral("%1: not an audio file the import can read").arg(file));
    QJsonObject result = formatObject(*format);
    result.insert(QStringLiteral("File"), QFileInfo(file).absoluteFilePath());
    result.insert(QStringLiteral("LengthSamples"), length);
    result.insert(QStringLiteral("Seconds"), format->SampleRate > 0 ? double(length) / format->SampleRate : 0.0);
    NCTAudioInfo info;
    if (info.OpenFile(file))
        result.insert(QStringLiteral("Tags"), QJsonObject{{QStringLiteral("Title"), info.TitleTag()},
                                                          {QStringLiteral("Artist"), info.ArtistTag()},
                                                          {QStringLiteral("Album"), info.AlbumTag()}});
    print(result);
    return 0;
}

int AudioTool::chunks(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return usageError(QStringLiteral("chunks takes one file"));
    const QString file = arguments.first();
    if (!QFileInfo(file).isFile())
        return failure(QStringLiteral("%1: no such file").arg(file));
    CartChunk cart;
    QString tagText;
    BextChunk bext;
    QString codingHistory;
    QJsonObject result{{QStringLiteral("File"), QFileInfo(file).absoluteFilePath()}};
    result.insert(QStringLiteral("Cart"),
                  ReadCartChunk(file, cart, tagText) ? QJsonValue(cartObject(cart, tagText)) : QJsonValue());
    result.insert(QStringLiteral("Bext"), ReadBextChunk(file, bext, codingHistory)
                                              ? QJsonValue(bextObject(bext, codingHistory))
                                              : QJsonValue());
    print(result);
    return 0;
}

int AudioTool::copy(const QStringList& arguments)
{
    QStringList files;
    QString settings;
    bool haveFormat = false;
    float normalise = -1;
    float autoTop = -1;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--format")) {
            if (i + 1 >= arguments.size())
                return usageError(QStringLiteral("--format needs a settings text"));
            settings = arguments.at(++i);
            haveFormat = true;
        } else if (argument == QLatin1String("--normalise") || argument == QLatin1String("--normalize")) {
            if (!numberOption(arguments, i++, &normalise) || normalise <= 0)
                return usageError(QStringLiteral("--normalise needs a percentage above 0"));
        } else if (argument == QLatin1String("--autotop")) {
            if (!numberOption(arguments, i++, &autoTop) || autoTop <= 0)
                return usageError(QStringLiteral("--autotop needs a threshold above 0"));
        } else if (argument.startsWith(QLatin1String("--"))) {
            return usageError(QStringLiteral("unknown option %1").arg(argument));
        } else {
            files << argument;
        }
    }
    if (files.size() != 2)
        return usageError(QStringLiteral("copy takes a source and a destination"));
    if (!haveFormat)
        return usageError(QStringLiteral("copy needs --format"));
    auto format = std::make_shared<AudioFormat>();
    if (!format->setSettingsText(settings))
        return usageError(QStringLiteral("\"%1\" is not a format settings text").arg(settings));

    cCopyAudioFileNCT job;
    TerminalProgress progress;
    QObject::connect(&job, &cCopyAudioFileNCT::ScanAudioProgress,
                     [&](qint16 percent) { progress.show(QStringLiteral("Scanning"), percent); });
    QObject::connect(&job, &cCopyAudioFileNCT::ScanAudioEnd, [&] { progress.done(); });
    QObject::connect(&job, &cCopyAudioFileNCT::AddAudioProgress,
                     [&](qint16 percent) { progress.show(QStringLiteral("Copying"), percent); });
    QObject::connect(&job, &cCopyAudioFileNCT::AddAudioEnd, [&] { progress.done(); });
    job.setDescription(QFileInfo(files.at(0)).fileName());
    job.setNormalise(normalise > 0);
    if (normalise > 0)
        job.setNormalisePercentage(normalise);
    job.setAutoTop(autoTop > 0);
    if (autoTop > 0)
        job.setAutoTopThreshold(autoTop);

    const qint32 result = job.CopyAudioFile(files.at(0), files.at(1), format);
    progress.done();
    if (result != 0) {
        print(QJsonObject{{QStringLiteral("Result"), result},
                          {QStringLiteral("Error"), job.GetLastErrorDescription()}});
        return failure(QStringLiteral("copy failed: %1 %2").arg(result).arg(job.GetLastErrorDescription()));
    }
    qint32 length = 0;
    const std::unique_ptr<AudioFormat> written = GetAudioFileFormatNCT(files.at(1), length);
    QJsonObject report{{QStringLiteral("Result"), 0},
                       {QStringLiteral("Source"), QFileInfo(files.at(0)).absoluteFilePath()},
                       {QStringLiteral("Destination"), QFileInfo(files.at(1)).absoluteFilePath()},
                       {QStringLiteral("Format"), format->Description()},
                       {QStringLiteral("LengthSamples"), length}};
    if (written)
        report.insert(QStringLiteral("Written"), formatObject(*written));
    print(report);
    return 0;
}
