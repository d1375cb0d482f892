#pragma once
#include "platform/nct/NCTEncoderSettings.h"
#include "platform/nct/NCTSampleBlock.h"

#include <QString>
#include <memory>

namespace nct {
class Decoder;
class Encoder;
struct EncoderSetup;
} // namespace nct

// One audio file, opened either for reading (decoded to interleaved 16-bit
// samples at the file's own rate and channels) or for writing (encoded from
// 16-bit samples). Calls report failure by their result and lastError().
//
// Writing: choose the output coding (SetPcmFormat, SetFormatFromFile,
// SetEncoderSettings, SetWmaEncoding, SetOggQuality or SetMp3Encoding) and the
// format of the samples to come (SetSampleFormat), then CreateFile with the
// matching type code. The file appears under its name only when Close
// completes it; a file dropped unfinished leaves nothing behind.
class NCTAudioFile
{
public:
    // Type codes for CreateFile.
    enum CreateType {
        CreateNone = 0,
        CreateWave = 1,
        CreateMpegLayer2 = 2,
        CreateWindowsMedia = 6,
        CreateOggVorbis = 11,
        CreateMpegLayer3 = 12,
    };
    // Units for SetPosition.
    enum PositionUnit { PositionMilliseconds = 1, PositionSamples = 3 };

    NCTAudioFile();
    ~NCTAudioFile();
    NCTAudioFile(const NCTAudioFile&) = delete;
    NCTAudioFile& operator=(const NCTAudioFile&) = delete;

    // With exact lengths on, LengthSamples and DurationMs of a file opened for
    // reading count what the decoder delivers rather than trusting headers.
    // The count is made when first asked for, and costs nothing once the
    // file has been read to its end.
    void setExactLength(bool exact) { m_exactLength = exact; }
    // CreateFile fills the named file where it is, instead of writing beside
    // it and renaming (for a file its owner made and holds locked).
    void setWriteInPlace(bool inPlace) { m_writeInPlace = inPlace; }

    // access 0 = read; share 1 = others may read the file meanwhile (always so here).
    bool OpenFile(const QString& fileName, int access = 0, int share = 1);
    bool CreateFile(const QString& fileName, int typeCode);
    // Completes a file being written (and moves it into place) or closes one
    // being read. False when a written file could not be completed.
    bool Close();
    bool isOpen() const;
    QString lastError() const { return m_lastError; }

    // Reading.
    NCTSampleBlock ReadSamples(qint64 frames);
    bool SetPosition(qint64 position, int unit = PositionSamples);
    qint32 SampleRate() const;
    qint32 Channels() const;

    // Writing.
    void SetSampleFormat(qint32 sampleRate, qint32 channels);
    void SetPcmFormat(qint32 sampleRate, qint32 channels, qint32 bitsPerSample);
    // Takes the output WAVE format from the fmt chunk of an existing WAV file.
    bool SetFormatFromFile(const QString& templateFile);
    void SetEncoderSettings(const NCTEncoderSettings& settings);
    // bitRate in kbit/s; no variable-bit-rate modes are offered, so vbrMode and
    // vbrQuality must be 0, and constantBitRate true.
    void SetWmaEncoding(qint32 sampleRate, qint32 channels, qint32 bitRate, qint32 vbrMode, qint32 vbrQuality,
                        bool constantBitRate);
    void SetOggQuality(qint32 quality);
    void SetMp3Encoding(qint32 sampleRate, qint32 bitRate, qint32 channels);
    bool WriteSamples(const NCTSampleBlock& samples);

    // Length of the file being read, or written so far.
    qint64 LengthSamples() const;
    // The length the headers of a file being read give, without counting;
    // good for progress, not for ranges.
    qint64 EstimatedLengthSamples() const;
    qint64 DurationMs() const;

private:
    bool fail(const QString& message);

    bool m_exactLength = false;
    bool m_writeInPlace = false;
    QString m_fileName;
    QString m_lastError;
    std::unique_ptr<nct::Decoder> m_decoder;
    std::unique_ptr<nct::Encoder> m_encoder;
    std::unique_ptr<nct::EncoderSetup> m_setup;
    qint32 m_inputRate = 0;
    qint32 m_inputChannels = 0;
    mutable qint64 m_readLength = -1;
    qint64 m_writtenFrames = 0;
    qint32 m_writtenRate = 0;
};
