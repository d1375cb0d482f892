#include "platform/nct/NCTLengthCounter.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}

#include <QFile>
#include <QMutex>

#include <algorithm>
#include <deque>
#include <sys/stat.h>

namespace nct {

namespace {

// What the decoder's own start and end trimming takes off a packet (the
// encoder delay and padding of an MP3 with a LAME header, for example).
qint64 trimmedFrames(const AVPacket* packet)
{
    size_t size = 0;
    const uint8_t* side = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    if (!side || size < 8)
        return 0;
    return static_cast<qint64>(AV_RL32(side)) + static_cast<qint64>(AV_RL32(side + 4));
}

LengthCount countLinearPcm(MediaInput& input)
{
    LengthCount count;
    const AVCodecParameters* parameters = input.stream()->codecpar;
    const qint64 frameBytes = static_cast<qint64>(av_get_exact_bits_per_sample(parameters->codec_id)) / 8
        * parameters->ch_layout.nb_channels;
    if (frameBytes <= 0)
        return count;
    PacketPtr packet(av_packet_alloc());
    if (!packet || !input.readAudioPacket(packet.get()))
        return LengthCount{0, 0, 0};
    // Trust the header only when the file really holds that much audio after
    // the first packet; a truncated file or a size of 0 or 0xFFFFFFFF is
    // counted packet by packet instead.
    const qint64 header = headerLength(input);
    const qint64 available = packet->pos >= 0 && input.fileSize() > 0 ? (input.fileSize() - packet->pos) / frameBytes : -1;
    if (header > 0 && available >= header) {
        count.frames = header;
        return count;
    }
    count.frames = 0;
    do {
        // The PCM decoder drops a partial frame at the end of a packet.
        count.frames += packet->size / frameBytes;
        av_packet_unref(packet.get());
    } while (input.readAudioPacket(packet.get()));
    return count;
}

LengthCount countMpegFrames(MediaInput& input)
{
    LengthCount count;
    count.frames = 0;
    qint64 trimmed = 0;
    PacketPtr packet(av_packet_alloc());
    while (packet && input.readAudioPacket(packet.get())) {
        int frameBytes = 0;
        int frames = 0;
        // A packet that does not start with a frame header is rejected by the
        // decoder, so it does not count either. One cut short at the end of a
        // truncated file still decodes to a whole frame.
        if (parseMpegHeader(packet->data, packet->size, &frameBytes, &frames)) {
            count.frames += frames;
            count.codedFrames += frames;
            count.codedBytes += packet->size;
            trimmed += trimmedFrames(packet.get());
        }
        av_packet_unref(packet.get());
    }
    count.frames = std::max<qint64>(0, count.frames - trimmed);
    return count;
}

// What the decoder's end trimming takes off the last frames (the part of the
// final packet past the last page's granule position): applied only when it
// fits in the packet's own frames, as the decoder applies it.
qint64 endTrimmed(const AVPacket* packet, qint64 packetFrames)
{
    size_t size = 0;
    const uint8_t* side = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    if (!side || size < 8)
        return 0;
    const qint64 padding = AV_RL32(side + 4);
    return padding <= packetFrames ? padding : 0;
}

// Ogg Vorbis, counted as the decoder delivers it: nothing for the first
// packet (it only primes the overlap), then for each packet a quarter of its
// own window and of the one before, which its first bytes name, less the end
// trimming of the last. The pages' granule positions are not trusted for the
// rest: many files count the first packet in the first page's granule (a
// block too many) or end on a granule beyond all reason (hours for a clip).
// Unknown (-1) when a packet cannot be parsed: the file is then decoded.
LengthCount countVorbisPackets(MediaInput& input)
{
    LengthCount count;
    const AVCodecParameters* parameters = input.stream()->codecpar;
    VorbisParsePtr parser(av_vorbis_parse_init(parameters->extradata, parameters->extradata_size));
    PacketPtr packet(av_packet_alloc());
    if (!parser || !packet)
        return count;
    qint64 frames = 0;
    bool primed = false;
    while (input.readAudioPacket(packet.get())) {
        const int packetFrames = av_vorbis_parse_frame(parser.get(), packet->data, packet->size);
        const qint64 trimmed = endTrimmed(packet.get(), packetFrames);
        count.codedBytes += packet->size;
        av_packet_unref(packet.get());
        if (packetFrames < 0)
            return LengthCount{};
        count.codedFrames += packetFrames;
        if (primed)
            frames += packetFrames - trimmed;
        primed = true;
    }
    count.frames = frames;
    return count;
}

LengthCount countByDecoding(MediaInput& input)
{
    LengthCount count;
    const AVCodec* codec = avcodec_find_decoder(input.codecId());
    if (!codec)
        return count;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), input.stream()->codecpar) < 0)
        return count;
    context->pkt_timebase = input.stream()->time_base;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return count;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return count;
    count.frames = 0;
    bool draining = false;
    while (true) {
        const int result = avcodec_receive_frame(context.get(), frame.get());
        if (result == 0) {
            count.frames += frame->nb_samples;
            av_frame_unref(frame.get());
            continue;
        }
        if (result != AVERROR(EAGAIN) || draining)
            break;
        if (input.readAudioPacket(packet.get())) {
            count.codedBytes += packet->size;
            count.codedFrames += packet->duration > 0 ? av_rescale_q(packet->duration, input.stream()->time_base,
                                                                     AVRational{1, input.sampleRate()})
                                                      : 0;
            avcodec_send_packet(context.get(), packet.get());
            av_packet_unref(packet.get());
        } else {
            avcodec_send_packet(context.get(), nullptr);
            draining = true;
        }
    }
    return count;
}

} // namespace

qint64 headerLength(const MediaInput& input)
{
    const AVStream* stream = input.stream();
    if (!stream)
        return -1;
    if (stream->duration > 0)
        return av_rescale_q(stream->duration, stream->time_base, AVRational{1, input.sampleRate()});
    if (input.context()->duration > 0)
        return av_rescale(input.context()->duration, input.sampleRate(), AV_TIME_BASE);
    return -1;
}

namespace {

// A file is often counted twice in a row (its format is probed, then it is
// opened for copying), and counting Vorbis or WMA means decoding it all. The
// last few counts are kept, each valid while the file keeps its identity,
// size and change times (to the nanosecond).
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

bool identify(const QString& path, FileIdentity* identity)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    identity->device = info.st_dev;
    identity->inode = info.st_ino;
    identity->size = info.st_size;
    identity->modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity->changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return true;
}

struct CountCache {
    QMutex mutex;
    std::deque<std::pair<FileIdentity, LengthCount>> entries;
    static constexpr size_t Capacity = 8;

    bool find(const FileIdentity& file, LengthCount* count)
    {
        QMutexLocker lock(&mutex);
        for (const auto& [identity, known] : entries)
            if (identity == file) {
                *count = known;
                return true;
            }
        return false;
    }
    void add(const FileIdentity& file, const LengthCount& count)
    {
        QMutexLocker lock(&mutex);
        entries.emplace_front(file, count);
        if (entries.size() > Capacity)
            entries.pop_back();
    }
};

CountCache& countCache()
{
    static CountCache cache;
    return cache;
}

// A FLAC stream's STREAMINFO block states its length in samples (36 bits
// from byte 13); 0 means the encoder did not know it, and the stream is
// decoded instead. A cut file states more than it holds: the copy job still
// delivers what is there.
LengthCount countFlacStreamInfo(const MediaInput& input)
{
    LengthCount count;
    const AVCodecParameters* parameters = input.stream()->codecpar;
    if (parameters->extradata_size < 18)
        return count;
    const uint8_t* info = parameters->extradata;
    const qint64 total = (qint64(info[13] & 0x0F) << 32) | AV_RB32(info + 14);
    if (total > 0)
        count.frames = total;
    return count;
}

LengthCount countFrom(const QString& path, MediaInput& input)
{
    // WAV and AIFF alike: linear PCM is counted from its sizes.
    if (isLinearPcm(input.codecId()))
        return countLinearPcm(input);
    if (isMpegAudio(input.codecId()))
        return countMpegFrames(input);
    if (input.codecId() == AV_CODEC_ID_FLAC)
        if (const LengthCount stated = countFlacStreamInfo(input); stated.frames >= 0)
            return stated;
    if (input.codecId() != AV_CODEC_ID_VORBIS || input.container() != Container::Ogg)
        return countByDecoding(input);
    const LengthCount count = countVorbisPackets(input);
    MediaInput again;
    QString error;
    if (count.frames >= 0 || !again.open(path, &error))
        return count;
    return countByDecoding(again);
}

} // namespace

LengthCount countLength(const QString& path, MediaInput* openInput)
{
    FileIdentity file;
    const bool identified = identify(path, &file);
    LengthCount count;
    if (identified && countCache().find(file, &count))
        return count;
    MediaInput ownInput;
    QString error;
    if (!openInput && !ownInput.open(path, &error))
        return count;
    count = countFrom(path, openInput ? *openInput : ownInput);
    if (identified && count.frames >= 0)
        countCache().add(file, count);
    return count;
}

bool parseMpegHeader(const uint8_t* bytes, int size, int* frameBytes, int* frames)
{
    if (!bytes || size < 4)
        return false;
    const quint32 header = AV_RB32(bytes);
    if ((header & 0xFFE00000u) != 0xFFE00000u)
        return false;
    const int version = (header >> 19) & 3; // 0 = 2.5, 2 = 2, 3 = 1
    const int layer = 4 - static_cast<int>((header >> 17) & 3); // 1, 2 or 3
    const int bitrateIndex = (header >> 12) & 15;
    const int rateIndex = (header >> 10) & 3;
    const int padding = (header >> 9) & 1;
    if (version == 1 || layer == 4 || bitrateIndex == 15 || rateIndex == 3)
        return false;

    static const int kbps[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int rates[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int rate = rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int bitrate = kbps[mpeg1 ? 0 : 1][layer - 1][bitrateIndex] * 1000;

    *frames = layer == 1 ? 384 : (layer == 3 && !mpeg1) ? 576 : 1152;
    if (bitrate == 0)
        *frameBytes = 0; // free format: the length is not in the header
    else if (layer == 1)
        *frameBytes = (12 * bitrate / rate + padding) * 4;
    else
        *frameBytes = (layer == 3 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
    return true;
}

} // namespace nct
