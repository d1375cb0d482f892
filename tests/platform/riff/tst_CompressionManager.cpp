#include "platform/riff/CompressionManager.h"
#include "platform/riff/WaveFormatHeader.h"
#include "tests/support/TestEnvironment.h"

#include <QtEndian>

namespace {
constexpr quint32 Shape = CompressionManager::SuggestFormatTag | CompressionManager::SuggestChannels
    | CompressionManager::SuggestSampleRate;

QByteArray pcm(quint16 channels, quint32 rate, quint16 bits = 16)
{
    WaveFormatHeader header;
    header.wFormatTag = 1;
    header.nChannels = channels;
    header.nSamplesPerSec = rate;
    header.wBitsPerSample = bits;
    header.nBlockAlign = quint16(channels * bits / 8);
    header.nAvgBytesPerSec = rate * header.nBlockAlign;
    return header.toBytes();
}

QByteArray wish(quint16 tag, quint16 channels, quint32 rate)
{
    WaveFormatHeader header;
    header.wFormatTag = tag;
    header.nChannels = channels;
    header.nSamplesPerSec = rate;
    return header.toBytes();
}
} // namespace

class TestCompressionManager : public QObject
{
    Q_OBJECT

private slots:
    void suggestsImaAdpcm_data()
    {
        QTest::addColumn<quint32>("rate");
        QTest::addColumn<quint16>("channels");
        QTest::addColumn<quint16>("blockAlign");
        QTest::addColumn<quint16>("samplesPerBlock");
        QTest::addColumn<quint32>("bytesPerSecond");

        QTest::newRow("8 kHz mono") << 8000u << quint16(1) << quint16(256) << quint16(505) << 4055u;
        QTest::newRow("22.05 kHz stereo") << 22050u << quint16(2) << quint16(1024) << quint16(1017) << 22202u;
        QTest::newRow("44.1 kHz stereo") << 44100u << quint16(2) << quint16(2048) << quint16(2041) << 44251u;
        QTest::newRow("48 kHz stereo") << 48000u << quint16(2) << quint16(2048) << quint16(2041) << 48165u;
    }

    void suggestsImaAdpcm()
    {
        QFETCH(quint32, rate);
        QFETCH(quint16, channels);
        QFETCH(quint16, blockAlign);
        QFETCH(quint16, samplesPerBlock);
        QFETCH(quint32, bytesPerSecond);

        QByteArray target = wish(17, channels, rate) + QByteArray(2, '\0');
        QCOMPARE(CompressionManager::formatSuggest(pcm(channels, rate), target, 20, Shape), 0);
        QCOMPARE(target.size(), 20);
        const WaveFormatHeader header = WaveFormatHeader::fromBytes(target);
        QCOMPARE(header.wFormatTag, quint16(17));
        QCOMPARE(header.nChannels, channels);
        QCOMPARE(header.nSamplesPerSec, rate);
        QCOMPARE(header.wBitsPerSample, quint16(4));
        QCOMPARE(header.nBlockAlign, blockAlign);
        QCOMPARE(header.nAvgBytesPerSec, bytesPerSecond);
        QCOMPARE(header.cbSize, quint16(2));
        QCOMPARE(qFromLittleEndian<quint16>(target.constData() + 18), samplesPerBlock);
    }

    void suggestsPcm()
    {
        // Without a wish for the sample size, PCM keeps the source's; in 16 bytes
        // of room a PCM format fits without cbSize.
        QByteArray target = wish(1, 1, 22050);
        QCOMPARE(CompressionManager::formatSuggest(pcm(2, 44100, 8), target, 16, Shape), 0);
        QCOMPARE(target.mid(0, 16), pcm(1, 22050, 8).left(16));

        target = wish(1, 2, 48000);
        QCOMPARE(CompressionManager::formatSuggest(pcm(2, 48000), target, 18, Shape), 0);
        QCOMPARE(target, pcm(2, 48000));

        // Decoding IMA ADPCM gives 16-bit PCM of the same shape.
        QByteArray ima = wish(17, 2, 22050) + QByteArray(2, '\0');
        QCOMPARE(CompressionManager::formatSuggest(pcm(2, 22050), ima, 20, Shape), 0);
        target = wish(1, 2, 22050);
        QCOMPARE(CompressionManager::formatSuggest(ima, target, 18, Shape), 0);
        QCOMPARE(target, pcm(2, 22050));
    }

    void refusesWhatNoCodecDoes_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("room");
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<int>("result");

        QTest::newRow("unknown tag") << pcm(2, 44100) << wish(2, 2, 44100) << 50 << Shape << 512;
        QTest::newRow("IMA ADPCM with three channels") << pcm(3, 44100) << wish(17, 3, 44100) << 20 << Shape << 512;
        QTest::newRow("IMA ADPCM at another rate") << pcm(2, 44100) << wish(17, 2, 22050) << 20 << Shape << 512;
        QTest::newRow("IMA ADPCM from 8-bit PCM") << pcm(2, 44100, 8) << wish(17, 2, 44100) << 20 << Shape << 512;
        QTest::newRow("PCM with no channels") << pcm(2, 44100) << wish(1, 0, 44100) << 18 << Shape << 512;
        QTest::newRow("no room for the codec data") << pcm(2, 44100) << wish(17, 2, 44100) << 18 << Shape << 11;
        QTest::newRow("unknown flag") << pcm(2, 44100) << wish(1, 2, 44100) << 18 << (Shape | 1u) << 10;
    }

    void refusesWhatNoCodecDoes()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, target);
        QFETCH(int, room);
        QFETCH(quint32, flags);
        QFETCH(int, result);
        QCOMPARE(CompressionManager::formatSuggest(source, target, room, flags), result);
    }

    void reportsTagDetails_data()
    {
        QTest::addColumn<quint32>("tag");
        QTest::addColumn<quint32>("structSize");
        QTest::addColumn<int>("result");
        QTest::addColumn<quint32>("formatSize");
        QTest::addColumn<QString>("name");

        QTest::newRow("PCM") << 1u << 152u << 0 << 16u << "PCM";
        QTest::newRow("IMA ADPCM") << 17u << 152u << 0 << 20u << "IMA ADPCM";
        QTest::newRow("MPEG layer 3") << 85u << 152u << 512 << 0u << "";
        QTest::newRow("wrong record size") << 1u << 100u << 11 << 0u << "";
    }

    void reportsTagDetails()
    {
        QFETCH(quint32, tag);
        QFETCH(quint32, structSize);
        QFETCH(int, result);
        QFETCH(quint32, formatSize);
        QFETCH(QString, name);
        FormatTagDetails details;
        details.structSize = structSize;
        details.formatTag = tag;
        QCOMPARE(CompressionManager::formatTagDetails(details, CompressionManager::DetailsByFormatTag), result);
        QCOMPARE(details.formatSize, formatSize);
        QCOMPARE(details.formatTagName, name);
    }
};

ORVANE_TEST_MAIN(TestCompressionManager)
#include "tst_CompressionManager.moc"
