#include "wizard/ui/ImportPageChecks.h"

#include "frame/Messenger.h"
#include "frame/library/FileTools.h"
#include "platform/wizardframe/WizardFrame.h"
#include "wizard/ImportItemList.h"
#include "wizard/ui/AudioFormatPage.h"
#include "wizard/ui/CartAllocationPage.h"
#include "wizard/ui/ChooseSourcePage.h"
#include "wizard/ui/ImportFilesPage.h"
#include "wizard/ui/frmImportAudio.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int kNext = WizardFrame::DirectionNext;
constexpr int kBack = WizardFrame::DirectionBack;

QString upperExtension(const ImportItem& row) { return FileTools::GetExtension(row.field(QStringLiteral("FILENAME"))).toUpper(); }
} // namespace

ImportPageChecks::ImportPageChecks(frmImportAudio& window)
    : m_window(window)
{
}

void ImportPageChecks::leaving(int pageNumber, int direction, bool& cancel)
{
    if (direction != kNext && direction != kBack)
        return;
    const bool next = direction == kNext;
    switch (pageNumber) {
    case frmImportAudio::PageChoose:
        if (next)
            leaveChoose(cancel);
        break;
    case frmImportAudio::PageImportFiles:
        if (next)
            leaveImportFiles(cancel);
        else
            moveTo(frmImportAudio::PageChoose, kBack, cancel);
        break;
    case frmImportAudio::PageRipCD:
        if (next)
            leaveRipCD(cancel);
        else
            moveTo(frmImportAudio::PageChoose, kBack, cancel);
        break;
    case frmImportAudio::PageHDRefs:
        if (next)
            leaveHDRefs(cancel);
        else
            backFromHDRefs(cancel);
        break;
    case frmImportAudio::PageAudioFormat:
        if (next)
            leaveAudioFormat(cancel);
        break;
    case frmImportAudio::PageSummary:
        if (next)
            leaveSummary(cancel);
        break;
    default:
        break;
    }
}

void ImportPageChecks::leaveChoose(bool& cancel)
{
    if (m_window.fraChoose->optImportFiles->isChecked())
        moveTo(frmImportAudio::PageImportFiles, kNext, cancel);
    else if (m_window.fraChoose->optRipCD->isChecked())
        moveTo(frmImportAudio::PageRipCD, kNext, cancel);
    else
        refuse("You must select where to import the audio from", cancel);
}

void ImportPageChecks::leaveImportFiles(bool& cancel)
{
    // Only a WAV file can be linked: the store plays a link as it is.
    const bool linking = m_window.fraImportFiles->chkFilesCreateLink->isChecked();
    bool anyTicked = false;
    for (const ImportItem& row : m_window.fileList().items()) {
        if (!row.Checked)
            continue;
        anyTicked = true;
        if (linking && upperExtension(row) != QLatin1String("WAV")) {
            refuse("You can only 'Link' carts to WAV Files, not other audio formats", cancel);
            return;
        }
    }
    if (anyTicked)
        moveTo(frmImportAudio::PageHDRefs, kNext, cancel);
    else
        refuse("You must select at least one file to be imported", cancel);
}

void ImportPageChecks::leaveRipCD(bool& cancel)
{
    if (m_window.cdTrackList().firstChecked() >= 0) {
        moveTo(frmImportAudio::PageHDRefs, kNext, cancel);
        return;
    }
    // No drive polling behind a message box: it would re-read the disc.
    m_window.tmrCD->stop();
    refuse("You must select at least one track to be 'ripped'", cancel);
    m_window.tmrCD->start();
}

void ImportPageChecks::leaveHDRefs(bool& cancel)
{
    // The number itself is checked when the summary allocates the carts.
    if (m_window.fraHDRefs->optAssignHDRefs->isChecked() && m_window.fraHDRefs->txtInitialHDRef->text().trimmed().isEmpty())
        refuse("You must enter the first Cart Number to import into", cancel);
}

void ImportPageChecks::backFromHDRefs(bool& cancel)
{
    if (m_window.fraChoose->optImportFiles->isChecked())
        moveTo(frmImportAudio::PageImportFiles, kBack, cancel);
    else if (m_window.fraChoose->optRipCD->isChecked())
        moveTo(frmImportAudio::PageRipCD, kBack, cancel);
}

void ImportPageChecks::leaveAudioFormat(bool& cancel)
{
    const bool keepFormat = m_window.fraAudioFormat->optAudioFormatLeave->isChecked();
    if (m_window.fraChoose->optRipCD->isChecked() && keepFormat) {
        refuse("You cannot 'Import the audio in it's current format' when ripping from cd", cancel);
        return;
    }
    // A note, not a refusal: packed carts keep the format they were packed in.
    if (m_window.fraChoose->optImportFiles->isChecked() && !keepFormat) {
        const auto& rows = m_window.fileList().items();
        const bool anyZip = std::any_of(rows.begin(), rows.end(),
                                        [](const ImportItem& row) { return upperExtension(row) == QLatin1String("ZIP"); });
        if (anyZip)
            ShowMessage(QStringLiteral("Audio imported from Transport Files cannot be converted and will be left in "
                                       "it's original format"),
                        MessageIcon::Information, MessageButtons::Ok);
    }
    if (m_window.fraImportFiles->chkFilesCreateLink->isChecked() && !keepFormat)
        refuse("You cannot convert the Audio if you are linking to the original file", cancel);
}

void ImportPageChecks::leaveSummary(bool& cancel)
{
    if (ShowMessage(QStringLiteral("Are you sure you want to import this audio"), MessageIcon::Question,
                    MessageButtons::YesNo)
        != MessageAnswer::Yes)
        cancel = true;
}

// The window shows the page itself, and the frame must not move as well.
// A page the frame does not have leaves the move to the frame.
void ImportPageChecks::moveTo(int pageNumber, int direction, bool& cancel)
{
    if (m_window.MoveToPage(pageNumber, direction))
        cancel = true;
}

void ImportPageChecks::refuse(const char* message, bool& cancel)
{
    ShowMessage(QString::fromUtf8(message), MessageIcon::Exclamation, MessageButtons::Ok);
    cancel = true;
}
