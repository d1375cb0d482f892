// Reading every input kind: classification by content, exact length and
// sample-accurate positioning; tags; damaged files checked against the
// ffmpeg tool.

#include "platform/nct/NCTAudioFile.h"
#include "platform/nct/NCTAudioInfo.h"
#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/RiffBytes.h"
#include "tests/support/TestEnvironment.h"

#include <QTemporaryDir>
#include <QtTest>

class TestNCTReading : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString fixture(const fixtures::InputKind& kind) { return fixtures::makeInput(m_dir.path(), kind); }

    static NCTSampleBlock readAll(NCTAudioFile& file)
    {
        NCTSampleBlock all;
        for (;;) {
            const NCTSampleBlock block = file.ReadSamples(44100);
            if (block.empty())
                return all;
            all.insert(all.end(), block.begin(), block.end());
        }
    }

private slots:
    void initTestCase()
    {
        if (!fixtures::toolsPresent())
            QSKIP("the ffmpeg tools are not installed");
        QVERIFY(m_dir.isValid());
    }

    void inputKinds_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("fileType");
        QTest::addColumn<QString>("test"); // which Is... test must be the one that is true
        const QList<fixtures::InputKind> kinds = fixtures::inputKinds();
        for (int i = 0; i < kinds.size(); ++i) {
            const QString name = QString::fromLatin1(kinds[i].name);
            int type = NCTAudioInfo::FileTypeWave;
            QString test = QStringLiteral("wave");
            if (name.startsWith(QLatin1String("mp"))) {
                type = NCTAudioInfo::FileTypeMpeg;
                test = name.startsWith(QLatin1String("mp2")) ? QStringLiteral("layer2") : QStringLiteral("layer3");
            } else if (name == QLatin1String("ogg")) {
                type = NCTAudioInfo::FileTypeOgg;
                test = QStringLiteral("ogg");
            } else if (name == QLatin1String("wma")) {
                type = NCTAudioInfo::FileTypeWindowsMedia;
                test = QStringLiteral("wma");
            }
            QTest::newRow(kinds[i].name) << i << type << test;
        }
    }

    // Classification is by content, and the exact length is what the decoder
    // delivers. (Rate, channels, tag, bit rate and length against the ffmpeg
    // tools are checked through the format probe, which passes them on.)
    void inputKinds()
    {
        QFETCH(int, index);
        QFETCH(int, fileType);
        QFETCH(QString, test);
        const fixtures::InputKind kind = fixtures::inputKinds().at(index);
        const QString path = fixture(kind);
        QVERIFY(!path.isEmpty());

        NCTAudioInfo info;
        info.setExactLength(true);
        QVERIFY2(info.OpenFile(path), qPrintable(info.lastError()));
        QCOMPARE(info.FileType(), fileType);
        QCOMPARE(info.IsWave(path), test == QLatin1String("wave"));
        QCOMPARE(info.IsMpegLayer2(path), test == QLatin1String("layer2") || kind.name == QByteArray("wav_mpeg2"));
        QCOMPARE(info.IsMpegLayer3(path), test == QLatin1String("layer3") || kind.name == QByteArray("wav_mpeg3"));
        QCOMPARE(info.IsOgg(path), test == QLatin1String("ogg"));
        QCOMPARE(info.IsWma(path), test == QLatin1String("wma"));

        NCTAudioFile file;
        file.setExactLength(true);
        QVERIFY2(file.OpenFile(path, 0, 1), qPrintable(file.lastError()));
        const qint64 length = file.LengthSamples();
        const NCTSampleBlock all = readAll(file);
        QCOMPARE(qint64(all.size()) / kind.tone.channels, length);
        QCOMPARE(qint64(info.Samples()), length);
        QCOMPARE(file.DurationMs(), qRound64(length * 1000.0 / kind.tone.sampleRate));

        // Any position is reached exactly, backwards as well as forwards.
        for (const qint64 position : {length - 1000, qint64(12345), qint64(1), qint64(0), length / 2}) {
            QVERIFY(file.SetPosition(position, NCTAudioFile::PositionSamples));
            const NCTSampleBlock block = file.ReadSamples(1000);
            const auto from = all.begin() + position * kind.tone.channels;
            QCOMPARE(qint64(block.size()), qint64(1000) * kind.tone.channels);
            QVERIFY2(std::equal(block.begin(), block.end(), from), qPrintable(QString::number(position)));
        }
        QVERIFY(file.Close());
    }

    // The name of a file says nothing about what is in it.
    void contentNotName()
    {
        const fixtures::InputKind mp3 = fixtures::inputKinds().at(10);
        const QString real = fixture(mp3);
        const QString disguised = m_dir.filePath(QStringLiteral("song.wav"));
        QVERIFY(QFile::copy(real, disguised));
        NCTAudioInfo info;
        QVERIFY(info.OpenFile(disguised));
        QCOMPARE(info.FileType(), qint16(NCTAudioInfo::FileTypeMpeg));
        QVERIFY(!info.IsWave(disguised));
        QVERIFY(info.IsMpegLayer3(disguised));

        const QString text = m_dir.filePath(QStringLiteral("notes.mp3"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("These are not sounds, just some words in a text file.\n").repeated(200));
        file.close();
        QVERIFY(!info.OpenFile(text));
        QVERIFY(!info.lastError().isEmpty());
        QVERIFY(!info.IsMpegLayer3(text));
    }

    void tags_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("emptyChunks"); // appended after the audio
        QTest::addColumn<bool>("tagsRead");
        QTest::newRow("MP3 with ID3v2") << "tags.mp3" << "-c:a libmp3lame" << 0 << true;
        QTest::newRow("WAV with RIFF INFO") << "tags.wav" << "-c:a pcm_s16le" << 0 << true;
        // Would catch a WAV of endless empty chunks handed whole to the tag
        // library, which keeps a record of each: seconds and hundreds of
        // megabytes for a million of them.
        QTest::newRow("WAV with RIFF INFO and 5000 empty chunks")
            << "chunky.wav" << "-c:a pcm_s16le" << 5000 << false;
    }

    void tags()
    {
        QFETCH(QString, file);
        QFETCH(QString, arguments);
        QFETCH(int, emptyChunks);
        QFETCH(bool, tagsRead);
        TestWav tone;
        tone.seconds = 0.5;
        const QString path = fixtures::makeAudio(
            m_dir.filePath(file), tone,
            arguments.split(QLatin1Char(' '))
                + QStringList{"-metadata", "title=Breakfast News", "-metadata", "artist=Newsroom", "-metadata",
                              "album=Bulletins"});
        QVERIFY(!path.isEmpty());
        if (emptyChunks > 0) {
            QFile wav(path);
            QVERIFY(wav.open(QIODevice::ReadWrite));
            wav.seek(wav.size());
            wav.write(RiffBytes::chunk("junk", {}).repeated(emptyChunks));
            wav.seek(4);
            wav.write(RiffBytes::le32(quint32(wav.size() - 8)));
        }
        NCTAudioInfo info;
        QVERIFY(info.OpenFile(path));
        QCOMPARE(info.TitleTag(), tagsRead ? QStringLiteral("Breakfast News") : QString());
        QCOMPARE(info.ArtistTag(), tagsRead ? QStringLiteral("Newsroom") : QString());
        QCOMPARE(info.AlbumTag(), tagsRead ? QStringLiteral("Bulletins") : QString());
    }

    // A WAV whose data chunk claims more than the file holds, and an MP3 cut off
    // in the middle of a frame: the length is what really decodes.
    void damagedFilesLengths()
    {
        TestWav tone;
        tone.seconds = 2.0;
        QByteArray wav = tone.bytes();
        wav.chop(44100); // the header still says 2 seconds
        const QString shortWav = m_dir.filePath(QStringLiteral("short.wav"));
        QFile out(shortWav);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(wav);
        out.close();

        const QString mp3 = fixture(fixtures::inputKinds().at(10));
        QFile full(mp3);
        QVERIFY(full.open(QIODevice::ReadOnly));
        const QByteArray bytes = full.readAll();
        full.close();
        QStringList damaged{shortWav};
        for (const int extra : {0, 3, 5, 77, 300}) {
            damaged << m_dir.filePath(QStringLiteral("cut%1.mp3").arg(extra));
            QFile cutFile(damaged.last());
            QVERIFY(cutFile.open(QIODevice::WriteOnly));
            cutFile.write(bytes.left(bytes.size() / 2 + extra));
        }

        for (const QString& path : damaged) {
            NCTAudioFile file;
            file.setExactLength(true);
            QVERIFY(file.OpenFile(path));
            const qint64 length = file.LengthSamples();
            QCOMPARE(qint64(readAll(file).size()) / 2, length);
            QCOMPARE(fixtures::toolDecodedFrames(path, 2), length);
            QVERIFY(length > 0);
        }
    }
};

ORVANE_TEST_MAIN(TestNCTReading)
#include "tst_NCTReading.moc"
