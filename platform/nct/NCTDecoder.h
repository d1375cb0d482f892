#pragma once
// Private to platform/nct: decodes one file to interleaved 16-bit samples at
// the file's own sample rate and channel count.

#include "platform/nct/FFmpegPointers.h"
#include "platform/nct/NCTMediaInput.h"
#include "platform/nct/NCTSampleBlock.h"

#include <QString>

namespace nct {

class Decoder
{
public:
    Decoder() = default;
    ~Decoder() { close(); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    bool open(const QString& path, QString* error);
    void close();
    bool isOpen() const { return m_input.isOpen(); }

    int sampleRate() const { return m_rate; }
    int channels() const { return m_channels; }
    const MediaInput& input() const { return m_input; }

    // Up to `frames` frames; fewer only at the end of the audio.
    NCTSampleBlock read(qint64 frames);
    // Positions reading at `frame` exactly. False when the file cannot be
    // read again; a frame past the end leaves reading at the end.
    bool seek(qint64 frame);
    qint64 position() const { return m_position; }
    // True once every frame of the file has been handed out (or skipped):
    // position() is then the exact length.
    bool atEnd() const { return m_finished && pendingFrames() == 0; }

private:
    bool openDecoder(QString* error);
    // Decodes at least one more frame into the pending buffer; false at the end.
    bool decodeMore();
    bool receiveFrames();
    bool appendFrame(const AVFrame* frame);
    bool configureConverter(const AVFrame* frame);
    void discard(qint64 frames);
    qint64 pendingFrames() const;
    bool seekByTimestamp(qint64 frame);

    QString m_path;
    MediaInput m_input;
    CodecContextPtr m_codec;
    SwrPtr m_converter;
    int m_converterRate = 0;
    int m_converterFormat = -1;
    AVChannelLayout m_converterLayout{};
    PacketPtr m_packet;
    FramePtr m_frame;
    int m_rate = 0;
    int m_channels = 0;
    bool m_draining = false;
    bool m_finished = false;
    qint64 m_position = 0; // frames handed out (or skipped) so far
    NCTSampleBlock m_pending;
    size_t m_pendingOffset = 0; // in samples
};

} // namespace nct
