#include "audio/cCopyAudioFileNCT.h"

#include "audio/GetAudioFileFormatNCT.h"
#include "audio/WaveTemplate.h"
#include "frame/GetTempFile.h"
#include "frame/ReportError.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "platform/nct/AudioScanBufferForMaxLevel.h"
#include "platform/nct/NCTAnalyserThread.h"
#include "platform/nct/NCTAnalyserThreads.h"
#include "platform/nct/NCTAudioFile.h"
#include "platform/nct/NCTAudioInfo.h"
#include "platform/nct/NCTAudioProcessor.h"
#include "platform/nct/NCTLoudnessMeter.h"
#include "platform/nct/NCTResampler.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr qint32 ImaAdpcmTag = 17;
constexpr qint32 ScanOptions = 24;

bool CheckSampleRate(qint32 rate)
{
    switch (rate) {
    case 8000:
    case 11025:
    case 22050:
    case 32000:
    case 33075:
    case 44100:
    case 48000:
    case 96000: return true;
    default: return false;
    }
}

bool CheckChannels(qint32 channels) { return channels == 1 || channels == 2; }

qint64 wholeFrames(qint64 samples, qint32 channels)
{
    return channels > 0 ? GeneralTools::RoundHalfEven(static_cast<double>(samples) / channels) : 0;
}

// The spool of a normalising copy holds the section as 16-bit samples at the
// destination's rate and channels: the gain must act on them before an 8-bit
// destination cuts them down, or the copy would differ from one that scanned
// the source first (an 8-bit destination's spool is twice its size; the
// alternative is decoding twice). Hours of audio make gigabytes, so the spool
// goes beside the destination, in a folder chosen to hold audio where the
// encoder writes its unfinished file too, rather than in the temporary
// folder, often a small system partition or memory. Qt makes it without a
// name where the file system allows, so even a killed copy leaves nothing
// there; otherwise the name is hidden, like the encoder's. A section that
// fits kSpoolInMemory waits in memory instead: written to disk, every
// normalised byte would be written twice.
QString spoolNameBeside(const QString& destination)
{
    const QFileInfo info(destination);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX.spool");
}

// About six minutes of 48 kHz stereo.
constexpr qint64 kSpoolInMemory = 64LL * 1024 * 1024;

std::unique_ptr<QIODevice> openSpool(const QString& destination, qint64 expectedBytes)
{
    std::unique_ptr<QIODevice> spool;
    if (expectedBytes > 0 && expectedBytes <= kSpoolInMemory)
        spool = std::make_unique<QBuffer>();
    else
        spool = std::make_unique<QTemporaryFile>(spoolNameBeside(destination));
    if (!spool->open(QIODevice::ReadWrite))
        spool.reset();
    return spool;
}

NCTSampleBlock blockFromBytes(const QByteArray& bytes)
{
    NCTSampleBlock block(static_cast<size_t>(bytes.size() / 2));
    std::memcpy(block.data(), bytes.constData(), block.size() * 2);
    return block;
}

} // namespace

// What one copy pass over a section needs to remember between blocks.
struct cCopyAudioFileNCT::CopyPass {
    qint64 start = 0;
    qint64 count = 0;
    qint64 retainFrom = -1; // frame of the section from which audio is kept back; -1 none
    qint32 sourceRate = 0;
    qint32 sourceChannels = 0;
    qint32 destinationRate = 0;
    qint32 destinationChannels = 0;
    qint64 progressFrames = 0; // what progress is measured against
    bool toTheEnd = false;     // count is open: the whole source, counted as it is decoded
    bool needsConversion = false;
    float peak = 0;  // of the source, in percent of full scale
    double gain = 0; // percent; stays 0 when normalising the peak finds only silence
    QIODevice* spool = nullptr; // the decoded section waiting for its gain; none when not normalising
    std::unique_ptr<NCTAnalyserThread> scanAnalysis; // measures the spool's loudness
    std::unique_ptr<NCTAnalyserThreads> scanAnyGain; // the analysers that take the spool's level
    LoudnessValues scanned;                          // what it measured
    double scannedSamplePeak = 0;                    // 1.0 being full scale
    std::unique_ptr<NCTAnalyserThread> remeasure;    // measures the gained blocks where the gain clipped
    qint64 retainSample = -1;   // sample of the spool where the retained part begins; -1 none
    bool topFound = true;
    bool inRetain = false;
    bool tailCollected = false;
    NCTSampleBlock tail;
};

cCopyAudioFileNCT::cCopyAudioFileNCT(QObject* parent)
    : QObject(parent)
    , m_processor(std::make_unique<NCTAudioProcessor>())
    , m_resampler(std::make_unique<NCTResampler>())
    , m_meter(std::make_unique<NCTLoudnessMeter>())
{
    m_mixVolume = 75.0f;
    m_processor->setDither(0);
    m_processor->setSoftClip(0);
    m_processor->setMixAverage(0);
}

cCopyAudioFileNCT::~cCopyAudioFileNCT()
{
    if (m_destination.File)
        AbandonDestAudioFile();
    m_hold.clear();
    m_heldFrames = 0;
}

QString cCopyAudioFileNCT::errorDescription(qint32 code)
{
    switch (code) {
    case NoProblem: return QStringLiteral("No problem");
    case InvalidSource: return QStringLiteral("The source file was invalid");
    case InvalidDestination: return QStringLiteral("The destination file was invalid");
    case InvalidSampleRate: return QStringLiteral("The sample rate was invalid");
    case InvalidChannels: return QStringLiteral("The number of channels was invalid");
    case SourceNotOpened: return QStringLiteral("The source file could not be opened");
    case InvalidStart: return QStringLiteral("The Start Position in the source file was invalid");
    case InvalidEnd: return QStringLiteral("The End Position in the source file was invalid");
    case StartAfterEnd: return QStringLiteral("The Start Position was after the End Position");
    case CodecNotLoaded: return QStringLiteral("Brindlepack could not load");
    case DestinationNotCreated: return QStringLiteral("The destination file could not be created");
    case NoDestinationFormat: return QStringLiteral("No Destination Audio Format was supplied");
    case InvalidFormatType: return QStringLiteral("The Destination Audio Format Type was invalid");
    case InvalidRetention: return QStringLiteral("The amount of audio to retain was invalid");
    default: return QStringLiteral("Unknown problem, the code was ") + QString::number(code);
    }
}

void cCopyAudioFileNCT::setNormalisePercentage(float percentage)
{
    m_normalisePercentage = static_cast<float>(GeneralTools::LimitDouble(percentage, 0.00001, 500));
}

void cCopyAudioFileNCT::setAutoTopThreshold(float threshold)
{
    m_autoTopThreshold = static_cast<float>(GeneralTools::LimitDouble(threshold, 0.00001, 100));
}

void cCopyAudioFileNCT::setMixVolume(float volume)
{
    m_mixVolume = static_cast<float>(GeneralTools::LimitDouble(volume, 0.00001, 100));
}

void cCopyAudioFileNCT::setTruePeakCeiling(double dbtp) { m_truePeakCeiling = std::min(dbtp, 0.0); }

float cCopyAudioFileNCT::DestinationDuration() const { return m_destination.File ? m_destination.Duration : 0.0f; }

// ---- files ----------------------------------------------------------------

bool cCopyAudioFileNCT::openSource(const QString& name, AudioFileRecord& record)
{
    if (!(FileTools::GetFileLength(name) > 0))
        return false;
    auto file = std::make_unique<NCTAudioFile>();
    file->setExactLength(true);
    if (!file->OpenFile(name, 0, 1))
        return false;
    // The length is left until a range needs it, or counted while copying.
    record.Format = GetAudioFileFormatFromHeaders(name);
    record.File = std::move(file);
    return true;
}

void cCopyAudioFileNCT::readLength(AudioFileRecord& record)
{
    record.Duration = static_cast<float>(record.File->DurationMs() / 1000.0);
    record.Length = record.File->LengthSamples();
}

bool cCopyAudioFileNCT::closeRecord(AudioFileRecord& record)
{
    if (!record.File)
        return true;
    readLength(record);
    const bool closed = record.File->Close();
    record.File.reset();
    return closed;
}

bool cCopyAudioFileNCT::prepareEncoder(NCTAudioFile& file, const AudioFormat& format, int* typeCode)
{
    switch (format.FormatType) {
    case aftWAV:
        *typeCode = NCTAudioFile::CreateWave;
        if (format.FormatTag != ImaAdpcmTag) {
            file.SetPcmFormat(format.SampleRate, format.Channels, format.BitsPerSample);
            return true;
        } else {
            // The component takes an ADPCM format from the fmt chunk of a
            // template file, which the compression manager's suggestion fills.
            const QString templateName = GetTempFile(QString(), QStringLiteral("WAV"));
            if (templateName.isEmpty()
                || !CreateAudioFile(templateName, format.SampleRate, static_cast<qint16>(format.Channels),
                                    static_cast<qint16>(ImaAdpcmTag))) {
                QFile::remove(templateName);
                return false;
            }
            const bool taken = file.SetFormatFromFile(templateName);
            QFile::remove(templateName);
            return taken;
        }
    case aftMP2: {
        NCTEncoderSettings settings;
        settings.BitRate = format.BitRate;
        settings.Channels = format.Channels;
        settings.SampleRate = format.SampleRate;
        file.SetEncoderSettings(settings);
        *typeCode = NCTAudioFile::CreateMpegLayer2;
        return true;
    }
    case aftWMA:
        file.SetWmaEncoding(format.SampleRate, format.Channels, format.BitRate, 0, 0, true);
        *typeCode = NCTAudioFile::CreateWindowsMedia;
        return true;
    case aftOgg:
        file.SetOggQuality(format.Quality);
        *typeCode = NCTAudioFile::CreateOggVorbis;
        return true;
    case aftMP3:
        file.SetMp3Encoding(format.SampleRate, format.BitRate, format.Channels);
        *typeCode = NCTAudioFile::CreateMpegLayer3;
        return true;
    default: *typeCode = NCTAudioFile::CreateNone; return true;
    }
}

qint32 cCopyAudioFileNCT::createDestination(const QString& name, std::shared_ptr<AudioFormat>& format)
{
    if (name.isEmpty())
        return InvalidDestination;
    if (!format)
        return NoDestinationFormat;
    if (format->FormatType <= 0)
        return InvalidFormatType;
    if (!CheckSampleRate(format->SampleRate))
        return InvalidSampleRate;
    if (!CheckChannels(format->Channels))
        return InvalidChannels;
    m_destination.Format = format;

    if (!m_writeInPlace && FileTools::GetFileLength(name) >= 0 && std::remove(QFile::encodeName(name).constData()) != 0) {
        ReportError(QStringLiteral("deleting the destination file ") + name, errno, false);
        return DestinationNotCreated;
    }

    auto file = std::make_unique<NCTAudioFile>();
    file->setExactLength(true);
    file->setWriteInPlace(m_writeInPlace);
    int typeCode = NCTAudioFile::CreateNone;
    if (!prepareEncoder(*file, *format, &typeCode))
        return DestinationNotCreated;
    file->SetSampleFormat(format->SampleRate, format->Channels);
    if (!file->CreateFile(name, typeCode))
        return DestinationNotCreated;
    m_destination.File = std::move(file);
    m_destination.Duration = 0;
    m_destination.Length = 0;
    m_destinationName = name;
    return NoProblem;
}

qint32 cCopyAudioFileNCT::CreateDestinationFile(const QString& DestFileName,
                                                std::shared_ptr<AudioFormat>& clsDestinationFormat)
{
    const qint32 result = createDestination(DestFileName, clsDestinationFormat);
    if (result == NoProblem)
        startAnalysis(false, true);
    return finishWith(result);
}

// The analysers see the destination's blocks from its first to its last.
void cCopyAudioFileNCT::startAnalysis(bool withMeter, bool withAnyGain)
{
    QList<NCTSampleAnalyser*> analysers = m_analysers;
    if (withAnyGain)
        analysers.append(m_anyGainAnalysers);
    if (withMeter)
        analysers.append(m_meter.get());
    m_written = std::make_unique<NCTAnalyserThreads>(analysers);
    // An analyser that cannot take this format keeps empty results; the copy goes on.
    m_written->start(m_destination.Format->SampleRate, m_destination.Format->Channels);
}

void cCopyAudioFileNCT::finishAnalysis()
{
    if (!m_written)
        return;
    m_written->finish();
    m_written.reset();
}

void cCopyAudioFileNCT::FinishDestAudioFile()
{
    if (m_heldFrames > 0 && m_destination.File) {
        m_destination.File->WriteSamples(m_hold);
        if (m_written)
            m_written->add(m_hold.data(), m_heldFrames);
        m_hold.clear();
        m_heldFrames = 0;
    }
    finishAnalysis();
    closeRecord(m_destination);
    m_destinationName.clear();
}

void cCopyAudioFileNCT::AbandonDestAudioFile()
{
    if (m_destinationName.isEmpty())
        return;
    const QString name = m_destinationName;
    // Dropping the unfinished file removes what was written so far; the
    // destination never appears under its own name.
    m_destination.File.reset();
    m_written.reset();
    m_hold.clear();
    m_heldFrames = 0;
    m_destinationName.clear();
    if (!m_writeInPlace && QFileInfo::exists(name))
        QFile::remove(name);
}

// ---- copying -------------------------------------------------------------

qint32 cCopyAudioFileNCT::AddFile(const QString& SourceFile, float* StartTime, float* EndTime, float RetainLastSecs)
{
    if (!QFileInfo(SourceFile).isFile())
        return finishWith(InvalidSource);
    if (!m_destination.File)
        return finishWith(InvalidDestination);
    AudioFileRecord source;
    if (!openSource(SourceFile, source))
        return finishWith(SourceNotOpened);
    m_sourceName = SourceFile;
    const qint32 result = copySection(source, StartTime, EndTime, RetainLastSecs, false);
    closeRecord(source);
    if (result != NoProblem)
        return finishWith(result);
    m_sourceName.clear();
    return finishWith(NoProblem);
}

qint32 cCopyAudioFileNCT::CopyAudioFile(const QString& SourceFile, const QString& DestFile,
                                        std::shared_ptr<AudioFormat>& clsDestinationFormat, float* StartTime,
                                        float* EndTime, bool CopyTags)
{
    if (!QFileInfo(SourceFile).isFile())
        return finishWith(InvalidSource);
    // Creating the destination deletes a file of its name: never the source.
    if (QFileInfo(DestFile).exists() && QFileInfo(DestFile).canonicalFilePath() == QFileInfo(SourceFile).canonicalFilePath())
        return finishWith(InvalidDestination);
    m_destinationLoudness.reset();
    AudioFileRecord source;
    if (!openSource(SourceFile, source))
        return finishWith(SourceNotOpened);
    m_sourceName = SourceFile;

    if (!clsDestinationFormat)
        clsDestinationFormat = source.Format;
    if (clsDestinationFormat && source.Format) {
        AudioFormat& format = *clsDestinationFormat;
        if (format.Channels < 1)
            format.Channels = source.Format->Channels;
        if (format.SampleRate < 1)
            format.SampleRate = source.Format->SampleRate;
        if (format.FormatType == aftWAV && format.FormatTag < 1)
            format.FormatTag = source.Format->FormatTag;
    }

    qint32 result = createDestination(DestFile, clsDestinationFormat);
    if (result != NoProblem) {
        closeRecord(source);
        m_sourceName.clear();
        return finishWith(result);
    }
    // A normalising copy measures, and shows the audio to the analysers that
    // take any level, in its scan, before the gain (see copyNormalised).
    startAnalysis(m_measureLoudness && !m_normalise, !m_normalise);
    result = copySection(source, StartTime, EndTime, 0, true);
    if (result != NoProblem) {
        closeRecord(source);
        m_sourceName.clear();
        AbandonDestAudioFile();
        m_destinationName.clear();
        return finishWith(result);
    }
    closeRecord(source);
    finishAnalysis();
    if (m_normalise)
        m_destinationLoudness = m_sectionLoudness;
    else if (m_measureLoudness)
        m_destinationLoudness = m_meter->result();
    // Completing the file can still fail (a full disk at the last write);
    // then there is no destination rather than a damaged one.
    if (!closeRecord(m_destination)) {
        m_destinationLoudness.reset();
        if (!m_writeInPlace)
            QFile::remove(m_destinationName);
        m_sourceName.clear();
        m_destinationName.clear();
        return finishWith(DestinationNotCreated);
    }
    if (CopyTags) {
        NCTAudioInfo info;
        if (info.OpenFile(SourceFile))
            info.WriteTags(m_destinationName);
    }
    m_sourceName.clear();
    m_destinationName.clear();
    return finishWith(NoProblem);
}

qint32 cCopyAudioFileNCT::copySection(AudioFileRecord& source, float* StartTime, float* EndTime, float RetainLastSecs,
                                      bool measure)
{
    m_sectionLoudness.reset();
    if (!source.File || !source.Format)
        return InvalidSource;
    if (!m_destination.File || !m_destination.Format)
        return InvalidDestination;

    CopyPass pass;
    pass.sourceRate = source.Format->SampleRate;
    pass.sourceChannels = source.Format->Channels;
    pass.destinationRate = m_destination.Format->SampleRate;
    pass.destinationChannels = m_destination.Format->Channels;
    const double rate = pass.sourceRate;

    const float startTime = StartTime ? *StartTime : -1.0f;
    const float endTime = EndTime ? *EndTime : -1.0f;
    // A whole source is decoded to its end and counted on the way (counting
    // Ogg or WMA beforehand would mean decoding it once more); only a range
    // or a retained tail needs the exact length first.
    pass.toTheEnd = startTime == -1.0f && endTime == -1.0f && !(RetainLastSecs > 0);
    if (!pass.toTheEnd)
        readLength(source);
    qint64 start = 0;
    if (startTime == -1.0f) {
        if (StartTime)
            *StartTime = 0;
    } else {
        if (startTime < 0 || startTime > source.Duration)
            return InvalidStart;
        start = GeneralTools::RoundHalfEven(startTime * rate);
    }
    qint64 end = source.Length;
    if (endTime == -1.0f) {
        if (EndTime && !pass.toTheEnd)
            *EndTime = source.Duration;
    } else {
        if (endTime < 0 || endTime > source.Duration)
            return InvalidEnd;
        end = GeneralTools::RoundHalfEven(endTime * rate);
    }
    if (start > end)
        return StartAfterEnd;
    pass.start = start;
    pass.count = pass.toTheEnd ? std::numeric_limits<qint64>::max() : end - start;
    pass.progressFrames = pass.toTheEnd ? source.File->EstimatedLengthSamples() : pass.count;
    if (RetainLastSecs > 0)
        pass.retainFrom = GeneralTools::RoundHalfEven(
            GeneralTools::LimitDouble(static_cast<double>(pass.count) - RetainLastSecs * rate, 0, pass.count));

    pass.needsConversion =
        pass.sourceRate != pass.destinationRate || pass.sourceChannels != pass.destinationChannels;
    m_processor->setChannels(pass.destinationChannels);
    m_processor->setSampleRate(pass.destinationRate);
    m_resampler->SetInputFormat(pass.sourceRate, pass.sourceChannels);
    m_resampler->SetOutputFormat(pass.destinationRate, pass.destinationChannels, 16);
    // Without a way to mix the source's channels into the destination's, the
    // blocks would pass through unconverted and make noise of the wrong length.
    if (!m_resampler->Initialise(1))
        return InvalidChannels;

    m_appliedGainDb = 0;
    m_gainCapped = false;
    const qint32 result = m_normalise ? copyNormalised(source, pass, measure) : decodeSection(source, pass);
    if (result == NoProblem && pass.toTheEnd) {
        readLength(source);
        if (EndTime)
            *EndTime = source.Duration;
    }
    return result;
}

// The gain depends on the level of the whole section, so the decoded section
// waits in a spool and is not decoded a second time. It is measured in the
// scan, beside the long decoding rather than holding up the short gain pass:
// a fixed gain that clips nothing moves every level by itself and leaves the
// range, so the scan's measurement moved by the gain is the destination's.
// A gain that clips has the gained blocks measured again.
qint32 cCopyAudioFileNCT::copyNormalised(AudioFileRecord& source, CopyPass& pass, bool measure)
{
    const double frames = static_cast<double>(pass.progressFrames) * pass.destinationRate / std::max(1, pass.sourceRate);
    const auto spool = openSpool(m_destinationName, static_cast<qint64>(frames) * pass.destinationChannels * 2);
    if (!spool)
        return DestinationNotCreated;
    pass.spool = spool.get();
    const bool measuring = measure && m_measureLoudness;
    if (normalisingLoudness() || measuring) {
        pass.scanAnalysis = std::make_unique<NCTAnalyserThread>(QList<NCTSampleAnalyser*>{m_meter.get()});
        pass.scanAnalysis->start(pass.destinationRate, pass.destinationChannels);
    }
    if (measure && !m_anyGainAnalysers.isEmpty()) { // a copy of its own: the scan is the destination's audio
        pass.scanAnyGain = std::make_unique<NCTAnalyserThreads>(m_anyGainAnalysers);
        pass.scanAnyGain->start(pass.destinationRate, pass.destinationChannels);
    }
    qint32 result = decodeSection(source, pass);
    const bool clips = pass.scannedSamplePeak * 32768 * pass.gain / 100 >= 32767.5;
    if (result == NoProblem && measuring && clips) {
        pass.remeasure = std::make_unique<NCTAnalyserThread>(QList<NCTSampleAnalyser*>{m_meter.get()});
        pass.remeasure->start(pass.destinationRate, pass.destinationChannels);
    }
    if (result == NoProblem)
        result = addFromSpool(pass);
    if (result != NoProblem)
        return result;
    if (pass.remeasure) {
        pass.remeasure->finish();
        m_sectionLoudness = m_meter->result();
    } else if (measure && pass.scanAnalysis && !clips) {
        m_sectionLoudness = pass.scanned.shiftedBy(m_appliedGainDb);
    }
    return NoProblem;
}

void cCopyAudioFileNCT::reportProgress(bool scanning, qint64 done, qint64 total, int* lastPercent)
{
    const int percent = total > 0 ? GeneralTools::LimitLong(GeneralTools::RoundHalfEven(static_cast<double>(done)
                                                                                        / static_cast<double>(total) * 100.0),
                                                            0, 100)
                                  : 0;
    if (percent == *lastPercent)
        return;
    *lastPercent = percent;
    if (scanning)
        emit ScanAudioProgress(static_cast<qint16>(percent));
    else
        emit AddAudioProgress(static_cast<qint16>(percent));
}

// The one pass over the source: reads the section in blocks of one second,
// measures the peak as the samples pass (when normalising), converts and tops
// each block, and hands it to the spool or, with no gain to wait for, straight
// to the destination. When normalising, this pass is the level scan.
qint32 cCopyAudioFileNCT::decodeSection(AudioFileRecord& source, CopyPass& pass)
{
    const bool scanning = pass.spool != nullptr;
    if (scanning)
        emit ScanAudioStart();
    else
        emit AddAudioStart();
    NCTAudioFile& file = *source.File;
    // Going back to the start of a compressed file means reading it again;
    // a file that has gone away meanwhile cannot be copied.
    if (!file.SetPosition(pass.start, NCTAudioFile::PositionSamples))
        return InvalidSource;
    qint64 done = 0;
    int lastPercent = -1;
    pass.topFound = !m_autoTop;
    pass.inRetain = false;
    while (done < pass.count) {
        reportProgress(scanning, done, pass.progressFrames, &lastPercent);
        qint64 frames = pass.sourceRate; // one second per block
        if (pass.retainFrom >= 0) {
            if (done >= pass.retainFrom) {
                pass.inRetain = true;
                frames = pass.count - done; // the retained part in one block
            } else if (done + frames >= pass.retainFrom) {
                frames = pass.retainFrom - done;
            }
        }
        frames = std::min(frames, pass.count - done);
        if (m_heldFrames > 0)
            frames = std::min(m_heldFrames, frames);
        if (frames <= 0)
            break;
        NCTSampleBlock block = file.ReadSamples(frames);
        if (block.empty())
            break;
        done += wholeFrames(static_cast<qint64>(block.size()), pass.sourceChannels);
        if (scanning && !normalisingLoudness()) {
            qint32 peakSample = 0;
            qint32 peakFrame = 0;
            pass.peak = std::max(pass.peak, AudioScanBufferForMaxLevel(block.data(), static_cast<qint32>(block.size() * 2),
                                                                       pass.sourceChannels, peakSample, peakFrame,
                                                                       ScanOptions));
        }
        if (pass.needsConversion)
            block = blockFromBytes(m_resampler->Convert(block));
        if (!passOn(block, pass))
            return DestinationNotCreated; // the destination could not be written
    }
    // The resampler holds the last few samples of its filter back until told
    // the stream has ended.
    if (pass.needsConversion) {
        NCTSampleBlock rest = blockFromBytes(m_resampler->Flush());
        if (!rest.empty() && !passOn(rest, pass))
            return DestinationNotCreated;
    }
    if (scanning) {
        chooseGain(pass);
        emit ScanAudioProgress(100);
        emit ScanAudioEnd();
        return NoProblem;
    }
    keepTail(pass);
    emit AddAudioProgress(100);
    emit AddAudioEnd();
    return NoProblem;
}

// The gain of a normalising copy, from the level scan.
void cCopyAudioFileNCT::chooseGain(CopyPass& pass)
{
    if (pass.scanAnyGain)
        pass.scanAnyGain->finish();
    if (pass.scanAnalysis) {
        pass.scanAnalysis->finish();
        pass.scanned = m_meter->result();
        pass.scannedSamplePeak = m_meter->samplePeak();
    }
    if (!normalisingLoudness()) {
        if (pass.peak > 0)
            pass.gain = m_normalisePercentage / pass.peak * 100.0f;
        // Silence stays silence, whatever its "gain" of 0.
        m_appliedGainDb = pass.gain > 0 ? 20.0 * std::log10(pass.gain / 100.0) : 0.0;
        return;
    }
    const LoudnessValues& measured = pass.scanned;
    double gainDb = 0; // silence has no loudness to bring anywhere
    if (measured.integrated) {
        gainDb = m_loudnessTarget - *measured.integrated;
        if (measured.truePeak && *measured.truePeak + gainDb > m_truePeakCeiling) {
            gainDb = m_truePeakCeiling - *measured.truePeak;
            m_gainCapped = true;
        }
    }
    m_appliedGainDb = gainDb;
    pass.gain = 100.0 * std::pow(10.0, gainDb / 20.0);
}

// Topping, then the block goes to the spool or on to the destination.
bool cCopyAudioFileNCT::passOn(NCTSampleBlock& block, CopyPass& pass)
{
    if (m_autoTop && !pass.topFound) {
        m_processor->TrimBelowLevel(block, m_processor->LevelFromPercent(m_autoTopThreshold), 0);
        if (block.size() >= 2)
            pass.topFound = true;
    }
    if (!pass.topFound)
        return true;
    if (!pass.spool)
        return processBlock(block, pass);
    if (pass.scanAnalysis)
        pass.scanAnalysis->add(block.data(), static_cast<qint64>(block.size()) / pass.destinationChannels);
    if (pass.scanAnyGain)
        pass.scanAnyGain->add(block.data(), static_cast<qint64>(block.size()) / pass.destinationChannels);
    if (pass.inRetain && pass.retainSample < 0)
        pass.retainSample = pass.spool->pos() / 2;
    const qint64 bytes = static_cast<qint64>(block.size()) * 2;
    return pass.spool->write(reinterpret_cast<const char*>(block.data()), bytes) == bytes;
}

// The gain pass: reads the decoded section back from the spool in blocks of
// one second of the destination and finishes it with the gain that the whole
// of it asked for.
qint32 cCopyAudioFileNCT::addFromSpool(CopyPass& pass)
{
    emit AddAudioStart();
    QIODevice& spool = *pass.spool;
    if (!spool.seek(0))
        return DestinationNotCreated;
    const qint64 total = spool.size() / 2; // samples
    const qint64 blockSamples = static_cast<qint64>(pass.destinationRate) * pass.destinationChannels;
    qint64 done = 0;
    int lastPercent = -1;
    pass.inRetain = false;
    NCTSampleBlock block;
    while (done < total) {
        reportProgress(false, done, total, &lastPercent);
        qint64 samples = std::min(blockSamples, total - done);
        if (pass.retainSample >= 0 && done < pass.retainSample)
            samples = std::min(samples, pass.retainSample - done);
        pass.inRetain = pass.retainSample >= 0 && done >= pass.retainSample;
        block.resize(static_cast<size_t>(samples));
        if (spool.read(reinterpret_cast<char*>(block.data()), samples * 2) != samples * 2)
            return DestinationNotCreated;
        done += samples;
        if (!processBlock(block, pass))
            return DestinationNotCreated;
    }
    keepTail(pass);
    emit AddAudioProgress(100);
    emit AddAudioEnd();
    return NoProblem;
}

// Gain and overlap for one block in the destination's format, then either
// writing it or keeping it back as part of the retained tail.
bool cCopyAudioFileNCT::processBlock(NCTSampleBlock& block, CopyPass& pass)
{
    if (m_normalise)
        m_processor->ApplyGain(block, pass.gain);
    const qint32 channels = pass.destinationChannels;
    const qint64 frames = wholeFrames(static_cast<qint64>(block.size()), channels);
    if (m_heldFrames > 0) {
        block = m_processor->Mix(block, m_mixVolume, m_hold, m_mixVolume);
        if (frames >= m_heldFrames) {
            m_hold.clear();
            m_heldFrames = 0;
        } else {
            m_hold.erase(m_hold.begin(), m_hold.begin() + static_cast<std::ptrdiff_t>(block.size()));
            m_heldFrames = wholeFrames(static_cast<qint64>(m_hold.size()), channels);
        }
    }
    if (pass.inRetain) {
        if (!pass.tailCollected)
            pass.tail = m_processor->Copy(block);
        else
            pass.tail.insert(pass.tail.end(), block.begin(), block.end());
        pass.tailCollected = true;
        return true;
    }
    if (!m_destination.File->WriteSamples(block))
        return false;
    if (m_written)
        m_written->add(block.data(), frames);
    if (pass.remeasure)
        pass.remeasure->add(block.data(), frames);
    m_destination.Length += frames;
    m_destination.Duration += static_cast<float>(frames) / static_cast<float>(pass.destinationRate);
    return true;
}

void cCopyAudioFileNCT::keepTail(CopyPass& pass)
{
    if (!pass.tailCollected)
        return; // the hold keeps whatever this source did not use up
    pass.tail.insert(pass.tail.end(), m_hold.begin(), m_hold.end());
    m_hold = std::move(pass.tail);
    m_heldFrames = wholeFrames(static_cast<qint64>(m_hold.size()), pass.destinationChannels);
}
