#include "audio/WaveFormatReader.h"
#include "audio/WaveTemplate.h"
#include "frame/WriteLog.h"
#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QtEndian>

namespace {
// The messages of today's log, without times and indents.
QStringList loggedMessages()
{
    QFile log(LogFilePath());
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList messages;
    for (const QString& line : QString::fromUtf8(log.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        messages.append(line.mid(8).trimmed());
    return messages;
}

QString tempPath(const QString& name) { return TestEnvironment::instance()->root() + QStringLiteral("/tmp/") + name; }
} // namespace

class TestWaveTemplate : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        DebugLevel::set(5);
        QFile::remove(LogFilePath());
    }

    void writesTemplates_data()
    {
        QTest::addColumn<qint16>("tag");
        QTest::addColumn<qint32>("rate");
        QTest::addColumn<qint16>("channels");
        QTest::addColumn<int>("formatBytes");
        QTest::addColumn<quint16>("blockAlign");
        QTest::addColumn<quint16>("bits");

        // A PCM format is 16 bytes on disk although it is built in 18.
        QTest::newRow("PCM 44.1 kHz stereo") << qint16(1) << 44100 << qint16(2) << 16 << quint16(4) << quint16(16);
        QTest::newRow("PCM 8 kHz mono") << qint16(1) << 8000 << qint16(1) << 16 << quint16(2) << quint16(16);
        QTest::newRow("IMA ADPCM 22.05 kHz stereo") << qint16(17) << 22050 << qint16(2) << 20 << quint16(1024) << quint16(4);
        QTest::newRow("IMA ADPCM 48 kHz mono") << qint16(17) << 48000 << qint16(1) << 20 << quint16(1024) << quint16(4);
    }

    void writesTemplates()
    {
        QFETCH(qint16, tag);
        QFETCH(qint32, rate);
        QFETCH(qint16, channels);
        QFETCH(int, formatBytes);
        QFETCH(quint16, blockAlign);
        QFETCH(quint16, bits);

        const QString path = tempPath(QStringLiteral("template.wav"));
        QVERIFY(CreateAudioFile(path, rate, channels, tag));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // The "JUNK" chunk keeps the 28 bytes a "ds64" chunk needs.
        constexpr int Reserve = 8 + 28;
        QCOMPARE(bytes.size(), 12 + Reserve + 8 + formatBytes + 8);
        QCOMPARE(bytes.left(4), QByteArray("RIFF"));
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 4), quint32(bytes.size() - 8));
        QCOMPARE(bytes.mid(8, 8), QByteArray("WAVEJUNK"));
        QCOMPARE(bytes.mid(12 + Reserve, 4), QByteArray("fmt "));
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 16 + Reserve), quint32(formatBytes));
        QCOMPARE(bytes.right(8), QByteArray("data\0\0\0\0", 8));

        WaveFormatHeader header;
        qint64 dataBytes = -1;
        QCOMPARE(ReadWaveFormat(path, header, dataBytes), 0);
        QCOMPARE(dataBytes, qint64(0));
        QCOMPARE(header.wFormatTag, quint16(tag));
        QCOMPARE(header.nChannels, quint16(channels));
        QCOMPARE(header.nSamplesPerSec, quint32(rate));
        QCOMPARE(header.nBlockAlign, blockAlign);
        QCOMPARE(header.wBitsPerSample, bits);

        QCOMPARE(loggedMessages(), QStringList({"Start CreateAudioFile", "Finish CreateAudioFile"}));
    }

    void otherToolsReadTheImaTemplate()
    {
        // The audio component takes the destination format from this file, so
        // a demuxer that is not ours must understand it too.
        if (!fixtures::toolsPresent())
            QSKIP("the ffmpeg tools are not installed");
        const QString path = tempPath(QStringLiteral("ima.wav"));
        QVERIFY(CreateAudioFile(path, 22050, 2, 17));
        const fixtures::ProbeReport probe = fixtures::ffprobe(path);
        QVERIFY(probe.ok);
        QCOMPARE(probe.stream.value("codec_name").toString(), QStringLiteral("adpcm_ima_wav"));
        QCOMPARE(probe.stream.value("sample_rate").toString(), QStringLiteral("22050"));
        QCOMPARE(probe.stream.value("channels").toInt(), 2);
    }

    void refusesAndLogsWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint32>("rate");
        QTest::addColumn<qint16>("channels");
        QTest::addColumn<qint16>("tag");
        QTest::addColumn<QString>("lastLine");

        QTest::newRow("no file name") << "" << 44100 << qint16(2) << qint16(17) << "Exit CreateAudioFile (Filename = \"\")";
        QTest::newRow("rate 0") << "t.wav" << 0 << qint16(2) << qint16(17) << "Exit CreateAudioFile (SampleRate = 0)";
        QTest::newRow("no channels") << "t.wav" << 44100 << qint16(0) << qint16(17) << "Exit CreateAudioFile (Channels = 0)";
        QTest::newRow("name checked first") << "" << 0 << qint16(0) << qint16(17) << "Exit CreateAudioFile (Filename = \"\")";
        QTest::newRow("no PCM of that shape") << "t.wav" << 44100 << qint16(9) << qint16(17)
                                              << "Exit CreateAudioFile (acmFormatSuggestFailed. rc = 512";
        QTest::newRow("tag without a codec") << "t.wav" << 44100 << qint16(2) << qint16(85)
                                             << "Exit CreateAudioFile (acmFormatTagDetails failed. rc = 512";
        QTest::newRow("codec refuses the shape") << "t.wav" << 44100 << qint16(3) << qint16(17) << "Finish CreateAudioFile";
        QTest::newRow("folder missing") << "missing/t.wav" << 44100 << qint16(2) << qint16(17) << "Finish CreateAudioFile";
    }

    void refusesAndLogsWhy()
    {
        QFETCH(QString, name);
        QFETCH(qint32, rate);
        QFETCH(qint16, channels);
        QFETCH(qint16, tag);
        QFETCH(QString, lastLine);

        const QString path = name.isEmpty() ? QString() : tempPath(name);
        QVERIFY(!CreateAudioFile(path, rate, channels, tag));
        QCOMPARE(loggedMessages(), QStringList({"Start CreateAudioFile", lastLine}));
        QVERIFY(path.isEmpty() || !QFile::exists(path));
    }
};

ORVANE_TEST_MAIN(TestWaveTemplate)
#include "tst_WaveTemplate.moc"
