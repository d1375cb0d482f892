#include "audio/WaveFormatReader.h"
#include "platform/riff/RiffFile.h"
#include "tests/support/RiffBytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestWav.h"

#include <QBuffer>
#include <QFile>

using namespace RiffBytes;

namespace {
// A caller's header with a recognisable value in every field.
WaveFormatHeader marker()
{
    WaveFormatHeader header;
    header.wFormatTag = 0x1111;
    header.nChannels = 0x2222;
    header.nSamplesPerSec = 0x33333333;
    header.nAvgBytesPerSec = 0x44444444;
    header.nBlockAlign = 0x5555;
    header.wBitsPerSample = 0x6666;
    header.cbSize = 0x7777;
    return header;
}
} // namespace

class TestWaveFormatReader : public QObject
{
    Q_OBJECT

private slots:
    void measuresPcmFiles_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<qint64>("dataBytes");

        QTest::newRow("44.1 kHz stereo 16-bit, 10 s") << 44100 << 2 << 16 << 10.0 << qint64(1764000);
        QTest::newRow("22.05 kHz mono 8-bit, odd data size") << 22050 << 1 << 8 << 0.5 << qint64(11025);
        QTest::newRow("48 kHz stereo 24-bit") << 48000 << 2 << 24 << 1.5 << qint64(432000);
    }

    void measuresPcmFiles()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(double, seconds);
        QFETCH(qint64, dataBytes);

        const TestWav wav{.sampleRate = rate, .channels = channels, .bitsPerSample = bits, .seconds = seconds};
        const QString path = TestEnvironment::writeFile(QStringLiteral("pcm.wav"), wav.bytes());
        QVERIFY(!path.isEmpty());

        WaveFormatHeader header = marker();
        qint64 bytes = -1;
        QCOMPARE(ReadWaveFormat(path, header, bytes), 0);
        QCOMPARE(bytes, dataBytes);
        QCOMPARE(header.wFormatTag, quint16(1));
        QCOMPARE(header.nChannels, quint16(channels));
        QCOMPARE(header.nSamplesPerSec, quint32(rate));
        QCOMPARE(header.wBitsPerSample, quint16(bits));
        QCOMPARE(GetWaveDuration(path), float(seconds));
    }

    void survivesHostileFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<qint64>("dataBytes");
        QTest::addColumn<float>("duration");

        // 1000 bytes a second, so data bytes and duration tell the same story.
        const QByteArray fmt = chunk("fmt ", pcmFormat(1, 1000, 8));
        const QByteArray data = chunk("data", QByteArray(500, 'x'));
        QTest::newRow("plain") << riff("WAVE", fmt + data) << 0 << qint64(500) << 0.5f;
        QTest::newRow("format after the data") << riff("WAVE", data + fmt) << 0 << qint64(500) << 0.5f;
        QTest::newRow("odd chunk before the format") << riff("WAVE", chunk("junk", "abc") + fmt + data) << 0 << qint64(500) << 0.5f;
        QTest::newRow("no data chunk") << riff("WAVE", fmt) << 0 << qint64(0) << 0.0f;
        QTest::newRow("data claiming more than the file")
            << riff("WAVE", fmt + chunkClaiming("data", 100000, QByteArray(500, 'x'))) << 0 << qint64(500) << 0.5f;
        QTest::newRow("data size 0xFFFFFFFF")
            << riff("WAVE", fmt + chunkClaiming("data", 0xFFFFFFFF, QByteArray(250, 'x'))) << 0 << qint64(250) << 0.25f;
        QTest::newRow("RIFF size 0xFFFFFFFF") << QByteArray("RIFF" + le32(0xFFFFFFFF) + "WAVE" + fmt + data) << 0 << qint64(500) << 0.5f;
        // A recorder that stopped before it could fill in the sizes.
        QTest::newRow("RIFF size 0") << QByteArray("RIFF" + le32(0) + "WAVE" + fmt + data) << 0 << qint64(500) << 0.5f;
        QTest::newRow("data size 0")
            << riff("WAVE", fmt + chunkClaiming("data", 0, QByteArray(500, 'x'))) << 0 << qint64(500) << 0.5f;
        const QByteArray ds64 = chunk("ds64", le64(4 + 36 + fmt.size() + 8 + 500) + le64(500) + le64(0) + le32(0));
        QTest::newRow("RF64") << QByteArray("RF64" + le32(0xFFFFFFFF) + "WAVE" + ds64 + fmt
                                            + chunkClaiming("data", 0xFFFFFFFF, QByteArray(500, 'x')))
                              << 0 << qint64(500) << 0.5f;
        QTest::newRow("no byte rate") << riff("WAVE", chunk("fmt ", QByteArray(16, '\0')) + data) << 0 << qint64(500) << 0.0f;
        QTest::newRow("format size 0xFFFFFFFF")
            << riff("WAVE", chunkClaiming("fmt ", 0xFFFFFFFF, pcmFormat(1, 1000, 8)) + data) << -1 << qint64(0) << 0.0f;
        QTest::newRow("format cut short") << riff("WAVE", chunkClaiming("fmt ", 16, "\x01\0\x01\0")) << -1 << qint64(0) << 0.0f;
        QTest::newRow("no format chunk") << riff("WAVE", data) << 265 << qint64(0) << 0.0f;
        QTest::newRow("AVI") << riff("AVI ", fmt + data) << 265 << qint64(0) << 0.0f;
        QTest::newRow("text renamed .wav") << QByteArray("#Fields: TITLE\r\nNot audio at all\r\n") << 265 << qint64(0) << 0.0f;
        QTest::newRow("cut inside the RIFF header") << QByteArray("RIFF\x10\0") << 265 << qint64(0) << 0.0f;
    }

    void survivesHostileFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(qint64, dataBytes);
        QFETCH(float, duration);

        const QString path = TestEnvironment::writeFile(QStringLiteral("hostile.wav"), bytes);
        WaveFormatHeader header;
        qint64 got = -1;
        QCOMPARE(ReadWaveFormat(path, header, got), result);
        QCOMPARE(got, dataBytes);
        QCOMPARE(GetWaveDuration(path), duration);

        // Bytes in memory read the same as the file.
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        WaveFormatHeader fromMemory;
        got = -1;
        QCOMPARE(ReadWaveFormat(buffer, fromMemory, got), result);
        QCOMPARE(got, dataBytes);
        QCOMPARE(fromMemory, header);
    }

    void measuresFilesPast2GiB_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QByteArray>("form");

        // Three hours of 96 kHz 24-bit audio: in mono 3,110,400,000 bytes,
        // more than a signed 32-bit length holds; in stereo past 4 GiB, so the
        // form must turn into RF64 when it is closed.
        QTest::newRow("mono") << 1 << QByteArray("RIFF");
        QTest::newRow("stereo") << 2 << QByteArray("RF64");
    }

    void measuresFilesPast2GiB()
    {
        QFETCH(int, channels);
        QFETCH(QByteArray, form);

        // Sparse: only the headers and the last sample reach the disk.
        const qint64 dataBytes = 10800LL * 96000 * 3 * channels;
        const QString path = TestEnvironment::instance()->root() + QStringLiteral("/three-hours.wav");
        {
            RiffFile file;
            QCOMPARE(file.open(path, RiffFile::Create | RiffFile::ReadWrite), 0);
            RiffChunk riff;
            riff.formType = RiffFile::fourCC("WAVE");
            RiffChunk data;
            data.id = RiffFile::fourCC("data");
            const QByteArray format = chunk("fmt ", pcmFormat(quint16(channels), 96000, 24));
            QCOMPARE(file.createChunk(riff, RiffFile::CreateRiff | RiffFile::ReserveRf64), 0);
            QCOMPARE(file.write(format.constData(), format.size()), format.size());
            QCOMPARE(file.createChunk(data, RiffFile::CreatePlain), 0);
            QVERIFY(file.seek(data.dataOffset + dataBytes - 6) > 0);
            QCOMPARE(file.write("sample", 6), 6);
            QCOMPARE(file.ascend(data), 0);
            QCOMPARE(file.ascend(riff), 0);
            QCOMPARE(file.close(), 0);
        }
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.read(4), form);

        WaveFormatHeader format;
        qint64 bytes = 0;
        QCOMPARE(ReadWaveFormat(path, format, bytes), 0);
        QCOMPARE(bytes, dataBytes);
        QCOMPARE(GetWaveDuration(path), 10800.0f);
    }

    void keepsWhatAShortFormatChunkLeavesOut()
    {
        // 16 bytes: cbSize is not in the file, so the caller's value stays.
        WaveFormatHeader header = marker();
        qint64 dataBytes = -1;
        QString path = TestEnvironment::writeFile(QStringLiteral("short.wav"), riff("WAVE", chunk("fmt ", pcmFormat(2, 44100, 16))));
        QCOMPARE(ReadWaveFormat(path, header, dataBytes), 0);
        QCOMPARE(header.nSamplesPerSec, 44100u);
        QCOMPARE(header.cbSize, quint16(0x7777));

        // An empty format chunk leaves the whole header as it was.
        header = marker();
        path = TestEnvironment::writeFile(QStringLiteral("empty-fmt.wav"), riff("WAVE", chunk("fmt ", {}) + chunk("data", "ab")));
        QCOMPARE(ReadWaveFormat(path, header, dataBytes), 0);
        QCOMPARE(header, marker());
        QCOMPARE(dataBytes, qint64(0));
    }

    void answersMinusOneForMissingAndEmptyFiles()
    {
        WaveFormatHeader header;
        qint64 dataBytes = 0;
        QCOMPARE(ReadWaveFormat(TestEnvironment::instance()->root() + "/no-such.wav", header, dataBytes), -1);
        QCOMPARE(ReadWaveFormat(TestEnvironment::writeFile(QStringLiteral("empty.wav"), {}), header, dataBytes), -1);
        QCOMPARE(ReadWaveFormat(TestEnvironment::instance()->root(), header, dataBytes), -1);
        QCOMPARE(GetWaveDuration(QString()), 0.0f);
    }
};

ORVANE_TEST_MAIN(TestWaveFormatReader)
#include "tst_WaveFormatReader.moc"
