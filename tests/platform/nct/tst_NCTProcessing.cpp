// Sample arithmetic of the component: conversion lengths and levels, topping
// in whole frames, overlap mixing, and the peak scan.

#include "platform/nct/AudioScanBufferForMaxLevel.h"
#include "platform/nct/NCTAudioProcessor.h"
#include "platform/nct/NCTResampler.h"
#include "tests/support/TestEnvironment.h"

#include <QtTest>
#include <cmath>

namespace {

NCTSampleBlock sine(int rate, int channels, qint64 frames, double amplitude)
{
    NCTSampleBlock block;
    for (qint64 i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            block.push_back(static_cast<qint16>(std::lround(amplitude * 32767 * std::sin(2 * M_PI * 440.0 * i / rate))));
    return block;
}

float peak(const NCTSampleBlock& block, int channels)
{
    qint32 a = 0, b = 0;
    return AudioScanBufferForMaxLevel(block.data(), static_cast<qint32>(block.size() * 2), channels, a, b, 24);
}

} // namespace

class TestNCTProcessing : public QObject
{
    Q_OBJECT

private slots:
    void conversion_data()
    {
        QTest::addColumn<int>("inRate");
        QTest::addColumn<int>("inChannels");
        QTest::addColumn<int>("outRate");
        QTest::addColumn<int>("outChannels");
        QTest::newRow("44.1 to 48 kHz") << 44100 << 2 << 48000 << 2;
        QTest::newRow("mono to stereo") << 44100 << 1 << 44100 << 2;
        QTest::newRow("stereo to mono, resampled") << 32000 << 2 << 33075 << 1;
        QTest::newRow("unchanged") << 44100 << 2 << 44100 << 2;
    }

    // Blocks of one second and a flush at the end give the whole converted
    // length, and a tone keeps its level whatever the channel change.
    void conversion()
    {
        QFETCH(int, inRate);
        QFETCH(int, inChannels);
        QFETCH(int, outRate);
        QFETCH(int, outChannels);
        NCTResampler resampler;
        resampler.SetInputFormat(inRate, inChannels);
        resampler.SetOutputFormat(outRate, outChannels, 16);
        QVERIFY(resampler.Initialise(1));
        const NCTSampleBlock source = sine(inRate, inChannels, inRate * 3 + 123, 0.5);
        QByteArray out;
        for (size_t at = 0; at < source.size(); at += static_cast<size_t>(inRate * inChannels)) {
            const size_t end = std::min(source.size(), at + static_cast<size_t>(inRate * inChannels));
            out += resampler.Convert(NCTSampleBlock(source.begin() + at, source.begin() + end));
        }
        out += resampler.Flush();
        const qint64 frames = out.size() / 2 / outChannels;
        const qint64 expected = qRound64((inRate * 3 + 123) * double(outRate) / inRate);
        QVERIFY2(qAbs(frames - expected) <= 1, qPrintable(QStringLiteral("%1 of %2").arg(frames).arg(expected)));
        NCTSampleBlock converted(static_cast<size_t>(out.size() / 2));
        std::memcpy(converted.data(), out.constData(), static_cast<size_t>(out.size()));
        QVERIFY2(qAbs(peak(converted, outChannels) - 50.0f) < 0.6f, qPrintable(QString::number(peak(converted, outChannels))));
        resampler.SetOutputFormat(outRate, outChannels, 24);
        QVERIFY(!resampler.Initialise(1)); // 16-bit output only
    }

    void toppingKeepsFramesWhole_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QList<int>>("samples");
        QTest::addColumn<qint32>("fromEnd");
        QTest::addColumn<QList<int>>("kept");
        QTest::newRow("stereo, loud right side keeps the frame")
            << 2 << QList<int>{0, 0, 3, 200, 400, 0} << 0 << QList<int>{3, 200, 400, 0};
        QTest::newRow("stereo, all quiet") << 2 << QList<int>{5, -5, 99, -99} << 0 << QList<int>{};
        QTest::newRow("mono, one sample left") << 1 << QList<int>{0, 1, -2, 100} << 0 << QList<int>{100};
        QTest::newRow("mono, trailing") << 1 << QList<int>{300, 0, 100, 99, -5} << 1 << QList<int>{300, 0, 100};
        QTest::newRow("negative full scale counts") << 1 << QList<int>{0, -32768} << 0 << QList<int>{-32768};
    }

    void toppingKeepsFramesWhole()
    {
        QFETCH(int, channels);
        QFETCH(QList<int>, samples);
        QFETCH(qint32, fromEnd);
        QFETCH(QList<int>, kept);
        NCTAudioProcessor processor;
        processor.setChannels(channels);
        NCTSampleBlock block(samples.begin(), samples.end());
        processor.TrimBelowLevel(block, 100, fromEnd);
        QCOMPARE(QList<int>(block.begin(), block.end()), kept);
    }

    void levels()
    {
        NCTAudioProcessor processor;
        QCOMPARE(processor.LevelFromPercent(0.00001), 1); // digital silence is below any threshold
        QCOMPARE(processor.LevelFromPercent(50), 16384);
        QCOMPARE(processor.LevelFromPercent(100), 32768);

        NCTSampleBlock block{1000, -1000, 30000, -30000, 3};
        processor.ApplyGain(block, 150);
        QCOMPARE(block, (NCTSampleBlock{1500, -1500, 32767, -32768, 4}));
        processor.ApplyGain(block, 0);
        QCOMPARE(block, NCTSampleBlock(5, 0));

        qint32 peakSample = 0, peakFrame = 0;
        const NCTSampleBlock scan{0, 10, -16384, 5, 7, 16383};
        QCOMPARE(AudioScanBufferForMaxLevel(scan.data(), 12, 2, peakSample, peakFrame, 24), 50.0f);
        QCOMPARE(peakSample, 16384);
        QCOMPARE(peakFrame, 1);
        QCOMPARE(AudioScanBufferForMaxLevel(scan.data(), 0, 2, peakSample, peakFrame, 24), 0.0f);
    }

    // Both sides of an overlap are scaled; past the hold the block is untouched.
    void mixing()
    {
        NCTAudioProcessor processor;
        const NCTSampleBlock block{1000, 1000, 2000, 2000, 4000, 4000};
        const NCTSampleBlock hold{400, 400};
        QCOMPARE(processor.Mix(block, 75, hold, 75), (NCTSampleBlock{1050, 1050, 2000, 2000, 4000, 4000}));
        const NCTSampleBlock loud(4, 30000);
        QCOMPARE(processor.Mix(loud, 100, loud, 100), NCTSampleBlock(4, 32767));
        processor.setMixAverage(1);
        QCOMPARE(processor.Mix(loud, 100, loud, 100), NCTSampleBlock(4, 30000));
    }
};

ORVANE_TEST_MAIN(TestNCTProcessing)
#include "tst_NCTProcessing.moc"
