#pragma once
#include "wizard/FileImportHandler.h"

class frmImportAudio;

// The Importing page as the file import run's handler: status line, results
// text and bars, the copy job's events, and the stop button and close box,
// which reach the run through the window's flags.
class WindowImportHandler : public FileImportHandler
{
public:
    explicit WindowImportHandler(frmImportAudio& window)
        : m_window(window)
    {
    }

    void status(const QString& text) override;
    void result(const QString& text, bool endOfLine) override;
    void itemStarted(int currentItem, int itemCount) override;
    void progress(int current, int overall) override;
    void copyJob(cCopyAudioFileNCT* job) override;
    void itemDone(const QString& key, const QString& cart, Outcome outcome, const QString& error) override;
    bool stopRequested() override;

private:
    frmImportAudio& m_window;
};
