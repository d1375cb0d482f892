#pragma once
// Owners for the FFmpeg handles used inside the audio component. This header is
// private to platform/nct: nothing outside it sees an FFmpeg type.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/vorbis_parser.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
}

#include <QString>
#include <memory>

namespace nct {

// A reading context of our own: its buffer, which FFmpeg may have replaced,
// and then the context.
struct ReaderContextFree {
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
using ReaderContextPtr = std::unique_ptr<AVIOContext, ReaderContextFree>;

struct InputContextFree {
    void operator()(AVFormatContext* context) const
    {
        // A reader of our own is left to us by the demuxer.
        const ReaderContextPtr io(context->flags & AVFMT_FLAG_CUSTOM_IO ? context->pb : nullptr);
        avformat_close_input(&context);
    }
};
struct OutputContextFree {
    void operator()(AVFormatContext* context) const
    {
        if (context->pb && !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwrFree {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct FifoFree {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
struct VorbisParseFree {
    void operator()(AVVorbisParseContext* parser) const { av_vorbis_parse_free(&parser); }
};

using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextFree>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextFree>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoFree>;
using VorbisParsePtr = std::unique_ptr<AVVorbisParseContext, VorbisParseFree>;

// The text FFmpeg gives for an error number.
inline QString errorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

// FFmpeg wants 8-bit path names; ours are Unicode.
inline QByteArray pathBytes(const QString& path) { return path.toUtf8(); }

// A default channel layout for a plain channel count (1 = mono, 2 = stereo).
struct ChannelLayout {
    AVChannelLayout layout{};
    explicit ChannelLayout(int channels) { av_channel_layout_default(&layout, channels); }
    ~ChannelLayout() { av_channel_layout_uninit(&layout); }
    ChannelLayout(const ChannelLayout&) = delete;
    ChannelLayout& operator=(const ChannelLayout&) = delete;
};

} // namespace nct
