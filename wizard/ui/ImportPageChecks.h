#pragma once
#include <QString>


class frmImportAudio;

// What is checked when the user leaves a page with Next or Back: a move may
// be refused with a message, and some moves are made by the window itself,
// so that the files path skips the CD page and the CD path the files page.
class ImportPageChecks
{
public:
    explicit ImportPageChecks(frmImportAudio& window);

    // `cancel` set: the frame stays, or the window has moved it already.
    void leaving(int pageNumber, int direction, bool& cancel);

private:
    void leaveChoose(bool& cancel);
    void leaveImportFiles(bool& cancel);
    void leaveRipCD(bool& cancel);
    void leaveHDRefs(bool& cancel);
    void backFromHDRefs(bool& cancel);
    void leaveAudioFormat(bool& cancel);
    void leaveSummary(bool& cancel);
    void moveTo(int pageNumber, int direction, bool& cancel);
    static void refuse(const QString& message, bool& cancel);

    frmImportAudio& m_window;
};
