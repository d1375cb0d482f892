#pragma once
// Private to platform/nct: encodes interleaved 16-bit samples into a new
// file. The file is written under a temporary name beside the destination and
// only renamed into place when it is complete, so a failed or abandoned
// encode never leaves a destination behind (unless it is written in place).

#include "platform/nct/FFmpegPointers.h"
#include "platform/nct/NCTSampleBlock.h"

#include <QString>

namespace nct {

struct EncoderSetup {
    enum class Coding { None, Pcm, WaveTemplate, Mp2, Wma, Vorbis, Mp3 };
    Coding coding = Coding::None;
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 16;    // Pcm
    int bitRateKbps = 0;       // Mp2, Wma, Mp3
    int quality = 5;           // Vorbis, 0..10
    AVCodecID waveCodec = AV_CODEC_ID_NONE; // WaveTemplate
    int blockAlign = 0;        // WaveTemplate
    // The destination is a file made for this encode (the store's incoming
    // file, locked by its owner): it is filled where it is, under its own
    // name, and its owner removes it if the encode fails.
    bool inPlace = false;
};

class Encoder
{
public:
    Encoder() = default;
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // inputRate/inputChannels describe the samples that write() will get.
    bool open(const QString& path, const EncoderSetup& setup, int inputRate, int inputChannels, QString* error);
    bool write(const qint16* samples, qint64 frames);
    // Flushes every buffered sample, completes the file and moves it into place.
    bool finish(QString* error);
    // Drops the file being written.
    void abandon();
    bool isOpen() const { return m_context != nullptr; }

    qint64 framesWritten() const { return m_outputFrames; }
    int outputRate() const { return m_codec ? m_codec->sample_rate : 0; }
    QString lastError() const { return m_error; }

private:
    bool openCodec(const AVCodec* codec, const EncoderSetup& setup, QString* error);
    bool openConverter(int inputRate, int inputChannels);
    bool convertIntoFifo(const uint8_t* const* input, int frames);
    bool encodeFromFifo(bool final);
    bool sendFrame(const AVFrame* frame);
    bool receivePackets();
    bool fail(const QString& message);

    QString m_path;
    QString m_temporaryPath;
    bool m_inPlace = false;
    OutputContextPtr m_context;
    CodecContextPtr m_codec;
    AVStream* m_stream = nullptr;
    SwrPtr m_converter; // none when the input already has the encoder's format
    FifoPtr m_fifo;
    FramePtr m_frame;
    FramePtr m_converted;
    PacketPtr m_packet;
    int m_frameSize = 0;
    int m_inputChannels = 0;
    qint64 m_nextPts = 0;
    qint64 m_outputFrames = 0;
    QString m_error;
};

} // namespace nct
