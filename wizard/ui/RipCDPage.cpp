#include "wizard/ui/RipCDPage.h"

#include "wizard/ImportItemList.h"
#include "wizard/ui/ImportItemView.h"
#include "wizard/ui/PageWidgets.h"
#include "wizard/ui/SearchControls.h"
#include "wizard/ui/SelectAllOnFocus.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

RipCDPage::RipCDPage(QWidget* parent)
    : QWidget(parent)
    , m_tracks(new ImportItemList(true, this))
{
    setObjectName(QStringLiteral("fraRipCD"));
    PageWidgets::pageLayout(this);
    buildTrackList();
    buildTitleOptions();

    chkCDAutoTop = new QCheckBox(QStringLiteral("Automatically trim the silence from the start of the Audio ('Top')"), this);
    chkCDAutoTop->setObjectName(QStringLiteral("chkCDAutoTop"));
    layout()->addWidget(chkCDAutoTop);
}

void RipCDPage::buildTrackList()
{
    lvwCDTracks = new ImportItemView(m_tracks, this);
    lvwCDTracks->setObjectName(QStringLiteral("lvwCDTracks"));

    cmdCDSelectAll = new QPushButton(QStringLiteral("Select &All"), this);
    cmdCDSelectAll->setObjectName(QStringLiteral("cmdCDSelectAll"));
    cmdCDDeselectAll = new QPushButton(QStringLiteral("D&e-Select All"), this);
    cmdCDDeselectAll->setObjectName(QStringLiteral("cmdCDDeselectAll"));
    cmdCDQueryCDDB = new QPushButton(style()->standardIcon(QStyle::SP_DriveNetIcon), QStringLiteral("&Get Titles"), this);
    cmdCDQueryCDDB->setObjectName(QStringLiteral("cmdCDQueryCDDB"));
    comboCDLookupService = new QComboBox(this);
    comboCDLookupService->setObjectName(QStringLiteral("comboCDLookupService"));
    comboCDLookupService->addItems({QStringLiteral("CDDB"), QStringLiteral("MusicBrainz")});
    comboCDRelease = new QComboBox(this);
    comboCDRelease->setObjectName(QStringLiteral("comboCDRelease"));
    comboCDRelease->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    comboCDRelease->setMinimumContentsLength(12);
    comboCDRelease->hide();
    cmdSearchForMatches = SearchControls::button(1, this);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(cmdCDSelectAll);
    buttons->addWidget(cmdCDDeselectAll);
    buttons->addSpacing(12);
    buttons->addWidget(cmdCDQueryCDDB);
    buttons->addWidget(comboCDLookupService);
    buttons->addWidget(comboCDRelease);
    buttons->addStretch(1);
    buttons->addWidget(cmdSearchForMatches);

    auto* top = new QHBoxLayout;
    top->addWidget(lvwCDTracks, 1);
    top->addLayout(buttons);
    auto* page = static_cast<QBoxLayout*>(layout());
    page->addLayout(top, 3);

    buildStatusPanel();
    treeMatches = SearchControls::tree(1, this);
    progScanForMatch = SearchControls::progress(1, this);
    page->addWidget(treeMatches, 2);
    page->addWidget(progScanForMatch);
}

void RipCDPage::buildStatusPanel()
{
    pnlCDQueryStatus = new QFrame(this);
    pnlCDQueryStatus->setObjectName(QStringLiteral("pnlCDQueryStatus"));
    pnlCDQueryStatus->setFrameShape(QFrame::StyledPanel);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    imgCD = new QLabel(pnlCDQueryStatus);
    imgCD->setObjectName(QStringLiteral("imgCD"));
    imgCD->setPixmap(style()->standardIcon(QStyle::SP_DriveCDIcon).pixmap(iconSize));
    imgFreeDB = new QLabel(pnlCDQueryStatus);
    imgFreeDB->setObjectName(QStringLiteral("imgFreeDB"));
    imgFreeDB->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(iconSize));
    lblCDQueryStatus = PageWidgets::label(QStringLiteral("Checking..."), pnlCDQueryStatus, QStringLiteral("lblCDQueryStatus"));
    auto* row = new QHBoxLayout(pnlCDQueryStatus);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(imgCD);
    row->addWidget(imgFreeDB);
    row->addWidget(lblCDQueryStatus, 1);
    pnlCDQueryStatus->hide();
    layout()->addWidget(pnlCDQueryStatus);
}

void RipCDPage::buildTitleOptions()
{
    chkCDArtist = new QCheckBox(QStringLiteral("Artists:"), this);
    chkCDArtist->setObjectName(QStringLiteral("chkCDArtist"));
    comboCDArtist = new QComboBox(this);
    comboCDArtist->setObjectName(QStringLiteral("comboCDArtist"));
    chkCDTitle = new QCheckBox(QStringLiteral("Force Title:"), this);
    chkCDTitle->setObjectName(QStringLiteral("chkCDTitle"));
    comboCDTitle = new QComboBox(this);
    comboCDTitle->setObjectName(QStringLiteral("comboCDTitle"));
    for (QComboBox* combo : {comboCDArtist, comboCDTitle}) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMinimumContentsLength(16);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        SelectAllOnFocus::install(combo);
    }

    lblCDTitleOrder = PageWidgets::label(QStringLiteral("Item Title Order:"), this, QStringLiteral("lblCDTitleOrder"));
    comboCDTitleOrder = new QComboBox(this);
    comboCDTitleOrder->setObjectName(QStringLiteral("comboCDTitleOrder"));
    comboCDTitleOrder->addItems({QStringLiteral("Normal"), QStringLiteral("Reversed")});
    lblCDTitleOrder->setBuddy(comboCDTitleOrder);

    lblCDSeparators = PageWidgets::label(QStringLiteral("Separators:"), this, QStringLiteral("lblCDSeparators"));
    lblCDSeparatorOr = PageWidgets::label(QStringLiteral("or"), this, QStringLiteral("lblCDSeparatorOr"));
    lblCDSeparatorOr->setContentsMargins(4, 0, 4, 0);
    for (int i = 0; i < 2; ++i)
        comboCdTitleSeparator[i] = PageWidgets::separatorCombo(this, QStringLiteral("comboCdTitleSeparator"), i);
    lblCDSeparators->setBuddy(comboCdTitleSeparator[0]);

    auto* separatorRow = new QHBoxLayout;
    separatorRow->addWidget(comboCdTitleSeparator[0]);
    separatorRow->addWidget(lblCDSeparatorOr);
    separatorRow->addWidget(comboCdTitleSeparator[1]);
    separatorRow->addStretch(1);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->addWidget(chkCDArtist, 0, 0);
    grid->addWidget(comboCDArtist, 0, 1);
    grid->addWidget(chkCDTitle, 1, 0);
    grid->addWidget(comboCDTitle, 1, 1);
    grid->setColumnMinimumWidth(2, 16);
    grid->addWidget(lblCDTitleOrder, 0, 3);
    grid->addWidget(comboCDTitleOrder, 0, 4, Qt::AlignLeft);
    grid->addWidget(lblCDSeparators, 1, 3);
    grid->addLayout(separatorRow, 1, 4);
    grid->setColumnStretch(1, 1);
    layout()->addItem(grid);
}
