#include "audio/GetAudioFileFormatNCT.h"

#include "frame/WriteLog.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "platform/nct/NCTAudioInfo.h"

#include <cmath>

namespace {

constexpr int LogLevel = 5;

qint32 kilobits(const NCTAudioInfo& info)
{
    return static_cast<qint32>(GeneralTools::RoundHalfEven(info.BitRate() / 1000.0));
}

// The component's own classification decides where it can; only a file it
// leaves unclassified goes through the content tests, whose order matters.
void chooseFormatType(NCTAudioInfo& info, const QString& fileName, AudioFormat& format)
{
    switch (info.FileType()) {
    case 1:
        format.FormatType = aftWAV;
        format.FormatTag = info.FormatTag();
        if (info.BitsPerSample() > 0)
            format.BitsPerSample = info.BitsPerSample();
        return;
    case 2:
        if (info.IsMpegLayer3(fileName))
            format.FormatType = aftMP3;
        else if (info.IsMpegLayer2(fileName) || info.IsMpegOther(fileName))
            format.FormatType = aftMP2;
        format.BitRate = kilobits(info);
        return;
    case 3:
        format.FormatType = aftWMA;
        format.BitRate = kilobits(info);
        return;
    case 4:
        format.FormatType = aftMP2;
        format.BitRate = kilobits(info);
        return;
    default: break;
    }
    if (info.IsOgg(fileName))
        format.FormatType = aftOgg;
    else if (info.IsMpegLayer3(fileName))
        format.FormatType = aftMP3;
    else if (info.IsMpegLayer2(fileName) || info.IsMpegOther(fileName))
        format.FormatType = aftMP2;
    else if (info.IsWma(fileName))
        format.FormatType = aftWMA;
    else if (info.IsFlac(fileName))
        format.FormatType = aftFLAC;
    else if (info.IsAiff(fileName))
        format.FormatType = aftAIFF;
    else if (info.IsOpus(fileName))
        format.FormatType = aftOpus;
    else if (info.IsAac(fileName))
        format.FormatType = aftAAC;
    if (format.FormatType != aftUnknown) {
        format.BitRate = kilobits(info);
        return;
    }
    if (info.IsWave(fileName))
        format.FormatType = aftWAV;
}

std::unique_ptr<AudioFormat> probe(const QString& fileName, qint64& lengthSamples, bool exactLength)
{
    WriteLog(QStringLiteral("Started GetAudioFileFormatNCT ") + fileName, LogLevel, LogIndentAfter);
    const double fileLength = FileTools::GetFileLength(fileName);
    if (!(fileLength > 0)) {
        WriteLog(QStringLiteral("Finish GetAudioFileFormatNCT (Filelength <=0)"), LogLevel, LogOutdentBefore);
        return nullptr;
    }
    lengthSamples = 0;

    NCTAudioInfo info;
    info.setExactLength(exactLength);
    if (!info.OpenFile(fileName)) {
        WriteLog(QStringLiteral("Finish GetAudioFileFormatNCT (err: ") + info.lastError() + QLatin1Char(')'), LogLevel,
                 LogOutdentBefore);
        return nullptr;
    }

    auto format = std::make_unique<AudioFormat>();
    format->FormatType = aftUnknown;
    format->Channels = info.Channels();
    format->SampleRate = info.SampleRate();
    chooseFormatType(info, fileName, *format);
    format->CodecData = info.CodecData();
    if (format->FormatType != aftUnknown)
        lengthSamples = info.Samples();
    else
        format.reset();

    info.CloseFile();
    WriteLog(QStringLiteral("Finish GetAudioFileFormatNCT Samples:") + QString::number(lengthSamples), LogLevel,
             LogOutdentBefore);
    return format;
}

} // namespace

std::unique_ptr<AudioFormat> GetAudioFileFormatNCT(const QString& fileName, qint64& lengthSamples)
{
    return probe(fileName, lengthSamples, true);
}

std::unique_ptr<AudioFormat> GetAudioFileFormatFromHeaders(const QString& fileName)
{
    qint64 ignored = 0;
    return probe(fileName, ignored, false);
}
