#include "audio/WaveTemplate.h"

#include "frame/WriteLog.h"
#include "platform/riff/CompressionManager.h"
#include "platform/riff/RiffFile.h"
#include "platform/riff/WaveFormatHeader.h"

#include <QFile>

namespace {
constexpr int LogLevel = 5;
constexpr quint32 SuggestShape =
    CompressionManager::SuggestFormatTag | CompressionManager::SuggestChannels | CompressionManager::SuggestSampleRate;

void logExit(const QString& reason)
{
    WriteLog(QStringLiteral("Exit CreateAudioFile (") + reason, LogLevel, LogOutdentBefore);
}

// RIFF "WAVE" with the format chunk and an empty data chunk; each step runs
// only when the one before it worked. The form keeps room for the sizes of
// RF64, so audio written into it later may pass 4 GiB.
bool writeTemplate(const QString& fileName, const QByteArray& format)
{
    RiffFile file;
    if (file.open(fileName, RiffFile::Create | RiffFile::ReadWrite) != RiffFile::NoError)
        return false;
    RiffChunk riff;
    riff.formType = RiffFile::fourCC("WAVE");
    RiffChunk fmt;
    fmt.id = RiffFile::fourCC("fmt ");
    RiffChunk data;
    data.id = RiffFile::fourCC("data");
    const bool written = file.seek(0) == 0 && file.createChunk(riff, RiffFile::CreateRiff | RiffFile::ReserveRf64) == RiffFile::NoError
        && file.createChunk(fmt, RiffFile::CreatePlain) == RiffFile::NoError
        && file.write(format.constData(), format.size()) == format.size() && file.ascend(fmt) == RiffFile::NoError
        && file.createChunk(data, RiffFile::CreatePlain) == RiffFile::NoError && file.ascend(data) == RiffFile::NoError
        && file.ascend(riff) == RiffFile::NoError;
    return file.close() == RiffFile::NoError && written;
}
} // namespace

bool CreateAudioFile(const QString& fileName, qint32 sampleRate, qint16 channels, qint16 formatTag)
{
    WriteLog(QStringLiteral("Start CreateAudioFile"), LogLevel, LogIndentAfter);
    if (fileName.isEmpty()) {
        logExit(QStringLiteral("Filename = \"\")"));
        return false;
    }
    if (sampleRate == 0) {
        logExit(QStringLiteral("SampleRate = 0)"));
        return false;
    }
    if (channels == 0) {
        logExit(QStringLiteral("Channels = 0)"));
        return false;
    }

    // 16-bit PCM of the wanted shape is what the audio component feeds the
    // encoder, so the suggestions start from it.
    WaveFormatHeader source;
    source.wFormatTag = CompressionManager::TagPcm;
    source.nChannels = quint16(channels);
    source.nSamplesPerSec = quint32(sampleRate);
    source.wBitsPerSample = 16;
    source.nAvgBytesPerSec = quint32(2 * qint64(channels) * sampleRate);
    source.nBlockAlign = quint16(2 * channels);

    WaveFormatHeader wish;
    wish.wFormatTag = CompressionManager::TagPcm;
    wish.nChannels = quint16(channels);
    wish.nSamplesPerSec = quint32(sampleRate);
    QByteArray pcm = wish.toBytes();
    int rc = CompressionManager::formatSuggest(source.toBytes(), pcm, WaveFormatHeader::Size, SuggestShape);
    if (rc != 0) {
        logExit(QStringLiteral("acmFormatSuggestFailed. rc = ") + QString::number(rc));
        return false;
    }

    FormatTagDetails details;
    details.formatTag = quint16(formatTag);
    rc = CompressionManager::formatTagDetails(details, CompressionManager::DetailsByFormatTag);
    if (rc != 0) {
        logExit(QStringLiteral("acmFormatTagDetails failed. rc = ") + QString::number(rc));
        return false;
    }

    const int formatSize = int(details.formatSize);
    const WaveFormatHeader suggested = WaveFormatHeader::fromBytes(pcm);
    WaveFormatHeader target;
    target.wFormatTag = quint16(formatTag);
    target.nChannels = suggested.nChannels;
    target.nSamplesPerSec = suggested.nSamplesPerSec;
    QByteArray block(std::max(formatSize, WaveFormatHeader::Size), '\0');
    const QByteArray targetHeader = target.toBytes();
    std::copy_n(targetHeader.constData(), targetHeader.size(), block.data());

    bool written = false;
    if (CompressionManager::formatSuggest(pcm, block, formatSize, SuggestShape) == 0) {
        written = writeTemplate(fileName, block.left(formatSize));
        // A template cut short would be taken for a valid, empty one.
        if (!written)
            QFile::remove(fileName);
    }
    WriteLog(QStringLiteral("Finish CreateAudioFile"), LogLevel, LogOutdentBefore);
    return written;
}
