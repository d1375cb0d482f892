// The format probe against ffprobe for every input kind, and its log lines
// and out-parameter on every path.

#include "audio/GetAudioFileFormatNCT.h"
#include "frame/WriteLog.h"
#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/TestEnvironment.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

class TestGetAudioFileFormatNCT : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QStringList logLines()
    {
        QFile log(LogFilePath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList lines;
        for (const QByteArray& line : log.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                lines << QString::fromUtf8(line).trimmed().mid(9).trimmed(); // drop the time
        return lines;
    }

    static int expectedType(const QByteArray& name)
    {
        if (name.startsWith("wav"))
            return aftWAV;
        if (name.startsWith("mp2"))
            return aftMP2;
        if (name.startsWith("mp3"))
            return aftMP3;
        return name == "ogg" ? aftOgg : aftWMA;
    }

private slots:
    void initTestCase()
    {
        if (!fixtures::toolsPresent())
            QSKIP("the ffmpeg tools are not installed");
        QVERIFY(m_dir.isValid());
    }

    void againstFfprobe_data()
    {
        QTest::addColumn<int>("index");
        const QList<fixtures::InputKind> kinds = fixtures::inputKinds();
        for (int i = 0; i < kinds.size(); ++i)
            QTest::newRow(kinds[i].name) << i;
    }

    void againstFfprobe()
    {
        QFETCH(int, index);
        const fixtures::InputKind kind = fixtures::inputKinds().at(index);
        const QString path = fixtures::makeInput(m_dir.path(), kind);
        QVERIFY(!path.isEmpty());
        const fixtures::ProbeReport probe = fixtures::ffprobe(path);
        QVERIFY(probe.ok);

        qint64 length = -5;
        const std::unique_ptr<AudioFormat> format = GetAudioFileFormatNCT(path, length);
        QVERIFY(format);
        const QByteArray name(kind.name);
        QCOMPARE(format->FormatType, expectedType(name));
        QCOMPARE(format->SampleRate, probe.stream.value(QStringLiteral("sample_rate")).toString().toInt());
        QCOMPARE(format->Channels, probe.stream.value(QStringLiteral("channels")).toInt());

        // The exact length: what the ffmpeg tool decodes, not ffprobe's estimate.
        QCOMPARE(length, fixtures::toolDecodedFrames(path, format->Channels));

        if (format->FormatType == aftWAV) {
            const int tag = probe.stream.value(QStringLiteral("codec_tag")).toString().toInt(nullptr, 16);
            QCOMPARE(format->FormatTag, tag == 0xFFFE ? 1 : tag);
            QCOMPARE(format->BitRate, 0);
            const bool hasExtraBytes = name == "wav_ima_adpcm" || name.startsWith("wav_mpeg");
            QCOMPARE(!format->CodecData.isEmpty(), hasExtraBytes);
        } else if (name != "ogg" && name != "mp3_vbr_no_xing") { // ffprobe gives these their nominal rate
            const double kbps = probe.stream.value(QStringLiteral("bit_rate")).toString().toDouble() / 1000.0;
            QVERIFY2(qAbs(format->BitRate - kbps) <= 1 + kbps * 0.02,
                     qPrintable(QStringLiteral("%1 against %2").arg(format->BitRate).arg(kbps)));
        } else {
            QVERIFY(format->BitRate > 0);
        }
    }

    // Ogg Vorbis lengths were read from the pages' granule positions: short
    // clips (whose last page ends before their last packet) gave 2^31 frames,
    // files counting the primer packet in their first granule a block too
    // many. The probe must give what the decoder, and so the copy, delivers:
    // on clips made here, then on the Ogg files of two Debian sound themes.
    void oggLengthsAsDecoded()
    {
        QStringList files;
        for (const int frames : {100, 300, 5000, 100000}) {
            files << m_dir.filePath(QStringLiteral("noise%1.ogg").arg(frames));
            const QString noise = QStringLiteral("anoisesrc=amplitude=0.6:seed=%1").arg(QRandomGenerator::global()->bounded(9999));
            QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", noise, "-af", QStringLiteral("atrim=end_sample=%1").arg(frames),
                                      "-c:a", "libvorbis", files.last()}));
        }
        const QStringList themes = QDir(QStringLiteral("/usr/share/sounds/freedesktop/stereo")).entryList({"*.oga"}, QDir::Files);
        for (const QString& name : themes)
            files << QStringLiteral("/usr/share/sounds/freedesktop/stereo/") + name;
        for (const QFileInfo& file : QDir(QStringLiteral("/usr/share/sounds")).entryInfoList({"Oxygen-*.ogg"}))
            files << file.filePath();
        QStringList wrong;
        for (const QString& file : files) {
            qint64 length = 0;
            const std::unique_ptr<AudioFormat> format = GetAudioFileFormatNCT(file, length);
            const qint64 decoded = format ? fixtures::toolDecodedFrames(file, format->Channels) : -1;
            if (length != decoded)
                wrong << QStringLiteral("%1: %2 against %3").arg(QFileInfo(file).fileName()).arg(length).arg(decoded);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1String("; "))));
        if (files.size() == 4)
            QSKIP("neither sound-theme-freedesktop nor oxygen-sounds is installed");
    }

    // Each path leaves the start line and exactly one finish line, and the
    // out-parameter tells an existing file from a missing one.
    void logAndLength_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("recognised");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<QString>("finish");
        QTest::newRow("missing") << "missing" << false << qint64(77) << "Finish GetAudioFileFormatNCT (Filelength <=0)";
        QTest::newRow("empty") << "empty" << false << qint64(77) << "Finish GetAudioFileFormatNCT (Filelength <=0)";
        QTest::newRow("text named wav") << "text" << false << qint64(0) << "Finish GetAudioFileFormatNCT (err: ";
        QTest::newRow("flac, named wav") << "flac" << true << qint64(44100) << "Finish GetAudioFileFormatNCT Samples:44100";
        QTest::newRow("wav") << "wav" << true << qint64(44100) << "Finish GetAudioFileFormatNCT Samples:44100";
        // 4 KB claiming an hour of audio, which would copy to hundreds of MB.
        QTest::newRow("WAV claiming 1 Hz") << "1hz" << false << qint64(0)
                                           << "Finish GetAudioFileFormatNCT (err: The audio format could not be read)";
    }

    void logAndLength()
    {
        QFETCH(QString, kind);
        QFETCH(bool, recognised);
        QFETCH(qint64, length);
        QFETCH(QString, finish);
        const QString path = m_dir.filePath(kind + QStringLiteral(".wav"));
        TestWav tone;
        if (kind == QLatin1String("empty")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (kind == QLatin1String("text")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("Running order for Saturday morning\n").repeated(100));
        } else if (kind == QLatin1String("flac")) {
            QVERIFY(!fixtures::makeAudio(path, tone, {QStringLiteral("-c:a"), QStringLiteral("flac"),
                                                      QStringLiteral("-f"), QStringLiteral("flac")})
                         .isEmpty());
        } else if (kind == QLatin1String("wav")) {
            QVERIFY(tone.write(path));
        } else if (kind == QLatin1String("1hz")) {
            tone.sampleRate = 1;
            tone.seconds = 1000;
            QVERIFY(tone.write(path));
        }

        DebugLevel::set(5);
        QFile::remove(LogFilePath());
        qint64 out = 77;
        const std::unique_ptr<AudioFormat> format = GetAudioFileFormatNCT(path, out);
        DebugLevel::set(0);

        QCOMPARE(bool(format), recognised);
        QCOMPARE(out, length);
        const QStringList lines = logLines().filter(QStringLiteral("GetAudioFileFormatNCT"));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QStringLiteral("Started GetAudioFileFormatNCT ") + path);
        QVERIFY2(lines.at(1).startsWith(finish), qPrintable(lines.at(1)));
        if (kind == QLatin1String("text"))
            QVERIFY(lines.at(1).endsWith(QLatin1Char(')')) && lines.at(1).size() > finish.size() + 1);
        else
            QCOMPARE(lines.at(1), finish);
    }
};

ORVANE_TEST_MAIN(TestGetAudioFileFormatNCT)
#include "tst_GetAudioFileFormatNCT.moc"
