#pragma once
#include "frame/library/AudioFormat.h"
#include "frame/library/LoudnessValues.h"
#include "platform/nct/NCTSampleBlock.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class NCTAnalyserThread;
class NCTAnalyserThreads;
class NCTAudioFile;
class NCTAudioProcessor;
class NCTLoudnessMeter;
class NCTResampler;
class NCTSampleAnalyser;

// Produces the audio file of a cart: copies audio from one or more sources
// into one destination, converting sample rate, channels and coding on the
// way, optionally normalising the level and trimming leading silence, and
// overlapping the end of one source with the start of the next.
//
// Single copy: set the properties, call CopyAudioFile. Joined copy:
// CreateDestinationFile, AddFile per source, then FinishDestAudioFile (or
// AbandonDestAudioFile). Every operation answers with a code (0 = success)
// that LastErrorCode keeps and GetLastErrorDescription puts into words.
// A destination is written under a temporary name and only appears under its
// own name once it is complete.
//
// A single copy measures the loudness of what it writes as it writes it (on
// a second thread), and analysers added with addAnalyser see every block the
// destination gets, in the destination's format. Normalising either sets the
// peak to a percentage of full scale or, in loudness mode, applies one fixed
// gain that brings the integrated loudness to a target unless the true peak
// would pass a ceiling; then the ceiling decides the gain. Neither limits nor
// compresses.
class cCopyAudioFileNCT : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Description READ Description WRITE setDescription)
    Q_PROPERTY(bool Normalise READ Normalise WRITE setNormalise)
    Q_PROPERTY(float NormalisePercentage READ NormalisePercentage WRITE setNormalisePercentage)
    Q_PROPERTY(bool AutoTop READ AutoTop WRITE setAutoTop)
    Q_PROPERTY(float AutoTopThreshold READ AutoTopThreshold WRITE setAutoTopThreshold)
    Q_PROPERTY(float MixVolume READ MixVolume WRITE setMixVolume)

public:
    enum ErrorCode : qint32 {
        NoProblem = 0,
        InvalidSource = -1,
        InvalidDestination = -2,
        InvalidSampleRate = -3,
        InvalidChannels = -4,
        SourceNotOpened = -5,
        InvalidStart = -6,
        InvalidEnd = -7,
        StartAfterEnd = -8,
        CodecNotLoaded = -9,
        DestinationNotCreated = -10,
        NoDestinationFormat = -11,
        InvalidFormatType = -12,
        InvalidRetention = -13,
    };

    enum class NormaliseMode { Peak, Loudness };

    explicit cCopyAudioFileNCT(QObject* parent = nullptr);
    ~cCopyAudioFileNCT() override;

    // Times are seconds; -1 (or no variable) means from the start / to the
    // end, and the variable then receives 0 / the source's duration.
    qint32 CreateDestinationFile(const QString& DestFileName, std::shared_ptr<AudioFormat>& clsDestinationFormat);
    qint32 AddFile(const QString& SourceFile, float* StartTime = nullptr, float* EndTime = nullptr,
                   float RetainLastSecs = 0);
    void FinishDestAudioFile();
    void AbandonDestAudioFile();
    // With no destination format the variable receives the source's format,
    // and gaps in a given one (channels, rate, WAVE format tag) are filled
    // from the source.
    qint32 CopyAudioFile(const QString& SourceFile, const QString& DestFile,
                         std::shared_ptr<AudioFormat>& clsDestinationFormat, float* StartTime = nullptr,
                         float* EndTime = nullptr, bool CopyTags = false);

    QString GetLastErrorDescription() const { return errorDescription(m_lastError); }
    static QString errorDescription(qint32 code);

    QString SourceFilename() const { return m_sourceName; }
    QString DestFileName() const { return m_destinationName; }
    QString Description() const { return m_description; }
    void setDescription(const QString& description) { m_description = description; }
    bool Normalise() const { return m_normalise; }
    void setNormalise(bool normalise) { m_normalise = normalise; }
    // The destination is a file its owner made and holds (the store's
    // incoming file): it is filled where it is, never removed or replaced,
    // and on a failure its owner removes it.
    void setWriteInPlace(bool inPlace) { m_writeInPlace = inPlace; }
    float NormalisePercentage() const { return m_normalisePercentage; }
    void setNormalisePercentage(float percentage);
    bool AutoTop() const { return m_autoTop; }
    void setAutoTop(bool autoTop) { m_autoTop = autoTop; }
    float AutoTopThreshold() const { return m_autoTopThreshold; }
    void setAutoTopThreshold(float threshold);
    float MixVolume() const { return m_mixVolume; }
    void setMixVolume(float volume);
    qint32 LastErrorCode() const { return m_lastError; }
    float DestinationDuration() const;

    void setNormaliseMode(NormaliseMode mode) { m_normaliseMode = mode; }
    void setLoudnessTarget(double lufs) { m_loudnessTarget = lufs; }
    // At most 0 dBTP: a gain the ceiling allows then never clips a sample.
    void setTruePeakCeiling(double dbtp);
    // On by default; off only to see what measuring costs.
    void setMeasureLoudness(bool measure) { m_measureLoudness = measure; }
    // What an analyser needs to see: the written blocks as they are, or the
    // audio at any level. A normalising copy shows the second kind its
    // decoded audio while it scans for the gain (a fixed gain changes no
    // fingerprint, and what it clips is within what copies differ by), so
    // that analysing runs beside decoding, not after it.
    enum class AnalyserLevels { Written, AnyGain };
    // The analyser is the caller's and must outlive the copies it sees. It
    // is started with each destination and finished when the destination is
    // complete (or, seeing any level, when a normalising copy's scan ends);
    // a copy that fails leaves it unfinished, its results void. Each
    // analyser runs on a thread of its own.
    void addAnalyser(NCTSampleAnalyser* analyser, AnalyserLevels levels = AnalyserLevels::Written)
    {
        (levels == AnalyserLevels::Written ? m_analysers : m_anyGainAnalysers).append(analyser);
    }
    // The loudness of the last destination CopyAudioFile completed; empty for
    // one joined by AddFile, whose sections are gained and overlapped each
    // on their own, and when measuring is off (a copy normalised to a
    // loudness measures all the same, unless its gain clipped).
    std::optional<LoudnessValues> DestinationLoudness() const { return m_destinationLoudness; }
    // The gain normalising applied to the last section (0 without one).
    double AppliedGainDb() const { return m_appliedGainDb; }
    // Whether the true-peak ceiling held the loudness gain below its target.
    bool GainCappedByPeak() const { return m_gainCapped; }

signals:
    void ScanAudioStart();
    void ScanAudioProgress(qint16 percent);
    void ScanAudioEnd();
    void AddAudioStart();
    void AddAudioProgress(qint16 percent);
    void AddAudioEnd();

private:
    struct AudioFileRecord {
        std::unique_ptr<NCTAudioFile> File;
        std::shared_ptr<AudioFormat> Format;
        float Duration = 0; // seconds
        qint64 Length = 0;  // frames
    };
    // State of one pass that copies blocks into the destination.
    struct CopyPass;

    bool openSource(const QString& name, AudioFileRecord& record);
    void readLength(AudioFileRecord& record);
    bool closeRecord(AudioFileRecord& record);
    qint32 createDestination(const QString& name, std::shared_ptr<AudioFormat>& format);
    bool prepareEncoder(NCTAudioFile& file, const AudioFormat& format, int* typeCode);
    // measure: the section's loudness is wanted (m_sectionLoudness).
    qint32 copySection(AudioFileRecord& source, float* StartTime, float* EndTime, float RetainLastSecs, bool measure);
    qint32 copyNormalised(AudioFileRecord& source, CopyPass& pass, bool measure);
    qint32 decodeSection(AudioFileRecord& source, CopyPass& pass);
    void chooseGain(CopyPass& pass);
    void startAnalysis(bool withMeter, bool withAnyGain);
    void finishAnalysis();
    bool passOn(NCTSampleBlock& block, CopyPass& pass);
    qint32 addFromSpool(CopyPass& pass);
    bool processBlock(NCTSampleBlock& block, CopyPass& pass);
    void reportProgress(bool scanning, qint64 done, qint64 total, int* lastPercent);
    void keepTail(CopyPass& pass);
    qint32 finishWith(qint32 code) { return m_lastError = code; }
    bool normalisingLoudness() const { return m_normalise && m_normaliseMode == NormaliseMode::Loudness; }

    QString m_sourceName;
    QString m_destinationName;
    QString m_description;
    bool m_autoTop = false;
    float m_autoTopThreshold = 0;
    bool m_normalise = false;
    bool m_writeInPlace = false;
    float m_normalisePercentage = 0;
    float m_mixVolume = 75.0f;
    NCTSampleBlock m_hold; // destination-format audio kept back for the next source
    qint64 m_heldFrames = 0;
    AudioFileRecord m_destination;
    std::unique_ptr<NCTAudioProcessor> m_processor;
    std::unique_ptr<NCTResampler> m_resampler;
    qint32 m_lastError = 0;

    NormaliseMode m_normaliseMode = NormaliseMode::Peak;
    double m_loudnessTarget = -23.0;
    double m_truePeakCeiling = -1.0;
    bool m_measureLoudness = true;
    QList<NCTSampleAnalyser*> m_analysers;
    QList<NCTSampleAnalyser*> m_anyGainAnalysers;
    std::unique_ptr<NCTLoudnessMeter> m_meter;
    std::unique_ptr<NCTAnalyserThreads> m_written; // shows the written blocks to the analysers
    std::optional<LoudnessValues> m_sectionLoudness; // of the last normalised section, as written
    std::optional<LoudnessValues> m_destinationLoudness;
    double m_appliedGainDb = 0;
    bool m_gainCapped = false;
};
