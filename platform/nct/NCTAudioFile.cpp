#include "platform/nct/NCTAudioFile.h"

#include "platform/nct/NCTDecoder.h"
#include "platform/nct/NCTEncoder.h"
#include "platform/nct/NCTLengthCounter.h"

#include <cmath>

using nct::EncoderSetup;
using Coding = nct::EncoderSetup::Coding;

NCTAudioFile::NCTAudioFile()
    : m_setup(std::make_unique<EncoderSetup>())
{
}

// A file still being written is dropped, not completed.
NCTAudioFile::~NCTAudioFile() = default;

bool NCTAudioFile::fail(const QString& message)
{
    m_lastError = message;
    return false;
}

bool NCTAudioFile::isOpen() const { return (m_decoder && m_decoder->isOpen()) || (m_encoder && m_encoder->isOpen()); }

bool NCTAudioFile::OpenFile(const QString& fileName, int access, int share)
{
    Q_UNUSED(share);
    if (isOpen())
        return fail(QStringLiteral("A file is already open"));
    if (access != 0)
        return fail(QStringLiteral("Files can only be opened for reading"));
    auto decoder = std::make_unique<nct::Decoder>();
    QString error;
    if (!decoder->open(fileName, &error))
        return fail(error);
    m_decoder = std::move(decoder);
    m_fileName = fileName;
    m_readLength = -1;
    m_lastError.clear();
    return true;
}

qint32 NCTAudioFile::SampleRate() const { return m_decoder ? m_decoder->sampleRate() : m_writtenRate; }
qint32 NCTAudioFile::Channels() const
{
    return m_decoder ? m_decoder->channels() : (m_encoder ? m_inputChannels : 0);
}

NCTSampleBlock NCTAudioFile::ReadSamples(qint64 frames)
{
    if (!m_decoder)
        return {};
    return m_decoder->read(frames);
}

bool NCTAudioFile::SetPosition(qint64 position, int unit)
{
    if (!m_decoder)
        return fail(QStringLiteral("No file is open for reading"));
    if (unit == PositionMilliseconds)
        position = static_cast<qint64>(std::llround(static_cast<double>(position) * m_decoder->sampleRate() / 1000.0));
    else if (unit != PositionSamples)
        return fail(QStringLiteral("Unknown position unit"));
    if (!m_decoder->seek(position))
        return fail(QStringLiteral("The file could not be read again"));
    return true;
}

void NCTAudioFile::SetSampleFormat(qint32 sampleRate, qint32 channels)
{
    m_inputRate = sampleRate;
    m_inputChannels = channels;
}

void NCTAudioFile::SetPcmFormat(qint32 sampleRate, qint32 channels, qint32 bitsPerSample)
{
    *m_setup = EncoderSetup{};
    m_setup->coding = Coding::Pcm;
    m_setup->sampleRate = sampleRate;
    m_setup->channels = channels;
    m_setup->bitsPerSample = bitsPerSample;
}

bool NCTAudioFile::SetFormatFromFile(const QString& templateFile)
{
    nct::MediaInput input;
    QString error;
    if (!input.open(templateFile, &error))
        return fail(error);
    if (input.container() != nct::Container::Wave)
        return fail(QStringLiteral("The format template is not a WAV file"));
    const AVCodecParameters* parameters = input.stream()->codecpar;
    *m_setup = EncoderSetup{};
    m_setup->coding = Coding::WaveTemplate;
    m_setup->waveCodec = parameters->codec_id;
    m_setup->sampleRate = parameters->sample_rate;
    m_setup->channels = parameters->ch_layout.nb_channels;
    m_setup->blockAlign = parameters->block_align;
    return true;
}

void NCTAudioFile::SetEncoderSettings(const NCTEncoderSettings& settings)
{
    *m_setup = EncoderSetup{};
    m_setup->coding = Coding::Mp2;
    m_setup->sampleRate = settings.SampleRate;
    m_setup->channels = settings.Channels;
    m_setup->bitRateKbps = settings.BitRate;
}

void NCTAudioFile::SetWmaEncoding(qint32 sampleRate, qint32 channels, qint32 bitRate, qint32 vbrMode,
                                  qint32 vbrQuality, bool constantBitRate)
{
    *m_setup = EncoderSetup{};
    // Variable bit rate is not offered: such a request leaves no coding chosen,
    // so creating the file fails rather than silently writing something else.
    if (vbrMode != 0 || vbrQuality != 0 || !constantBitRate)
        return;
    m_setup->coding = Coding::Wma;
    m_setup->sampleRate = sampleRate;
    m_setup->channels = channels;
    m_setup->bitRateKbps = bitRate;
}

void NCTAudioFile::SetOggQuality(qint32 quality)
{
    *m_setup = EncoderSetup{};
    m_setup->coding = Coding::Vorbis;
    m_setup->quality = quality;
}

void NCTAudioFile::SetMp3Encoding(qint32 sampleRate, qint32 bitRate, qint32 channels)
{
    *m_setup = EncoderSetup{};
    m_setup->coding = Coding::Mp3;
    m_setup->sampleRate = sampleRate;
    m_setup->channels = channels;
    m_setup->bitRateKbps = bitRate;
}

bool NCTAudioFile::CreateFile(const QString& fileName, int typeCode)
{
    if (isOpen())
        return fail(QStringLiteral("A file is already open"));
    const Coding coding = m_setup->coding;
    const bool suits = (typeCode == CreateWave && (coding == Coding::Pcm || coding == Coding::WaveTemplate))
        || (typeCode == CreateMpegLayer2 && coding == Coding::Mp2)
        || (typeCode == CreateWindowsMedia && coding == Coding::Wma)
        || (typeCode == CreateOggVorbis && coding == Coding::Vorbis)
        || (typeCode == CreateMpegLayer3 && coding == Coding::Mp3);
    if (!suits)
        return fail(QStringLiteral("No output coding was chosen for this file type"));

    // Codings without a rate of their own (Ogg Vorbis) take the samples' format.
    EncoderSetup setup = *m_setup;
    setup.inPlace = m_writeInPlace;
    if (setup.sampleRate <= 0)
        setup.sampleRate = m_inputRate;
    if (setup.channels <= 0)
        setup.channels = m_inputChannels;
    const int inputRate = m_inputRate > 0 ? m_inputRate : setup.sampleRate;
    const int inputChannels = m_inputChannels > 0 ? m_inputChannels : setup.channels;
    if (setup.sampleRate <= 0 || setup.channels <= 0 || inputChannels <= 0)
        return fail(QStringLiteral("No sample format was given"));

    auto encoder = std::make_unique<nct::Encoder>();
    QString error;
    if (!encoder->open(fileName, setup, inputRate, inputChannels, &error))
        return fail(error);
    m_encoder = std::move(encoder);
    m_inputRate = inputRate;
    m_inputChannels = inputChannels;
    m_writtenRate = setup.sampleRate;
    m_writtenFrames = 0;
    m_lastError.clear();
    return true;
}

bool NCTAudioFile::WriteSamples(const NCTSampleBlock& samples)
{
    if (!m_encoder || !m_encoder->isOpen())
        return fail(QStringLiteral("No file is open for writing"));
    if (samples.size() % static_cast<size_t>(m_inputChannels) != 0)
        return fail(QStringLiteral("A block must hold whole frames"));
    if (!m_encoder->write(samples.data(), static_cast<qint64>(samples.size()) / m_inputChannels))
        return fail(m_encoder->lastError());
    m_writtenFrames = m_encoder->framesWritten();
    return true;
}

bool NCTAudioFile::Close()
{
    if (m_decoder) {
        m_decoder.reset();
        return true;
    }
    if (!m_encoder)
        return true;
    QString error;
    const bool ok = m_encoder->finish(&error);
    m_writtenFrames = m_encoder->framesWritten();
    m_encoder.reset();
    return ok || fail(error);
}

qint64 NCTAudioFile::LengthSamples() const
{
    if (m_decoder) {
        if (m_readLength < 0 && m_decoder->atEnd())
            m_readLength = m_decoder->position();
        if (m_readLength < 0 && m_exactLength)
            m_readLength = nct::countLength(m_fileName).frames;
        return m_readLength >= 0 ? m_readLength : EstimatedLengthSamples();
    }
    return m_encoder ? m_encoder->framesWritten() : m_writtenFrames;
}

qint64 NCTAudioFile::EstimatedLengthSamples() const
{
    return m_decoder ? std::max<qint64>(nct::headerLength(m_decoder->input()), 0) : 0;
}

qint64 NCTAudioFile::DurationMs() const
{
    const qint32 rate = SampleRate();
    if (rate <= 0)
        return 0;
    return static_cast<qint64>(std::llround(static_cast<double>(LengthSamples()) * 1000.0 / rate));
}
