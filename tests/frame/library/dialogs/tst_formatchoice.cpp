#include "frame/library/dialogs/FormatChoiceDialog.h"
#include "tests/support/TestEnvironment.h"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

// What a person picks in the format dialog is the format the import gets.
class FormatChoiceTest : public QObject
{
    Q_OBJECT

private slots:
    void fieldsMapToTheFormat()
    {
        FormatChoiceDialog dialog;
        AudioFormat start;
        start.CodecData = "kept";
        dialog.setFormat(start);
        QCOMPARE(dialog.findChild<QLabel*>("lblDescription")->text(), QString("PCM 16 bit 48 kHz Stereo"));

        auto* coding = dialog.findChild<QComboBox*>("comboCoding");
        coding->setCurrentIndex(coding->findText("MPEG Layer 3"));
        auto* bitRate = dialog.findChild<QComboBox*>("comboBitRate");
        QVERIFY(bitRate->isEnabled());
        QVERIFY(!dialog.findChild<QComboBox*>("comboBits")->isEnabled());
        bitRate->setCurrentIndex(bitRate->findData(192));
        auto* rate = dialog.findChild<QComboBox*>("comboSampleRate");
        rate->setCurrentIndex(rate->findData(44100));
        AudioFormat chosen = dialog.format();
        QCOMPARE(chosen.FormatType, qint32(aftMP3));
        QCOMPARE(chosen.BitRate, 192);
        QCOMPARE(chosen.SampleRate, 44100);
        QCOMPARE(chosen.CodecData, QString("kept"));
        QCOMPARE(dialog.findChild<QLabel*>("lblDescription")->text(), QString("MPEG Layer 3 192 kbit/s 44.1 kHz Stereo"));

        coding->setCurrentIndex(coding->findText("WAV (IMA ADPCM)"));
        chosen = dialog.format();
        QCOMPARE(chosen.FormatType, qint32(aftWAV));
        QCOMPARE(chosen.FormatTag, 17);

        AudioFormat ogg;
        ogg.FormatType = aftOgg;
        ogg.Quality = 8;
        ogg.Channels = 1;
        dialog.setFormat(ogg);
        QCOMPARE(dialog.findChild<QSpinBox*>("spinQuality")->value(), 8);
        QCOMPARE(dialog.format().Description(), QString("Ogg Vorbis quality 8 48 kHz Mono"));
    }

    // A destination that must be a WAV file offers only WAV codings.
    void wavOnly()
    {
        FormatChoiceDialog dialog(nullptr, aftWAV);
        auto* coding = dialog.findChild<QComboBox*>("comboCoding");
        QCOMPARE(coding->count(), 2);
        AudioFormat mp3;
        mp3.FormatType = aftMP3;
        dialog.setFormat(mp3); // not offered: the first coding stays
        QCOMPARE(dialog.format().FormatType, qint32(aftWAV));
    }
};

ORVANE_WIDGET_TEST_MAIN(FormatChoiceTest)
#include "tst_formatchoice.moc"
