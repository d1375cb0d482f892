#include "platform/riff/CompressionManager.h"

#include "platform/riff/WaveFormatHeader.h"

#include <QtEndian>

namespace {
constexpr int ImaFormatSize = WaveFormatHeader::Size + 2;
constexpr quint32 MaxSampleRate = 768000;
constexpr quint32 MaxImaSampleRate = 192000;

struct TagInfo {
    quint16 tag;
    quint32 formatSize;
    quint32 support;
    quint32 standardFormats; // rates x channels x sample sizes a PC lists
    const char* name;
};

constexpr TagInfo KnownTags[] = {
    {CompressionManager::TagPcm, WaveFormatHeader::PcmSize, CompressionManager::SupportConverter, 5 * 2 * 2, "PCM"},
    {CompressionManager::TagImaAdpcm, ImaFormatSize, CompressionManager::SupportCodec, 4 * 2, "IMA ADPCM"},
};

bool isPcmSampleSize(quint16 bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// A PCM format of the given shape, or false when the compression manager has
// no converter for it.
bool pcmFormat(quint16 channels, quint32 rate, quint16 bits, WaveFormatHeader& out)
{
    if (channels < 1 || channels > 8 || rate < 1 || rate > MaxSampleRate || !isPcmSampleSize(bits))
        return false;
    out = {};
    out.wFormatTag = CompressionManager::TagPcm;
    out.nChannels = channels;
    out.nSamplesPerSec = rate;
    out.wBitsPerSample = bits;
    out.nBlockAlign = quint16(channels * bits / 8);
    out.nAvgBytesPerSec = rate * out.nBlockAlign;
    return true;
}

bool imaFormat(quint16 channels, quint32 rate, WaveFormatHeader& out, quint16& samplesPerBlock)
{
    if (channels < 1 || channels > 2 || rate < 1 || rate > MaxImaSampleRate)
        return false;
    out = {};
    out.wFormatTag = CompressionManager::TagImaAdpcm;
    out.nChannels = channels;
    out.nSamplesPerSec = rate;
    out.wBitsPerSample = 4;
    out.nBlockAlign = CompressionManager::imaBlockAlign(rate, channels);
    samplesPerBlock = CompressionManager::imaSamplesPerBlock(out.nBlockAlign, channels);
    // Rounded to the nearest byte, as the codec's own multiply-divide does.
    out.nAvgBytesPerSec = quint32((quint64(rate) * out.nBlockAlign + samplesPerBlock / 2) / samplesPerBlock);
    out.cbSize = 2;
    return true;
}
} // namespace

quint16 CompressionManager::imaBlockAlign(quint32 sampleRate, quint16 channels)
{
    const quint32 steps = std::max<quint32>(1, sampleRate / 11025);
    return quint16(256 * channels * steps);
}

quint16 CompressionManager::imaSamplesPerBlock(quint16 blockAlign, quint16 channels)
{
    // Each channel's block starts with a 4-byte header holding one sample;
    // every further byte holds two 4-bit samples.
    const int headerBytes = 4 * channels;
    return quint16((blockAlign - headerBytes) * 8 / (4 * channels) + 1);
}

int CompressionManager::formatSuggest(const QByteArray& source, QByteArray& target, int targetSize, quint32 flags)
{
    if (flags & ~quint32(SuggestMask))
        return InvalidFlag;
    if (source.size() < WaveFormatHeader::PcmSize || targetSize < WaveFormatHeader::PcmSize)
        return InvalidParam;
    if (target.size() < targetSize)
        target.resize(targetSize, '\0');

    const WaveFormatHeader from = WaveFormatHeader::fromBytes(source);
    const WaveFormatHeader wish = WaveFormatHeader::fromBytes(target.left(targetSize));
    // Codecs do not resample or remix: without a wish, the target keeps the
    // source's shape, and a wish for another shape is only granted by PCM.
    const quint16 channels = (flags & SuggestChannels) ? wish.nChannels : from.nChannels;
    const quint32 rate = (flags & SuggestSampleRate) ? wish.nSamplesPerSec : from.nSamplesPerSec;

    WaveFormatHeader result;
    QByteArray codecData;
    if (from.wFormatTag == TagPcm) {
        const quint16 tag = (flags & SuggestFormatTag) ? wish.wFormatTag : quint16(TagPcm);
        if (tag == TagPcm) {
            const quint16 bits = (flags & SuggestBitsPerSample) ? wish.wBitsPerSample : from.wBitsPerSample;
            if (!isPcmSampleSize(from.wBitsPerSample) || !pcmFormat(channels, rate, bits, result))
                return NotPossible;
        } else if (tag == TagImaAdpcm) {
            quint16 samplesPerBlock = 0;
            const bool sameShape = channels == from.nChannels && rate == from.nSamplesPerSec;
            const bool bitsOk = !(flags & SuggestBitsPerSample) || wish.wBitsPerSample == 4;
            if (from.wBitsPerSample != 16 || !sameShape || !bitsOk || !imaFormat(channels, rate, result, samplesPerBlock))
                return NotPossible;
            codecData.resize(2);
            qToLittleEndian(samplesPerBlock, codecData.data());
        } else {
            return NotPossible;
        }
    } else if (from.wFormatTag == TagImaAdpcm) {
        // Decoding gives 16-bit PCM of the same shape.
        const quint16 tag = (flags & SuggestFormatTag) ? wish.wFormatTag : quint16(TagPcm);
        const quint16 bits = (flags & SuggestBitsPerSample) ? wish.wBitsPerSample : quint16(16);
        const bool sameShape = channels == from.nChannels && rate == from.nSamplesPerSec;
        if (tag != TagPcm || bits != 16 || !sameShape || !pcmFormat(channels, rate, bits, result))
            return NotPossible;
    } else {
        return NotPossible;
    }

    // A PCM format needs 16 bytes, others their header and codec data.
    const QByteArray format = result.wFormatTag == TagPcm ? result.toBytes() : result.toBytes() + codecData;
    const int needed = result.wFormatTag == TagPcm ? WaveFormatHeader::PcmSize : int(format.size());
    if (targetSize < needed)
        return InvalidParam;
    std::copy_n(format.constData(), std::min<qsizetype>(format.size(), targetSize), target.data());
    return NoError;
}

int CompressionManager::formatTagDetails(FormatTagDetails& details, quint32 flags)
{
    if (details.structSize != FormatTagDetails::RecordSize)
        return InvalidParam;
    const TagInfo* info = nullptr;
    if (flags == DetailsByFormatTag) {
        for (const TagInfo& known : KnownTags)
            if (known.tag == details.formatTag)
                info = &known;
    } else if (flags == DetailsByIndex) {
        if (details.formatTagIndex < std::size(KnownTags))
            info = &KnownTags[details.formatTagIndex];
    } else {
        return InvalidFlag;
    }
    if (!info)
        return NotPossible;
    details.formatTagIndex = quint32(info - KnownTags);
    details.formatTag = info->tag;
    details.formatSize = info->formatSize;
    details.support = info->support;
    details.standardFormats = info->standardFormats;
    details.formatTagName = QString::fromLatin1(info->name);
    return NoError;
}
