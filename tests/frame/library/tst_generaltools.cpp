#include "frame/GetParameter.h"
#include "frame/library/AudioFormat.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/TimeTools.h"
#include "tests/support/TestEnvironment.h"

// Tag texts, format texts and the small text helpers everything leans on.
class GeneralToolsTest : public QObject
{
    Q_OBJECT

private slots:
    void setParameterReadsBackWhole_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("plain") << "Song" << "Song";
        QTest::newRow("blanks") << "My Song Title" << "My Song Title";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("quote without blank") << "12\"mix" << "12\"mix";
        QTest::newRow("quote with blank") << "The \"Best\" Of" << "The \"Best\" Of";
        QTest::newRow("leading quote") << "\"Live\"" << "\"Live\"";
        QTest::newRow("another tag's name") << "ItemArtist=x" << "ItemArtist=x";
        QTest::newRow("equals sign") << "a=b" << "a=b";
        QTest::newRow("unicode") << QString::fromUtf8("Sigur Rós – Hoppípolla") << QString::fromUtf8("Sigur Rós – Hoppípolla");
    }

    void setParameterReadsBackWhole()
    {
        QFETCH(QString, value);
        QFETCH(QString, readBack);
        QString text = GeneralTools::SetParameter("FileName=\"/in/a b.wav\"", "ItemTitle", value);
        text = GeneralTools::SetParameter(text, "ItemArtist", "Someone Else");
        QCOMPARE(GetParameter(text, "ItemTitle"), readBack);
        QCOMPARE(GetParameter(text, "ItemArtist"), QString("Someone Else"));
        QCOMPARE(GetParameter(text, "FileName"), QString("/in/a b.wav"));
        // Setting again replaces in place instead of adding a second entry.
        text = GeneralTools::SetParameter(text, "itemtitle", "Second");
        QCOMPARE(GetParameter(text, "ItemTitle"), QString("Second"));
        QCOMPARE(text.count("ItemTitle=", Qt::CaseInsensitive), 1);
    }

    void getParameterRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("quoted with blank") << "/SILENT /Profile=\"Studio 2\" /DEBUG" << "/profile" << "Studio 2";
        QTest::newRow("last without delimiter") << "/DEBUG /Profile=Studio" << "/Profile" << "Studio";
        QTest::newRow("case kept") << "/PROFILE=MixedCase " << "/profile" << "MixedCase";
        QTest::newRow("absent") << "/SILENT " << "/Profile" << "";
        QTest::newRow("unclosed quote") << "Title=\"open end" << "Title" << "open end";
        QTest::newRow("empty value") << "A= B=2" << "A" << "";
        QTest::newRow("only at an entry's start") << "ItemTitle=Foo Title=Bar" << "Title" << "Bar";
        QTest::newRow("not inside a quoted value") << "FileName=\"/in/Title=x y.wav\" Title=Real" << "Title" << "Real";
    }

    void getParameterRules()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QCOMPARE(GetParameter(text, name), value);
    }

    void audioFormatSettingsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("description");
        QTest::newRow("pcm") << "FormatType=2 SampleRate=48000 Channels=2 FormatTag=1 BitsPerSample=16" << true
                             << "PCM 16 bit 48 kHz Stereo";
        QTest::newRow("mp3 defaults fill in") << "FormatType=32 BitRate=128 SampleRate=44100" << true
                                              << "MPEG Layer 3 128 kbit/s 44.1 kHz Stereo";
        QTest::newRow("adpcm mono") << "FormatType=2 FormatTag=17 SampleRate=22050 Channels=1" << true
                                    << "IMA ADPCM 22.05 kHz Mono";
        QTest::newRow("ogg") << "FormatType=16 Quality=7" << true << "Ogg Vorbis quality 7 48 kHz Stereo";
        QTest::newRow("unknown type") << "FormatType=3" << false << "";
        QTest::newRow("not a number") << "SampleRate=fast" << false << "";
        QTest::newRow("zero rate") << "SampleRate=0" << false << "";
    }

    void audioFormatSettingsText()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(QString, description);
        AudioFormat format;
        format.FormatType = aftWMA;
        const AudioFormat before = format;
        QCOMPARE(format.setSettingsText(text), accepted);
        if (!accepted) {
            QCOMPARE(format, before);
            return;
        }
        QCOMPARE(format.Description(), description);
        format.CodecData = "codec \"private\" data";
        AudioFormat copy;
        QVERIFY(copy.setSettingsText(format.SettingsText()));
        QCOMPARE(copy.Description(), format.Description());
        QCOMPARE(copy.SettingsText(), format.SettingsText());
    }

    void numbersAndTimes()
    {
        QCOMPARE(GeneralTools::LimitLong(150, 1, 100), 100);
        QCOMPARE(GeneralTools::LimitLong(-5, 0, 100), 0);
        QCOMPARE(GeneralTools::RoundHalfEven(2.5), qint64(2));
        QCOMPARE(GeneralTools::RoundHalfEven(3.5), qint64(4));
        QCOMPARE(GeneralTools::LeadingNumber("12abc"), 12.0);
        QCOMPARE(GeneralTools::LeadingNumber("abc"), 0.0);
        QCOMPARE(GeneralTools::TimeTextToSeconds("00:01:23.04"), 83.04);
        QCOMPARE(GeneralTools::TimeTextToSeconds("nonsense"), 0.0);
        QCOMPARE(TimeTools::FormatDuration(83.04), QString("1:23.04"));
        QCOMPARE(TimeTools::FormatDuration(3723.5), QString("1:02:03.50"));
        QCOMPARE(GeneralTools::FilterKey('7', 1), int('7'));
        QCOMPARE(GeneralTools::FilterKey('x', 1), 0);
        QCOMPARE(GeneralTools::FilterKey(8, 1), 8);
        QCOMPARE(GeneralTools::PadText("42", 5), QString("   42"));
    }

    void filePaths()
    {
        QCOMPARE(FileTools::GetExtension("/in/Song.Mix.MP3"), QString("MP3"));
        QCOMPARE(FileTools::GetExtension("/in.dir/Song"), QString());
        QCOMPARE(FileTools::GetBaseName("/in/Jingle 42.wav"), QString("Jingle 42"));
        QCOMPARE(FileTools::GetFolder("/in/sub/a.wav"), QString("/in/sub"));
        QCOMPARE(FileTools::GetFolder("/in/sub/a.wav", 1), QString("/in/sub/"));
        QCOMPARE(FileTools::GetFileName("C:\\In\\Song.mp3"), QString("Song.mp3"));
        QVERIFY(FileTools::GetFileLength("/no/such/file") < 0);
    }
};

ORVANE_TEST_MAIN(GeneralToolsTest)
#include "tst_generaltools.moc"
