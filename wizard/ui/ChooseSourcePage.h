#pragma once
#include <QWidget>

class QLabel;
class QRadioButton;

// Page 1: where the audio comes from.
class ChooseSourcePage : public QWidget
{
    Q_OBJECT
public:
    explicit ChooseSourcePage(QWidget* parent = nullptr);

    QRadioButton* optImportFiles = nullptr;
    QRadioButton* optRipCD = nullptr;
    // Offered for completeness of the station's range; this tool has no
    // pages for them, so they stay greyed out.
    QRadioButton* optCopyCartvault = nullptr;
    QRadioButton* optDownloadAudio = nullptr;

private:
    QRadioButton* addChoice(const QString& name, const QString& caption, const QString& description, bool offered);
};
