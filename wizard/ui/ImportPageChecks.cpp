#include "wizard/ui/ImportPageChecks.h"

#include "frame/Messenger.h"
#include "frame/library/FileTools.h"
#include "platform/wizardframe/WizardFrame.h"
#include "wizard/ImportItemList.h"
#include "wizard/ImportOptionRules.h"
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
        refuse(QStringLiteral("You must select where to import the audio from"), cancel);
}

void ImportPageChecks::leaveImportFiles(bool& cancel)
{
    const FileImportOptions options = m_window.importOptions();
    bool anyTicked = false;
    for (const ImportItem& row : m_window.fileList().items()) {
        if (!row.Checked)
            continue;
        anyTicked = true;
        if (const QString why = ImportOptionRules::linkable(options, row.field(QStringLiteral("FILENAME"))); !why.isEmpty()) {
            refuse(why, cancel);
            return;
        }
    }
    if (anyTicked)
        moveTo(frmImportAudio::PageHDRefs, kNext, cancel);
    else
        refuse(QStringLiteral("You must select at least one file to be imported"), cancel);
}

void ImportPageChecks::leaveRipCD(bool& cancel)
{
    if (m_window.cdTrackList().firstChecked() >= 0) {
        moveTo(frmImportAudio::PageHDRefs, kNext, cancel);
        return;
    }
    // No drive polling behind a message box: it would re-read the disc.
    m_window.tmrCD->stop();
    refuse(QStringLiteral("You must select at least one track to be 'ripped'"), cancel);
    m_window.tmrCD->start();
}

void ImportPageChecks::leaveHDRefs(bool& cancel)
{
    // The number itself is checked when the summary allocates the carts.
    if (m_window.fraHDRefs->optAssignHDRefs->isChecked() && m_window.fraHDRefs->txtInitialHDRef->text().trimmed().isEmpty())
        refuse(QStringLiteral("You must enter the first Cart Number to import into"), cancel);
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
    const FileImportOptions options = m_window.importOptions();
    const bool keepFormat = options.format == FileImportOptions::Format::Leave;
    if (const QString why = ImportOptionRules::ripping(options); m_window.fraChoose->optRipCD->isChecked() && !why.isEmpty()) {
        refuse(why, cancel);
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
    if (const QString why = ImportOptionRules::linkingKeepsAudio(options); !why.isEmpty())
        refuse(why, cancel);
    // The field keeps its level in range only once it is left; Enter on it
    // moves on without leaving it.
    else if (const QString level = ImportOptionRules::level(options); !level.isEmpty())
        refuse(level, cancel);
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

void ImportPageChecks::refuse(const QString& message, bool& cancel)
{
    ShowMessage(message, MessageIcon::Exclamation, MessageButtons::Ok);
    cancel = true;
}
