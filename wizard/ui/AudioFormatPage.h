#pragma once
#include <QWidget>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Page 5: the format the audio is stored in and whether its level is
// normalised.
class AudioFormatPage : public QWidget
{
    Q_OBJECT
public:
    explicit AudioFormatPage(QWidget* parent = nullptr);

    QRadioButton* optAudioFormatDefault = nullptr;
    QLabel* lblAudioFormatDefaultDescription = nullptr;
    QRadioButton* optAudioFormatConvert = nullptr;
    QWidget* fraAudioFormatConvert = nullptr; // the convert group
    QLabel* lblAudioFormatConvert = nullptr;
    QPushButton* cmdAudioFormatConvert = nullptr;
    QRadioButton* optAudioFormatLeave = nullptr;
    QLabel* lblAudioFormatLeaveDescription = nullptr;
    QCheckBox* chkNormalise = nullptr;
    QWidget* fraNormalise = nullptr; // the normalise group
    QLabel* lblNormalise = nullptr;
    QLineEdit* txtNormalise = nullptr;
    QPushButton* cmdNormaliseDefault = nullptr;
    // Instead of the percentage: a loudness, under the store's true-peak
    // ceiling (shown beside it).
    QCheckBox* chkNormaliseLoudness = nullptr;
    QDoubleSpinBox* spnLoudnessTarget = nullptr;
    QLabel* lblTruePeakCeiling = nullptr;

    void showTruePeakCeiling(double dbtp);

    // Run each time the page is shown. A ripped track always has to be
    // converted from the CD's audio, and a linked file is used as it is.
    void applySourceRules(bool rippingCD, bool linking);

    // What the percentage field holds once it is left: its leading number,
    // rounded to a whole number (halves to even) and kept within 1..100.
    static QString normalisedPercentage(const QString& text);

signals:
    // cmdAudioFormatConvert was pressed: the window owns the format to choose.
    void formatChoiceRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFormatChoices();
    void buildNormalise();
    QWidget* buildLoudnessRow();
    void applyFormatRule();
    void applyNormaliseRule();
    void restoreNormaliseDefault();
    bool filterNormaliseKey(class QKeyEvent* event);
};
