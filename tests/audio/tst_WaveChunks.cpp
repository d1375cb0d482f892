#include "audio/BextChunk.h"
#include "audio/CartChunk.h"
#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/RiffBytes.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QFileInfo>
#include <QtEndian>
#include <QStandardPaths>

using namespace RiffBytes;

namespace {
// Offsets of the cart chunk's fixed fields that the tests fill.
enum CartOffset {
    AtVersion = 0, AtTitle = 4, AtArtist = 68, AtCutID = 132, AtOutCue = 388, AtStartDate = 452, AtStartTime = 462,
    AtEndTime = 480, AtUserDef = 616, AtLevelReference = 680, AtPostTimer = 684, AtURL = 1024,
};

void put(QByteArray& layout, int offset, const QByteArray& bytes) { layout.replace(offset, bytes.size(), bytes); }

QByteArray wave(const QByteArray& chunks)
{
    return riff("WAVE", chunk("fmt ", pcmFormat(1, 8000, 8)) + chunks + chunk("data", QByteArray(8, '\x80')));
}

QString spaces(int width) { return QString(width, QLatin1Char(' ')); }
} // namespace

class TestWaveChunks : public QObject
{
    Q_OBJECT

private slots:
    void readsACartChunk()
    {
        QByteArray cart(CartChunk::FixedSize, '\0');
        put(cart, AtVersion, "0101");
        put(cart, AtTitle, "Morning");
        const QByteArray artist64(64, 'A');
        put(cart, AtArtist, artist64);
        put(cart, AtCutID, "CUT-7");
        put(cart, AtOutCue, "...and that's the news");
        put(cart, AtStartDate, "2024/05/06");
        put(cart, AtStartTime, "07:08:09");
        put(cart, AtEndTime, "23:59:59");
        put(cart, AtUserDef, "user\0hidden");
        put(cart, AtLevelReference, le32(32768));
        put(cart, AtPostTimer, "SEC1" + le32(44100) + "EOD " + le32(0xFFFFFFFE));
        put(cart, AtURL, "http://example.org/cut7");
        const QByteArray tag = QByteArray("tag text\r\nline two") + '\0' + "after the NUL";

        const QString path = TestEnvironment::writeFile(QStringLiteral("cart.wav"), wave(chunk("cart", cart + tag)));
        CartChunk read;
        QString tagText;
        QVERIFY(ReadCartChunk(path, read, tagText));

        QCOMPARE(read.Version, QStringLiteral("0101"));
        QCOMPARE(read.Title, QStringLiteral("Morning").leftJustified(64));
        QCOMPARE(read.Artist, QString::fromLatin1(artist64));
        QCOMPARE(read.CutID.trimmed(), QStringLiteral("CUT-7"));
        QCOMPARE(read.ClientID, spaces(64));
        QCOMPARE(read.OutCue.trimmed(), QStringLiteral("...and that's the news"));
        QCOMPARE(read.StartDate, QStringLiteral("2024/05/06"));
        QCOMPARE(read.StartTime, QStringLiteral("07:08:09"));
        QCOMPARE(read.EndTime, QStringLiteral("23:59:59"));
        QCOMPARE(read.UserDef, QStringLiteral("user").leftJustified(64));
        QCOMPARE(read.LevelReference, 32768);
        QCOMPARE(read.PostTimer[0].Usage, QStringLiteral("SEC1"));
        QCOMPARE(read.PostTimer[0].Value, 44100);
        QCOMPARE(read.PostTimer[1].Usage, QStringLiteral("EOD "));
        QCOMPARE(read.PostTimer[1].Value, -2);
        QCOMPARE(read.PostTimer[2].Value, 0);
        QCOMPARE(read.Reserved, spaces(276));
        QCOMPARE(read.URL.trimmed(), QStringLiteral("http://example.org/cut7"));
        QCOMPARE(read.URL.size(), 1024);
        // Tag text ends at its first NUL.
        QCOMPARE(tagText, QStringLiteral("tag text\r\nline two"));

        // The file has no bext chunk.
        BextChunk bext;
        QString history;
        QVERIFY(!ReadBextChunk(path, bext, history));
    }

    void readsTextAsTheStationWroteIt_data()
    {
        QTest::addColumn<QByteArray>("first");  // cart Title, its tag text, bext Description
        QTest::addColumn<QByteArray>("second"); // cart Artist, bext Originator and coding history
        QTest::addColumn<QString>("firstText");
        QTest::addColumn<QString>("secondText");

        const QByteArray curly1252("Don\x92t Stop \x96 Live");
        const QByteArray curlyUtf8("Don\xE2\x80\x99t Stop \xE2\x80\x93 Live");
        const QString curly = QString::fromUtf8("Don’t Stop – Live");
        const QString beyonce = QString::fromUtf8("Beyoncé");
        QTest::newRow("Windows-1252") << curly1252 << QByteArray("Beyonc\xE9") << curly << beyonce;
        QTest::newRow("UTF-8") << curlyUtf8 << QByteArray("Beyonc\xC3\xA9") << curly << beyonce;
        QTest::newRow("UTF-8 beside 1252") << curlyUtf8 << QByteArray("Beyonc\xE9") << curly << beyonce;
        QTest::newRow("bytes left after the NUL") << QByteArray("Beyonc\xC3\xA9\0\xFF\x92", 11) << curly1252 << beyonce
                                                  << curly;
    }

    void readsTextAsTheStationWroteIt()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QString, firstText);
        QFETCH(QString, secondText);

        QByteArray cart(CartChunk::FixedSize, '\0');
        put(cart, AtTitle, first);
        put(cart, AtArtist, second);
        QByteArray bext(BextChunk::FixedSize, '\0');
        put(bext, 0, first);
        put(bext, 256, second);
        const QString path = TestEnvironment::writeFile(QStringLiteral("text.wav"),
                                                        wave(chunk("cart", cart + first) + chunk("bext", bext + second)));

        CartChunk readCart;
        QString tagText;
        QVERIFY(ReadCartChunk(path, readCart, tagText));
        QCOMPARE(readCart.Title, firstText.leftJustified(64));
        QCOMPARE(readCart.Artist.trimmed(), secondText);
        QCOMPARE(tagText, firstText);
        BextChunk readBext;
        QString history;
        QVERIFY(ReadBextChunk(path, readBext, history));
        QCOMPARE(readBext.Description.trimmed(), firstText);
        QCOMPARE(readBext.Originator.trimmed(), secondText);
        QCOMPARE(history, secondText);
    }

    void readsShortCartChunks_data()
    {
        QTest::addColumn<int>("chunkSize");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("url");

        QTest::newRow("fixed part only") << 2048 << QString(64, QLatin1Char('T')) << QString(64, QLatin1Char('B'))
                                         << QString(1024, QLatin1Char('U'));
        QTest::newRow("odd size, 99 bytes") << 99 << QString(64, QLatin1Char('T')) << QString(31, QLatin1Char('B')) + spaces(33)
                                            << spaces(1024);
        QTest::newRow("version only") << 4 << spaces(64) << spaces(64) << spaces(1024);
    }

    void readsShortCartChunks()
    {
        QFETCH(int, chunkSize);
        QFETCH(QString, title);
        QFETCH(QString, artist);
        QFETCH(QString, url);

        // Every byte of the fixed part filled, no NULs, then cut to chunkSize.
        QByteArray cart(CartChunk::FixedSize, 'x');
        put(cart, AtVersion, "0101");
        put(cart, AtTitle, QByteArray(64, 'T'));
        put(cart, AtArtist, QByteArray(64, 'B'));
        put(cart, AtURL, QByteArray(1024, 'U'));
        const QString path = TestEnvironment::writeFile(QStringLiteral("short-cart.wav"), wave(chunk("cart", cart.left(chunkSize))));

        CartChunk read;
        QString tagText = QStringLiteral("stale");
        QVERIFY(ReadCartChunk(path, read, tagText));
        QCOMPARE(read.Version, QStringLiteral("0101"));
        QCOMPARE(read.Title, title);
        QCOMPARE(read.Artist, artist);
        QCOMPARE(read.URL, url);
        QCOMPARE(tagText, QString());
        if (chunkSize < AtLevelReference) {
            QCOMPARE(read.LevelReference, 0);
            for (const CartPostTimer& timer : read.PostTimer) {
                QCOMPARE(timer.Usage, spaces(4));
                QCOMPARE(timer.Value, -1);
            }
        }
    }

    void keepsAtMost32000CharactersOfText()
    {
        const QByteArray text(40000, 'h');
        const QString path = TestEnvironment::writeFile(QStringLiteral("long.wav"), wave(chunk("cart", QByteArray(2048, ' ') + text)
                                                                           + chunk("bext", QByteArray(602, ' ') + text)));
        CartChunk cart;
        QString tagText;
        QVERIFY(ReadCartChunk(path, cart, tagText));
        QCOMPARE(tagText, QString(32000, QLatin1Char('h')));
        BextChunk bext;
        QString history;
        QVERIFY(ReadBextChunk(path, bext, history));
        QCOMPARE(history, QString(32000, QLatin1Char('h')));
    }

    void readsABextChunkWrittenByAnotherTool()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("ffmpeg is not installed");
        const QString path = fixtures::makeAudio(
            TestEnvironment::instance()->root() + QStringLiteral("/tmp/bext.wav"), TestWav{.seconds = 0.2},
            {"-write_bext", "1", "-metadata", "description=News at ten", "-metadata", "originator=Studio 2",
             "-metadata", "originator_reference=REF123", "-metadata", "origination_date=2024-05-06",
             "-metadata", "origination_time=07:08:09", "-metadata", "time_reference=123456789012",
             "-metadata", "umid=0x060A2B340101010101010F0013000000",
             "-metadata", "coding_history=A=PCM,F=44100,W=16,M=stereo"});
        QVERIFY(!path.isEmpty());

        BextChunk bext;
        QString history;
        QVERIFY(ReadBextChunk(path, bext, history));
        QCOMPARE(bext.Description, QStringLiteral("News at ten").leftJustified(256));
        QCOMPARE(bext.Originator.trimmed(), QStringLiteral("Studio 2"));
        QCOMPARE(bext.OriginatorReference.trimmed(), QStringLiteral("REF123"));
        QCOMPARE(bext.OriginationDate, QStringLiteral("2024-05-06"));
        QCOMPARE(bext.OriginationTime, QStringLiteral("07:08:09"));
        QCOMPARE(quint64(bext.TimeReferenceHigh) << 32 | bext.TimeReferenceLow, 123456789012ull);
        QVERIFY(bext.Version >= 1);
        QCOMPARE(bext.UMID.left(4), QByteArray("\x06\x0A\x2B\x34"));
        QCOMPARE(bext.UMID.size(), 64);
        QVERIFY2(history.startsWith(QStringLiteral("A=PCM,F=44100,W=16,M=stereo")), qPrintable(history));

        CartChunk cart;
        QString tagText;
        QVERIFY(!ReadCartChunk(path, cart, tagText));
    }

    void keepsNulsInTheCodingHistory()
    {
        QByteArray bext(BextChunk::FixedSize, '\0');
        put(bext, 0, "Short description");
        put(bext, 422, "reserved\0stays"); // left as read, NULs and all
        const QByteArray history = QByteArray("A=PCM") + '\0' + "after";
        const QString path = TestEnvironment::writeFile(QStringLiteral("nul-history.wav"), wave(chunk("bext", bext + history)));

        BextChunk read;
        QString codingHistory;
        QVERIFY(ReadBextChunk(path, read, codingHistory));
        QCOMPARE(read.Description, QStringLiteral("Short description").leftJustified(256));
        QCOMPARE(codingHistory, QString::fromLatin1(history));
        QCOMPARE(read.Reserved.size(), 180);
        QCOMPARE(read.Reserved.left(8), QStringLiteral("reserved"));
        QCOMPARE(read.Reserved.at(8), QChar(0));
    }

    // The store writes a cart's loudness into its WAV: into the chunk a file
    // brings (keeping its text), or a chunk of its own after the audio.
    // Catches a wrong field offset or scale, a RIFF size left short (other
    // tools then never see the chunk), and audio bytes disturbed.
    void writesLoudnessIntoTheBextChunk_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("description");
        QByteArray bext(BextChunk::FixedSize, '\0');
        put(bext, 0, "Kept");
        put(bext, 346, QByteArray("\1\0", 2));
        QTest::newRow("version 1 chunk") << wave(chunk("bext", bext + "A=PCM")) << QStringLiteral("Kept");
        QTest::newRow("no chunk") << wave({}) << QString();
    }

    void writesLoudnessIntoTheBextChunk()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, description);
        const QString path = TestEnvironment::writeFile(QStringLiteral("loudness.wav"), bytes);
        const LoudnessValues loudness{-23.04, 7.5, -1.26, -15.5, -19.99};
        QVERIFY(WriteBextLoudness(path, loudness));

        BextChunk read;
        QString history;
        QVERIFY(ReadBextChunk(path, read, history));
        QCOMPARE(read.Version, quint16(2));
        QCOMPARE(read.Description.trimmed(), description);
        QCOMPARE(read.Loudness, loudness);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QCOMPARE(qFromLittleEndian<quint32>(written.constData() + 4), quint32(written.size() - 8));
        const qsizetype audio = bytes.indexOf("data");
        QCOMPARE(written.mid(audio, bytes.size() - audio), bytes.mid(audio));

        QVERIFY(WriteBextLoudness(path, {.integrated = -16.0}));
        QVERIFY(ReadBextChunk(path, read, history));
        QCOMPARE(read.Loudness, LoudnessValues{.integrated = -16.0});
        QCOMPARE(QFileInfo(path).size(), written.size());
    }

    // A file whose sizes do not add up is not the store's to mend.
    void leavesAFileWithWrongSizesAlone()
    {
        QByteArray bytes = wave({});
        bytes.chop(3);
        const QString path = TestEnvironment::writeFile(QStringLiteral("cut.wav"), bytes);
        QVERIFY(!WriteBextLoudness(path, {.integrated = -23.0}));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }

    void answersFalseForHostileFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");

        const QByteArray cart(2048, 'c');
        const QByteArray bext(602, 'b');
        QTest::newRow("chunks of size 0") << wave(chunk("cart", {}) + chunk("bext", {}));
        QTest::newRow("size 0xFFFFFFFF")
            << riff("WAVE", chunkClaiming("cart", 0xFFFFFFFF, cart + "tag")) + chunkClaiming("bext", 0xFFFFFFFF, bext);
        QTest::newRow("size 0x80000000") << riff("WAVE", chunkClaiming("bext", 0x80000000, bext + "history"));
        QTest::newRow("fixed part cut short by the end of the file")
            << riff("WAVE", chunkClaiming("cart", 2048, cart.left(1000)));
        QTest::newRow("chunk beyond the end of its RIFF") << QByteArray("RIFF" + le32(4) + "WAVE" + chunk("cart", cart));
        QTest::newRow("AVI with the chunks") << riff("AVI ", chunk("cart", cart) + chunk("bext", bext));
        QTest::newRow("text renamed .wav") << QByteArray("TITLE,ARTIST\r\nSong,Band\r\n");
        QTest::newRow("cut inside the RIFF header") << QByteArray("RIFF\x10\0\0\0WAV");
        QTest::newRow("empty file") << QByteArray();
    }

    void answersFalseForHostileFiles()
    {
        QFETCH(QByteArray, bytes);
        const QString path = TestEnvironment::writeFile(QStringLiteral("hostile.wav"), bytes);

        // Out-arguments come back reset, whatever they held.
        CartChunk cart;
        cart.Title = QStringLiteral("stale");
        cart.PostTimer[3].Value = 7;
        QString tagText = QStringLiteral("stale");
        QVERIFY(!ReadCartChunk(path, cart, tagText));
        QCOMPARE(cart.Title, spaces(64));
        QCOMPARE(cart.PostTimer[3].Value, -1);
        QCOMPARE(tagText, QString());

        BextChunk bext;
        bext.Version = 9;
        QString history = QStringLiteral("stale");
        QVERIFY(!ReadBextChunk(path, bext, history));
        QCOMPARE(bext.Version, quint16(0));
        QCOMPARE(history, QString());

        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QVERIFY(!ReadCartChunk(buffer, cart, tagText));
        QVERIFY(!ReadBextChunk(buffer, bext, history));
    }
};

ORVANE_TEST_MAIN(TestWaveChunks)
#include "tst_WaveChunks.moc"
