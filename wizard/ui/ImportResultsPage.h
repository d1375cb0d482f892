#pragma once
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// Page 7: a run in progress: what it is doing, how far it is, and every
// step's result.
class ImportResultsPage : public QWidget
{
    Q_OBJECT
public:
    explicit ImportResultsPage(QWidget* parent = nullptr);

    QLabel* lblCurrentStatus = nullptr;
    QProgressBar* prgCurrent = nullptr;
    QProgressBar* prgOverall = nullptr;
    QPlainTextEdit* txtResults = nullptr;
    QPushButton* cmdStopImport = nullptr;

    // Empty status and results, both bars at 0: how a run starts.
    void reset();
    void setStatus(const QString& status);
    // Appends `text`, ending the line when asked, and keeps the end in view.
    void appendResult(const QString& text, bool endOfLine);
};
