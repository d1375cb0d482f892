#include "wizard/ui/CDPageActions.h"

#include "frame/library/PlayoutAudio.h"
#include "wizard/CDTrackList.h"
#include "wizard/ImportItemList.h"
#include "wizard/ui/ImportItemView.h"
#include "wizard/ui/RipCDPage.h"
#include "wizard/ui/frmImportAudio.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CDPageActions::CDPageActions(frmImportAudio& window)
    : QObject(&window)
    , m_window(window)
    , m_sort(window.cdTrackList())
{
    RipCDPage* page = window.fraRipCD;
    connect(page->cmdCDSelectAll, &QPushButton::clicked, this, [&window] { window.cdTrackList().setAllChecked(true); });
    connect(page->cmdCDDeselectAll, &QPushButton::clicked, this, [&window] { window.cdTrackList().setAllChecked(false); });
    connect(page->chkCDArtist, &QCheckBox::clicked, this, &CDPageActions::artistRule);
    connect(page->chkCDTitle, &QCheckBox::clicked, this, &CDPageActions::titleRule);
    for (QComboBox* combo : {page->comboCDArtist, page->comboCDTitle}) {
        connect(combo, &QComboBox::activated, this, &CDPageActions::ApplyCDTitles);
        connect(combo->lineEdit(), &QLineEdit::editingFinished, this, &CDPageActions::ApplyCDTitles);
    }
    for (QComboBox* combo : {page->comboCDTitleOrder, page->comboCdTitleSeparator[0], page->comboCdTitleSeparator[1]})
        connect(combo, &QComboBox::activated, this, &CDPageActions::ApplyCDTitles);
    page->lvwCDTracks->header()->setSectionsClickable(true);
    connect(page->lvwCDTracks->header(), &QHeaderView::sectionClicked, this, &CDPageActions::sortByColumn);
}

CDTitleOptions CDPageActions::titleOptions() const
{
    const RipCDPage* page = m_window.fraRipCD;
    CDTitleOptions options;
    options.order = page->comboCDTitleOrder->currentIndex() == 1 ? CDTitleOptions::Reversed : CDTitleOptions::Normal;
    for (int i = 0; i < 2; ++i)
        options.separators[i] = page->comboCdTitleSeparator[i]->currentText();
    options.forceTitle = page->chkCDTitle->isChecked();
    options.title = page->comboCDTitle->currentText();
    options.forceArtist = page->chkCDArtist->isChecked();
    options.artist = page->comboCDArtist->currentText();
    return options;
}

void CDPageActions::ApplyCDTitles()
{
    CDTrackList::ApplyCDTitles(m_window.cdTrackList(), titleOptions(), m_window.QueryCDDBBusy != 0);
}

void CDPageActions::artistRule()
{
    const QCheckBox* box = m_window.fraRipCD->chkCDArtist;
    m_window.fraRipCD->comboCDArtist->setEnabled(box->isEnabled() && box->isChecked());
    ApplyCDTitles();
}

void CDPageActions::titleRule()
{
    const QCheckBox* box = m_window.fraRipCD->chkCDTitle;
    m_window.fraRipCD->comboCDTitle->setEnabled(box->isEnabled() && box->isChecked());
    ApplyCDTitles();
}

// Two groups, each touched only when its state changes: the lookup's
// choices follow the lookup button, the rest follows the disc.
void CDPageActions::EnableCDControls(bool enable)
{
    RipCDPage* page = m_window.fraRipCD;
    PlayoutAudio* audio = m_window.context().audio;
    const bool lookup = enable && audio && audio->Cartvault().FreeDBEnabled;
    if (page->cmdCDQueryCDDB->isEnabled() != lookup) {
        page->cmdCDQueryCDDB->setEnabled(lookup);
        for (QWidget* w : std::initializer_list<QWidget*>{
                 page->comboCDLookupService, page->comboCDRelease, page->comboCDTitleOrder, page->comboCdTitleSeparator[0], page->comboCdTitleSeparator[1],
                 page->lblCDTitleOrder, page->lblCDSeparators, page->lblCDSeparatorOr, page->cmdSearchForMatches})
            w->setEnabled(lookup);
    }
    if (page->chkCDTitle->isEnabled() == enable)
        return;
    for (QWidget* w : std::initializer_list<QWidget*>{page->cmdCDSelectAll, page->cmdCDDeselectAll, page->chkCDAutoTop,
                                                      page->chkCDTitle})
        w->setEnabled(enable);
    titleRule();
    page->chkCDArtist->setEnabled(enable);
    artistRule();
    page->cmdCDQueryCDDB->setEnabled(enable);
    page->comboCDLookupService->setEnabled(enable);
    page->comboCDRelease->setEnabled(enable);
    page->lvwCDTracks->setEnabled(enable);
    for (QWidget* w : std::initializer_list<QWidget*>{page->lblCDTitleOrder, page->lblCDSeparators, page->lblCDSeparatorOr})
        w->setEnabled(enable);
    if (enable && page->lvwCDTracks->isVisible())
        page->lvwCDTracks->setFocus();
}

// The tick column and the "#" column both sort by the row's tag text;
// every other column k (from 0) by field k. Clicking the current sort
// field again turns the order round.
void CDPageActions::sortByColumn(int column)
{
    m_sort.sortByField(column <= 1 ? 0 : column);
}
