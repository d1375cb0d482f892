// The copy job end to end: every destination coding decoded back by the
// ffmpeg tools, level normalising, topping, overlapping joins, ranges,
// refusals and damaged sources.

#include "audio/GetAudioFileFormatNCT.h"
#include "audio/cCopyAudioFileNCT.h"
#include "platform/nct/AudioScanBufferForMaxLevel.h"
#include "platform/nct/NCTAudioFile.h"
#include "platform/nct/NCTAudioInfo.h"
#include "platform/nct/NCTAudioProcessor.h"
#include "platform/nct/NCTLoudnessMeter.h"
#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/RiffBytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>

namespace {

// Writes interleaved 16-bit samples as a PCM WAV file.
bool writeWav(const QString& path, int rate, int channels, const NCTSampleBlock& samples)
{
    QByteArray data(qsizetype(samples.size() * 2), '\0');
    qToLittleEndian<qint16>(samples.data(), qsizetype(samples.size()), data.data());
    using namespace RiffBytes;
    const QByteArray fmt = chunk("fmt ", pcmFormat(quint16(channels), quint32(rate), 16));
    return !TestEnvironment::writeFile(path, riff("WAVE", fmt + chunk("data", data))).isEmpty();
}

NCTSampleBlock tone(int rate, int channels, double seconds, double amplitude)
{
    NCTSampleBlock samples;
    const qint64 frames = std::llround(seconds * rate);
    for (qint64 i = 0; i < frames; ++i) {
        const auto value = static_cast<qint16>(std::lround(amplitude * 32767 * std::sin(2 * M_PI * 440.0 * i / rate)));
        for (int c = 0; c < channels; ++c)
            samples.push_back(value);
    }
    return samples;
}

NCTSampleBlock decodeAll(const QString& path)
{
    NCTAudioFile file;
    file.setExactLength(true);
    NCTSampleBlock all;
    if (!file.OpenFile(path))
        return all;
    for (NCTSampleBlock block = file.ReadSamples(48000); !block.empty(); block = file.ReadSamples(48000))
        all.insert(all.end(), block.begin(), block.end());
    return all;
}

float peakPercent(const NCTSampleBlock& samples, qint64 fromFrame, qint64 toFrame, int channels)
{
    qint32 a = 0, b = 0;
    const qint64 count = (toFrame - fromFrame) * channels;
    return AudioScanBufferForMaxLevel(samples.data() + fromFrame * channels, static_cast<qint32>(count * 2), channels,
                                      a, b, 24);
}

std::shared_ptr<AudioFormat> format(const QString& settings)
{
    auto result = std::make_shared<AudioFormat>();
    if (!result->setSettingsText(settings))
        return nullptr;
    return result;
}

// Keeps whatever the copy shows it.
struct RecordingAnalyser : NCTSampleAnalyser {
    qint32 rate = 0;
    qint32 channels = 0;
    NCTSampleBlock samples;
    bool finished = false;
    bool start(qint32 sampleRate, qint32 channelCount) override
    {
        rate = sampleRate;
        channels = channelCount;
        return true;
    }
    void add(const qint16* block, qint64 frames) override { samples.insert(samples.end(), block, block + frames * channels); }
    void finish() override { finished = true; }
};

// Records the job's events in the order they come.
struct EventLog {
    QStringList events;
    void attach(cCopyAudioFileNCT& job)
    {
        QObject::connect(&job, &cCopyAudioFileNCT::ScanAudioStart, [this] { events << "ScanStart"; });
        QObject::connect(&job, &cCopyAudioFileNCT::ScanAudioProgress,
                         [this](qint16 p) { events << QStringLiteral("Scan%1").arg(p); });
        QObject::connect(&job, &cCopyAudioFileNCT::ScanAudioEnd, [this] { events << "ScanEnd"; });
        QObject::connect(&job, &cCopyAudioFileNCT::AddAudioStart, [this] { events << "AddStart"; });
        QObject::connect(&job, &cCopyAudioFileNCT::AddAudioProgress,
                         [this](qint16 p) { events << QStringLiteral("Add%1").arg(p); });
        QObject::connect(&job, &cCopyAudioFileNCT::AddAudioEnd, [this] { events << "AddEnd"; });
    }
};

} // namespace

class TestCopyAudioFileNCT : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Unfinished destinations and spools live beside the destination, hidden.
    QString hiddenFiles() const
    {
        return QDir(m_dir.path()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden).join(' ');
    }

    // Nothing of a failed or abandoned copy may stay in the folder.
    void verifyNoLeftovers(const QString& destination)
    {
        QVERIFY2(!QFileInfo::exists(destination), qPrintable(destination));
        QVERIFY2(hiddenFiles().isEmpty(), qPrintable(hiddenFiles()));
    }

private slots:
    void initTestCase()
    {
        if (!fixtures::toolsPresent())
            QSKIP("the ffmpeg tools are not installed");
        QVERIFY(m_dir.isValid());
        QVERIFY(writeWav(path("tone44s.wav"), 44100, 2, tone(44100, 2, 3.0, 0.5)));
    }

    void destinationCodings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("frameSize");
        QTest::addColumn<QString>("extension");
        QTest::newRow("PCM 8") << "FormatType=2 SampleRate=22050 Channels=1 BitsPerSample=8" << "pcm_u8" << 2 << "wav";
        QTest::newRow("PCM 16") << "FormatType=2 SampleRate=48000 Channels=2 BitsPerSample=16" << "pcm_s16le" << 2
                                << "wav";
        QTest::newRow("PCM 24") << "FormatType=2 SampleRate=96000 Channels=2 BitsPerSample=24" << "pcm_s24le" << 2
                                << "wav";
        QTest::newRow("IMA ADPCM") << "FormatType=2 FormatTag=17 SampleRate=44100 Channels=2" << "adpcm_ima_wav" << 2048
                                   << "wav";
        QTest::newRow("MPEG Layer 2") << "FormatType=4 SampleRate=48000 Channels=2 BitRate=192" << "mp2" << 1152
                                      << "mp2";
        // The WMA decoder swallows its first frame's overlap, so WMA alone may
        // come back shorter than its source.
        QTest::newRow("WMA") << "FormatType=8 SampleRate=44100 Channels=2 BitRate=128" << "wmav2" << -2048 << "wma";
        // Ogg and LAME-tagged MP3 record the encoder's delay and padding: exact.
        QTest::newRow("Ogg Vorbis") << "FormatType=16 SampleRate=44100 Channels=1 Quality=4" << "vorbis" << 0 << "ogg";
        QTest::newRow("MPEG Layer 3") << "FormatType=32 SampleRate=32000 Channels=2 BitRate=128" << "mp3" << 0
                                      << "mp3";
    }

    // Each coding decodes back, by the ffmpeg tool, to its codec, rate and
    // channels and to the source's length within one codec frame (frameSize);
    // the last, partial frame is never lost (only a negative frameSize allows
    // coming back short).
    void destinationCodings()
    {
        QFETCH(QString, settings);
        QFETCH(QString, codec);
        QFETCH(int, frameSize);
        QFETCH(QString, extension);
        const QString destination = path(QStringLiteral("out-%1.%2").arg(QTest::currentDataTag()).arg(extension));
        std::shared_ptr<AudioFormat> target = format(settings);
        QVERIFY(target);
        cCopyAudioFileNCT job;
        QCOMPARE(job.CopyAudioFile(path("tone44s.wav"), destination, target), 0);
        QCOMPARE(job.LastErrorCode(), 0);
        QCOMPARE(job.DestFileName(), QString());
        QCOMPARE(job.SourceFilename(), QString());

        const fixtures::ProbeReport probe = fixtures::ffprobe(destination);
        QVERIFY(probe.ok);
        QCOMPARE(probe.stream.value("codec_name").toString(), codec);
        QCOMPARE(probe.stream.value("sample_rate").toString().toInt(), target->SampleRate);
        QCOMPARE(probe.stream.value("channels").toInt(), target->Channels);
        const qint64 decoded = fixtures::toolDecodedFrames(destination, target->Channels);
        const qint64 expected = 3 * target->SampleRate;
        const bool within = frameSize >= 0 ? decoded >= expected - 2 && decoded <= expected + frameSize
                                           : qAbs(decoded - expected) <= -frameSize;
        QVERIFY2(within, qPrintable(QStringLiteral("%1 frames, expected %2").arg(decoded).arg(expected)));

        qint64 length = 0;
        const std::unique_ptr<AudioFormat> written = GetAudioFileFormatNCT(destination, length);
        QVERIFY(written);
        QCOMPARE(written->FormatType, target->FormatType);
        QCOMPARE(length, decoded);
        QCOMPARE(QFileInfo(destination).permissions() & QFileDevice::ReadOther, QFileDevice::ReadOther);
    }

    void normalising_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("codecArguments");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<double>("amplitude");
        QTest::newRow("same format") << 44100 << 2 << "" << "FormatType=2 SampleRate=44100 Channels=2" << 0.5;
        QTest::newRow("mono to stereo") << 22050 << 1 << "" << "FormatType=2 SampleRate=22050 Channels=2" << 0.5;
        // Also resampled, 44.1 to 48 kHz.
        QTest::newRow("from MP3") << 44100 << 2 << "-c:a libmp3lame -b:a 192k"
                                  << "FormatType=2 SampleRate=48000 Channels=2" << 0.5;
        // Nothing to measure: the gain stays 0 and the copy stays silent.
        QTest::newRow("silence") << 44100 << 2 << "" << "FormatType=2 SampleRate=44100 Channels=2" << 0.0;
    }

    // A tone at 50 % peak normalised to 75 % reads 75 % after the copy, and
    // the events come in their order with rising percentages.
    void normalising()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(QString, codecArguments);
        QFETCH(QString, settings);
        QFETCH(double, amplitude);
        TestWav half;
        half.sampleRate = rate;
        half.channels = channels;
        half.seconds = 4.5;
        half.amplitude = amplitude;
        const QString source = fixtures::makeAudio(
            path(QStringLiteral("half-%1.%2").arg(QTest::currentDataTag(), codecArguments.isEmpty() ? "wav" : "mp3")),
            half, codecArguments.isEmpty() ? QStringList() : codecArguments.split(' '));
        QVERIFY(!source.isEmpty());
        const QString destination = path(QStringLiteral("normalised-%1.wav").arg(QTest::currentDataTag()));
        std::shared_ptr<AudioFormat> target = format(settings);

        cCopyAudioFileNCT job;
        EventLog log;
        log.attach(job);
        job.setNormalise(true);
        job.setNormalisePercentage(75);
        QCOMPARE(job.CopyAudioFile(source, destination, target), 0);

        const NCTSampleBlock out = decodeAll(destination);
        const qint64 frames = static_cast<qint64>(out.size()) / target->Channels;
        QVERIFY(qAbs(frames - qint64(4.5 * target->SampleRate)) <= 2);
        const float peak = peakPercent(out, 0, frames, target->Channels);
        QVERIFY2(qAbs(peak - (amplitude > 0 ? 75.0f : 0.0f)) <= 0.5f, qPrintable(QString::number(peak)));

        const QStringList& events = log.events;
        QCOMPARE(events.first(), QStringLiteral("ScanStart"));
        QCOMPARE(events.at(1), QStringLiteral("Scan0"));
        const qsizetype scanEnd = events.indexOf("ScanEnd");
        QCOMPARE(events.at(scanEnd - 1), QStringLiteral("Scan100"));
        QCOMPARE(events.at(scanEnd + 1), QStringLiteral("AddStart"));
        QCOMPARE(events.at(events.size() - 2), QStringLiteral("Add100"));
        QCOMPARE(events.last(), QStringLiteral("AddEnd"));
        int last = -1;
        for (qsizetype i = scanEnd + 2; i < events.size() - 1; ++i) {
            const int percent = events.at(i).mid(3).toInt();
            QVERIFY(percent > last || percent == 100);
            last = percent;
        }
    }

    // Decoding once and applying the gain from a spool must give exactly
    // what scanning the source, then copying it with the gain gave.
    void normalisedAsInTwoPasses()
    {
        TestWav half;
        half.seconds = 2.5;
        const QString source = fixtures::makeAudio(path("two-pass.mp3"), half, {"-c:a", "libmp3lame"});
        QVERIFY(!source.isEmpty());
        std::shared_ptr<AudioFormat> target = format("FormatType=2 SampleRate=48000 Channels=2 BitsPerSample=16");
        cCopyAudioFileNCT job;
        QCOMPARE(job.CopyAudioFile(source, path("two-pass-plain.wav"), target), 0);
        job.setNormalise(true);
        job.setNormalisePercentage(75);
        QCOMPARE(job.CopyAudioFile(source, path("two-pass-normalised.wav"), target), 0);

        const NCTSampleBlock decoded = decodeAll(source);
        const float peak = peakPercent(decoded, 0, qint64(decoded.size()) / 2, 2);
        NCTSampleBlock expected = decodeAll(path("two-pass-plain.wav"));
        NCTAudioProcessor processor;
        processor.ApplyGain(expected, 75.0f / peak * 100.0f);
        QVERIFY(expected == decodeAll(path("two-pass-normalised.wav")));
    }

    void channelMixes_data()
    {
        QTest::addColumn<int>("sourceChannels");
        QTest::addColumn<int>("channels");
        for (const int count : {3, 6, 9, 12, 32})
            for (const int channels : {1, 2})
                QTest::addRow("%d to %d", count, channels) << count << channels;
    }

    // A poly-WAV (field recorders write up to 32 tracks) becomes one second of
    // mono or stereo, whichever track the sound is on.
    void channelMixes()
    {
        QFETCH(int, sourceChannels);
        QFETCH(int, channels);
        const NCTSampleBlock one = tone(44100, 1, 1.0, 0.5);
        for (int track = 0; track < sourceChannels; ++track) {
            NCTSampleBlock samples(one.size() * size_t(sourceChannels), 0);
            for (size_t i = 0; i < one.size(); ++i)
                samples[i * size_t(sourceChannels) + size_t(track)] = one[i];
            const QString source = path(QStringLiteral("poly-%1.wav").arg(sourceChannels));
            QVERIFY(writeWav(source, 44100, sourceChannels, samples));
            std::shared_ptr<AudioFormat> target = format(QStringLiteral("FormatType=2 SampleRate=44100 Channels=%1").arg(channels));
            cCopyAudioFileNCT job;
            const QString destination = path("poly-out.wav");
            QCOMPARE(job.CopyAudioFile(source, destination, target), 0);
            const NCTSampleBlock out = decodeAll(destination);
            QCOMPARE(qint64(out.size()) / channels, qint64(44100));
            QVERIFY2(peakPercent(out, 0, 44100, channels) > 1.0f, qPrintable(QString::number(track)));
        }
    }

    void topping_data()
    {
        QTest::addColumn<double>("silenceSeconds");
        QTest::addColumn<double>("toneSeconds");
        QTest::addColumn<qint64>("expectedFrames");
        // The tone's first sample is 0 and its second already above 1 %.
        QTest::newRow("silence then tone") << 1.25 << 2.0 << qint64(88199);
        QTest::newRow("tone from the start") << 0.0 << 2.0 << qint64(88199);
        QTest::newRow("silence only") << 2.5 << 0.0 << qint64(0);
    }

    void topping()
    {
        QFETCH(double, silenceSeconds);
        QFETCH(double, toneSeconds);
        QFETCH(qint64, expectedFrames);
        NCTSampleBlock samples(static_cast<size_t>(std::llround(silenceSeconds * 44100)) * 2, 0);
        const NCTSampleBlock music = tone(44100, 2, toneSeconds, 0.5);
        samples.insert(samples.end(), music.begin(), music.end());
        const QString source = path(QStringLiteral("top-%1.wav").arg(QTest::currentDataTag()));
        QVERIFY(writeWav(source, 44100, 2, samples));
        const QString destination = path(QStringLiteral("topped-%1.wav").arg(QTest::currentDataTag()));
        std::shared_ptr<AudioFormat> target = format("FormatType=2 SampleRate=44100 Channels=2");

        cCopyAudioFileNCT job;
        job.setAutoTop(true);
        job.setAutoTopThreshold(1.0f);
        QCOMPARE(job.CopyAudioFile(source, destination, target), 0);
        const NCTSampleBlock out = decodeAll(destination);
        QCOMPARE(qint64(out.size()) / 2, expectedFrames);
        if (expectedFrames > 0)
            QVERIFY(std::equal(out.begin(), out.end(), music.end() - static_cast<std::ptrdiff_t>(out.size())));
    }

    // The last two seconds of the first source are held back and mixed, at the
    // mix volume on both sides, into the start of the second.
    void retainedOverlap()
    {
        QVERIFY(writeWav(path("first.wav"), 44100, 2, tone(44100, 2, 10.0, 0.4)));
        QVERIFY(writeWav(path("second.wav"), 44100, 2, tone(44100, 2, 10.0, 0.2)));
        std::shared_ptr<AudioFormat> target = format("FormatType=2 SampleRate=44100 Channels=2");
        const QString destination = path("joined.wav");

        cCopyAudioFileNCT job;
        QCOMPARE(job.MixVolume(), 75.0f);
        QCOMPARE(job.CreateDestinationFile(destination, target), 0);
        QCOMPARE(job.DestFileName(), destination);
        float start = -1, end = -1;
        QCOMPARE(job.AddFile(path("first.wav"), &start, &end, 2.0f), 0);
        QCOMPARE(start, 0.0f);
        QCOMPARE(end, 10.0f);
        QCOMPARE(job.DestinationDuration(), 8.0f);
        QVERIFY(!QFileInfo::exists(destination)); // not there before it is finished
        QCOMPARE(job.AddFile(path("second.wav")), 0);
        job.FinishDestAudioFile();
        QCOMPARE(job.DestFileName(), QString());
        QCOMPARE(job.DestinationDuration(), 0.0f);

        const NCTSampleBlock out = decodeAll(destination);
        QCOMPARE(qint64(out.size()) / 2, qint64(18 * 44100));
        QVERIFY(qAbs(peakPercent(out, 0, 352800, 2) - 40.0f) < 0.1f);
        QVERIFY(qAbs(peakPercent(out, 352800, 441000, 2) - 45.0f) < 0.1f); // (40 + 20) x 75 %
        QVERIFY(qAbs(peakPercent(out, 441000, 793800, 2) - 20.0f) < 0.1f);
    }

    void sectionRanges_data()
    {
        QTest::addColumn<float>("start");
        QTest::addColumn<float>("end");
        QTest::addColumn<int>("result");
        QTest::addColumn<qint64>("frames");
        QTest::newRow("whole") << -1.0f << -1.0f << 0 << qint64(132300);
        QTest::newRow("middle") << 1.0f << 2.5f << 0 << qint64(66150);
        QTest::newRow("nothing") << 0.0f << 0.0f << 0 << qint64(0);
        QTest::newRow("start past the end") << 3.5f << -1.0f << -6 << qint64(-1);
        QTest::newRow("end past the end") << 0.0f << 3.01f << -7 << qint64(-1);
        // Would catch the start handed back only once the end is accepted.
        QTest::newRow("end past the end, from the beginning") << -1.0f << 3.01f << -7 << qint64(-1);
        QTest::newRow("start after end") << 2.0f << 1.0f << -8 << qint64(-1);
    }

    void sectionRanges()
    {
        QFETCH(float, start);
        QFETCH(float, end);
        QFETCH(int, result);
        QFETCH(qint64, frames);
        const QString destination = path(QStringLiteral("range-%1.wav").arg(QTest::currentDataTag()));
        std::shared_ptr<AudioFormat> target = format("FormatType=2 SampleRate=44100 Channels=2");
        cCopyAudioFileNCT job;
        EventLog log;
        log.attach(job);
        const float requestedStart = start;
        QCOMPARE(job.CopyAudioFile(path("tone44s.wav"), destination, target, &start, &end), result);
        QCOMPARE(job.GetLastErrorDescription(), cCopyAudioFileNCT::errorDescription(result));
        // "From the beginning" reads back as 0 before the end is checked.
        QCOMPARE(start, requestedStart == -1.0f ? 0.0f : requestedStart);
        if (result != 0) {
            verifyNoLeftovers(destination);
            return;
        }
        QCOMPARE(qint64(decodeAll(destination).size()) / 2, frames);
        if (frames == 0)
            QCOMPARE(log.events, QStringList({"AddStart", "Add100", "AddEnd"}));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<int>("result");
        QTest::newRow("16000 per second") << "FormatType=2 SampleRate=16000 Channels=2" << "r1.wav" << -3;
        QTest::newRow("3 channels") << "FormatType=2 SampleRate=44100 Channels=3" << "r3.wav" << -4;
        QTest::newRow("no format") << "" << "r4.wav" << -11;
        QTest::newRow("no name") << "FormatType=2 SampleRate=44100 Channels=2" << "" << -2;
        QTest::newRow("MP2 cannot do 8000") << "FormatType=4 SampleRate=8000 Channels=2 BitRate=64" << "r5.mp2" << -10;
    }

    void refusals()
    {
        QFETCH(QString, settings);
        QFETCH(QString, destination);
        QFETCH(int, result);
        std::shared_ptr<AudioFormat> target = settings.isEmpty() ? nullptr : format(settings);
        const QString full = destination.isEmpty() ? QString() : path(destination);
        cCopyAudioFileNCT job;
        QCOMPARE(job.CreateDestinationFile(full, target), result);
        QCOMPARE(job.LastErrorCode(), result);
        QCOMPARE(job.AddFile(path("tone44s.wav")), -2); // nothing to add to
        if (!full.isEmpty() && target) {
            QCOMPARE(job.CopyAudioFile(path("tone44s.wav"), full, target), result);
            verifyNoLeftovers(full);
        }
    }

    void damagedSources_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("result");
        QTest::newRow("missing") << "missing" << -1;
        QTest::newRow("empty") << "empty" << -5;
        QTest::newRow("text renamed wav") << "text" << -5;
        QTest::newRow("MP3 cut to its first bytes") << "stub" << -5;
        QTest::newRow("WAV claiming 4 GB") << "huge" << 0;
        QTest::newRow("MP3 cut in half") << "half" << 0;
        QTest::newRow("WAV claiming 1 Hz") << "1hz" << -5;
    }

    // A source that cannot be read fails with its code and leaves nothing;
    // one that is merely damaged copies what can be decoded.
    void damagedSources()
    {
        QFETCH(QString, kind);
        QFETCH(int, result);
        const QString source = path(QStringLiteral("damaged-%1.%2").arg(kind, kind == "stub" || kind == "half" ? "mp3" : "wav"));
        QByteArray bytes;
        if (kind == QLatin1String("text")) {
            bytes = QByteArray("Running order for Saturday morning\n").repeated(200);
        } else if (kind == QLatin1String("huge")) {
            QFile wav(path("tone44s.wav"));
            QVERIFY(wav.open(QIODevice::ReadOnly));
            bytes = wav.readAll();
            qToLittleEndian<quint32>(0xFFFFFFFFu, bytes.data() + 40); // the data chunk's size
        } else if (kind == QLatin1String("1hz")) {
            TestWav slow;
            slow.sampleRate = 1;
            slow.seconds = 1000;
            bytes = slow.bytes();
        } else if (kind == QLatin1String("stub") || kind == QLatin1String("half")) {
            const QString mp3 = fixtures::makeAudio(path("whole.mp3"), TestWav{}, {"-c:a", "libmp3lame"});
            QFile file(mp3);
            QVERIFY(file.open(QIODevice::ReadOnly));
            bytes = file.readAll();
            bytes = kind == QLatin1String("stub") ? bytes.left(200) : bytes.left(bytes.size() / 2 + 33);
        }
        if (kind != QLatin1String("missing")) {
            QFile file(source);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        const QString destination = path(QStringLiteral("from-%1.wav").arg(kind));
        std::shared_ptr<AudioFormat> target = format("FormatType=2 SampleRate=48000 Channels=2");
        cCopyAudioFileNCT job;
        job.setNormalise(true);
        job.setNormalisePercentage(80);
        QCOMPARE(job.CopyAudioFile(source, destination, target), result);
        if (result != 0) {
            verifyNoLeftovers(destination);
            QCOMPARE(job.SourceFilename(), QString());
            return;
        }
        qint64 sourceLength = 0;
        QVERIFY(GetAudioFileFormatNCT(source, sourceLength));
        const qint64 written = qint64(decodeAll(destination).size()) / 2;
        QVERIFY(qAbs(written - qRound64(sourceLength * 48000.0 / 44100.0)) <= 2);
    }

    void tagsTravel_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("extension");
        QTest::newRow("WAV") << "FormatType=2 SampleRate=44100 Channels=2" << "wav";
        QTest::newRow("MP3") << "FormatType=32 SampleRate=44100 Channels=2 BitRate=128" << "mp3";
    }

    void tagsTravel()
    {
        QFETCH(QString, settings);
        QFETCH(QString, extension);
        TestWav source;
        source.seconds = 1.0;
        const QString tagged = fixtures::makeAudio(
            path("tagged.ogg"), source,
            {"-c:a", "libvorbis", "-metadata", "title=Morning Jingle", "-metadata", "artist=Studio Band", "-metadata",
             "album=Idents 2024"});
        QVERIFY(!tagged.isEmpty());
        const QString destination = path(QStringLiteral("tagged-out.%1").arg(extension));
        std::shared_ptr<AudioFormat> target = format(settings);
        cCopyAudioFileNCT job;
        QCOMPARE(job.CopyAudioFile(tagged, destination, target, nullptr, nullptr, true), 0);
        NCTAudioInfo info;
        QVERIFY(info.OpenFile(destination));
        QCOMPARE(info.TitleTag(), QStringLiteral("Morning Jingle"));
        QCOMPARE(info.ArtistTag(), QStringLiteral("Studio Band"));
        QCOMPARE(info.AlbumTag(), QStringLiteral("Idents 2024"));
        qint64 length = 0;
        QVERIFY(GetAudioFileFormatNCT(destination, length)); // still a playable file
        QVERIFY(length > 0);
    }

    void abandoning()
    {
        std::shared_ptr<AudioFormat> target = format("FormatType=32 SampleRate=44100 Channels=2 BitRate=128");
        {
            cCopyAudioFileNCT job;
            QCOMPARE(job.CreateDestinationFile(path("abandoned.mp3"), target), 0);
            QCOMPARE(job.AddFile(path("tone44s.wav"), nullptr, nullptr, 1.0f), 0);
            job.AbandonDestAudioFile();
            QCOMPARE(job.DestFileName(), QString());
            verifyNoLeftovers(path("abandoned.mp3"));

            QCOMPARE(job.CreateDestinationFile(path("dropped.mp3"), target), 0);
            QCOMPARE(job.AddFile(path("missing.wav")), -1);
            QCOMPARE(job.AddFile(path("tone44s.wav")), 0);
        } // destroyed with the destination open
        verifyNoLeftovers(path("dropped.mp3"));
    }

    // Creating a destination deletes any file of its name; copying a file onto
    // itself must not delete the audio it is about to read.
    void sourceIsDestination()
    {
        QVERIFY(QFile::copy(path("tone44s.wav"), path("self.wav")));
        std::shared_ptr<AudioFormat> target = format("FormatType=32 SampleRate=44100 Channels=2 BitRate=128");
        cCopyAudioFileNCT job;
        QCOMPARE(job.CopyAudioFile(path("self.wav"), path("self.wav"), target), -2);
        QCOMPARE(QFileInfo(path("self.wav")).size(), QFileInfo(path("tone44s.wav")).size());
    }

    // Short sources of random noise at changed rates: the resampler's flush
    // once gave a file shorter than its filter no audio at all (an empty cart
    // reported as a success) and longer ones a frame too many.
    void shortSourcesKeepTheirLength()
    {
        QStringList wrong;
        for (const int frames : {1, 5, 50, 1000})
            for (const auto& [inRate, outRate] : {std::pair{8000, 48000}, {44100, 48000}, {44100, 8000}, {22050, 22050}}) {
                const int inChannels = 1 + frames % 2;
                NCTSampleBlock noise(static_cast<size_t>(frames * inChannels));
                for (qint16& sample : noise)
                    sample = static_cast<qint16>(QRandomGenerator::global()->bounded(-20000, 20000));
                const QString source = path(QStringLiteral("short-%1-%2-%3.wav").arg(frames).arg(inRate).arg(outRate));
                QVERIFY(writeWav(source, inRate, inChannels, noise));
                std::shared_ptr<AudioFormat> target = format(QStringLiteral("FormatType=2 SampleRate=%1 Channels=2").arg(outRate));
                cCopyAudioFileNCT job;
                QCOMPARE(job.CopyAudioFile(source, source + ".out.wav", target), 0);
                const NCTSampleBlock copied = decodeAll(source + ".out.wav");
                const qint64 copiedFrames = qint64(copied.size()) / 2;
                const qint64 expected = std::max<qint64>(1, qRound64(double(frames) * outRate / inRate));
                if (qAbs(copiedFrames - expected) > 1 || peakPercent(copied, 0, copiedFrames, 2) == 0)
                    wrong << QStringLiteral("%1 frames %2 to %3: %4").arg(frames).arg(inRate).arg(outRate).arg(copiedFrames);
            }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1String("; "))));
    }

    // Bugs: an analyser shown the audio before its gain, conversion or
    // topping, or missing the end; the loudness of other audio than the
    // destination holds, whether the gain clips (150 %) or not.
    void analysersSeeTheDestination()
    {
        NCTSampleBlock noise(44100 * 3);
        for (size_t i = 44100; i < noise.size(); ++i) // a second of silence first, which topping removes
            noise[i] = static_cast<qint16>(QRandomGenerator::global()->bounded(-8000, 8000));
        QVERIFY(writeWav(path("noise-mono.wav"), 44100, 1, noise));
        for (const float percent : {50.0f, 150.0f}) {
            std::shared_ptr<AudioFormat> target = format(QStringLiteral("FormatType=2 SampleRate=48000 Channels=2"));
            cCopyAudioFileNCT job;
            RecordingAnalyser recorder;
            job.addAnalyser(&recorder);
            job.setNormalise(true);
            job.setNormalisePercentage(percent);
            job.setAutoTop(true);
            job.setAutoTopThreshold(1);
            QCOMPARE(job.CopyAudioFile(path("noise-mono.wav"), path("noise-analysed.wav"), target), 0);
            const NCTSampleBlock written = decodeAll(path("noise-analysed.wav"));
            QVERIFY(recorder.finished);
            QCOMPARE(recorder.rate, 48000);
            QCOMPARE(recorder.channels, 2);
            QVERIFY(recorder.samples == written);

            NCTLoudnessMeter meter;
            QVERIFY(meter.start(48000, 2));
            meter.add(written.data(), qint64(written.size()) / 2);
            const LoudnessValues measured = meter.result();
            const std::optional<LoudnessValues> reported = job.DestinationLoudness();
            QVERIFY(reported && measured.integrated && measured.truePeak);
            QVERIFY2(qAbs(*reported->integrated - *measured.integrated) < 0.01
                         && qAbs(*reported->truePeak - *measured.truePeak) < 0.01,
                     qPrintable(QStringLiteral("%1 %: reported %2 LUFS %3 dBTP, measured %4 LUFS %5 dBTP")
                                    .arg(percent)
                                    .arg(*reported->integrated)
                                    .arg(*reported->truePeak)
                                    .arg(*measured.integrated)
                                    .arg(*measured.truePeak)));
        }
    }

    // Lengths were 32-bit: past 2^31 frames (six hours at 96 kHz) the probe
    // clipped and the copy job took the end for a point before the start.
    // The file really holds its 2 GiB of 8-bit mono at 1 kHz (sparse, so it
    // costs no disk); the copy seeks to its last second.
    void lengthsPast32Bits()
    {
        using namespace RiffBytes;
        const qint64 frames = 2147485000; // whole seconds, which a float holds exactly
        const QString source = path(QStringLiteral("long.wav"));
        const QByteArray body = chunk("fmt ", pcmFormat(1, 1000, 8)) + chunkClaiming("data", quint32(frames), {});
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("RIFF" + le32(quint32(4 + body.size() + frames)) + "WAVE" + body) > 0);
        QVERIFY(file.resize(file.size() + frames));
        qint64 length = 0;
        QVERIFY(GetAudioFileFormatNCT(source, length));
        QCOMPARE(length, frames);

        std::shared_ptr<AudioFormat> target = format("FormatType=2 SampleRate=8000 Channels=1");
        float start = float(frames - 1000) / 1000, end = -1;
        cCopyAudioFileNCT job;
        QCOMPARE(job.CopyAudioFile(source, path("long-end.wav"), target, &start, &end), 0);
        QCOMPARE(end, float(frames) / 1000);
        QCOMPARE(qint64(decodeAll(path("long-end.wav")).size()), qint64(8000));
        file.remove();
    }

    void limitsAndTexts()
    {
        cCopyAudioFileNCT job;
        job.setNormalisePercentage(0);
        QCOMPARE(job.NormalisePercentage(), 0.00001f);
        job.setMixVolume(250);
        QCOMPARE(job.MixVolume(), 100.0f);
        job.setAutoTopThreshold(-3);
        QCOMPARE(job.AutoTopThreshold(), 0.00001f);
        QCOMPARE(cCopyAudioFileNCT::errorDescription(-9), QStringLiteral("Brindlepack could not load"));
        QCOMPARE(cCopyAudioFileNCT::errorDescription(-13), QStringLiteral("The amount of audio to retain was invalid"));
        QCOMPARE(cCopyAudioFileNCT::errorDescription(7), QStringLiteral("Unknown problem, the code was 7"));
    }
};

ORVANE_TEST_MAIN(TestCopyAudioFileNCT)
#include "tst_cCopyAudioFileNCT.moc"
