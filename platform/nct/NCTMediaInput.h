#pragma once
// Private to platform/nct: one demuxer opened on a file, its type told from
// the file's content alone.

#include "platform/nct/FFmpegPointers.h"

#include <QString>

#include <memory>

namespace nct {

class FileReader;

// The kinds of file the component tells apart. A file's name never decides.
enum class Container { None, Wave, MpegAudio, WindowsMedia, Ogg, Aiff, Other };

// Sample rates outside these bounds are refused as unreadable.
constexpr int MinimumSampleRate = 1000;
constexpr int MaximumSampleRate = 768000;

class MediaInput
{
public:
    MediaInput();
    ~MediaInput();

    // Opens `path` and finds its best audio stream. On failure `error` holds
    // a description and the object stays closed.
    bool open(const QString& path, QString* error);
    void close();
    bool isOpen() const { return m_context != nullptr; }

    AVFormatContext* context() const { return m_context.get(); }
    AVStream* stream() const { return m_stream; }
    int streamIndex() const { return m_stream ? m_stream->index : -1; }
    Container container() const { return m_container; }
    AVCodecID codecId() const { return m_stream ? m_stream->codecpar->codec_id : AV_CODEC_ID_NONE; }
    int sampleRate() const { return m_stream ? m_stream->codecpar->sample_rate : 0; }
    int channels() const { return m_stream ? m_stream->codecpar->ch_layout.nb_channels : 0; }
    qint64 fileSize() const;

    // Reads the next packet of the audio stream; false at the end or on a
    // read error (a damaged tail ends the audio, it does not fail it).
    bool readAudioPacket(AVPacket* packet);

private:
    // Before the context, which reads through it until it is freed.
    std::unique_ptr<FileReader> m_reader;
    InputContextPtr m_context;
    AVStream* m_stream = nullptr;
    Container m_container = Container::None;
};

// True for codecs whose packets hold a whole number of fixed-size sample
// frames, so a sample position maps to a byte position exactly.
bool isLinearPcm(AVCodecID codec);
bool isMpegAudio(AVCodecID codec);

} // namespace nct
