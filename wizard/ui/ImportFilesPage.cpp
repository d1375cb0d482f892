#include "wizard/ui/ImportFilesPage.h"

#include "wizard/ImportItemList.h"
#include "wizard/ui/ImportItemView.h"
#include "wizard/ui/PageWidgets.h"
#include "wizard/ui/SearchControls.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

ImportFilesPage::ImportFilesPage(QWidget* parent)
    : QWidget(parent)
    , m_files(new ImportItemList(true, this))
{
    setObjectName(QStringLiteral("fraImportFiles"));
    buildList();
    buildTitling();

    chkFilesDeleteOriginal = new QCheckBox(QStringLiteral("&Delete the file after import"), this);
    chkFilesDeleteOriginal->setObjectName(QStringLiteral("chkFilesDeleteOriginal"));
    chkFilesCreateLink = new QCheckBox(QStringLiteral("Only Create a link to the file"), this);
    chkFilesCreateLink->setObjectName(QStringLiteral("chkFilesCreateLink"));
    auto* boxes = new QHBoxLayout;
    boxes->setSpacing(24);
    boxes->addWidget(chkFilesDeleteOriginal);
    boxes->addWidget(chkFilesCreateLink);
    boxes->addStretch(1);
    layout()->addItem(boxes);

    connect(chkFilesCreateLink, &QCheckBox::toggled, this, &ImportFilesPage::applyLinkRule);
    connect(comboFilesTitleProcessing, &QComboBox::currentIndexChanged, this, &ImportFilesPage::titlingChosen);
    for (QComboBox* separator : comboFileNameSeparator)
        connect(separator, &QComboBox::currentTextChanged, this, &ImportFilesPage::titlingChanged);
    applyTitlingRule();
}

void ImportFilesPage::buildList()
{
    auto* layout = PageWidgets::pageLayout(this);

    lvwFiles = new ImportItemView(m_files, this);
    lvwFiles->setObjectName(QStringLiteral("lvwFiles"));

    auto button = [this](const char* name, const QString& caption, QStyle::StandardPixmap icon, const QString& tip) {
        auto* b = new QPushButton(style()->standardIcon(icon), caption, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        return b;
    };
    cmdFilesAddFiles = button("cmdFilesAddFiles", QStringLiteral("Add F&iles..."), QStyle::SP_FileIcon,
                              QStringLiteral("Add a single file"));
    cmdFilesAddFolder = button("cmdFilesAddFolder", QStringLiteral("Add F&older..."), QStyle::SP_DirOpenIcon,
                               QStringLiteral("Add all the files in a folder"));
    cmdFileRemove = button("cmdFileRemove", QStringLiteral("Re&move"), QStyle::SP_DialogDiscardButton, QString());
    cmdSearchForMatches = SearchControls::button(0, this);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(cmdFilesAddFiles);
    buttons->addWidget(cmdFilesAddFolder);
    buttons->addWidget(cmdFileRemove);
    buttons->addStretch(1);
    buttons->addWidget(cmdSearchForMatches);

    auto* top = new QHBoxLayout;
    top->addWidget(lvwFiles, 1);
    top->addLayout(buttons);
    layout->addLayout(top, 3);

    treeMatches = SearchControls::tree(0, this);
    progScanForMatch = SearchControls::progress(0, this);
    layout->addWidget(treeMatches, 2);
    layout->addWidget(progScanForMatch);
}

void ImportFilesPage::buildTitling()
{
    lblItemTitling = PageWidgets::label(QStringLiteral("I&tem Titling:"), this, QStringLiteral("lblItemTitling"));
    comboFilesTitleProcessing = new QComboBox(this);
    comboFilesTitleProcessing->setObjectName(QStringLiteral("comboFilesTitleProcessing"));
    comboFilesTitleProcessing->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    lblItemTitling->setBuddy(comboFilesTitleProcessing);

    lblFileNameSeparators = PageWidgets::label(QStringLiteral("Separators:"), this, QStringLiteral("lblFileNameSeparators"));
    lblFileNameSeparatorOr = PageWidgets::label(QStringLiteral("or"), this, QStringLiteral("lblFileNameSeparatorOr"));
    lblFileNameSeparatorOr->setContentsMargins(4, 0, 4, 0);
    for (int i = 0; i < 2; ++i)
        comboFileNameSeparator[i] = PageWidgets::separatorCombo(this, QStringLiteral("comboFileNameSeparator"), i);
    lblFileNameSeparators->setBuddy(comboFileNameSeparator[0]);

    auto* row = new QHBoxLayout;
    row->addWidget(lblItemTitling);
    row->addWidget(comboFilesTitleProcessing);
    row->addSpacing(16);
    row->addWidget(lblFileNameSeparators);
    row->addWidget(comboFileNameSeparator[0]);
    row->addWidget(lblFileNameSeparatorOr);
    row->addWidget(comboFileNameSeparator[1]);
    row->addStretch(1);
    layout()->addItem(row);
}

void ImportFilesPage::applyLinkRule()
{
    // A linked file stays where it is, so it can never be deleted; the
    // delete tick itself is left for when linking is switched off again.
    chkFilesDeleteOriginal->setEnabled(!chkFilesCreateLink->isChecked());
}

void ImportFilesPage::applyTitlingRule()
{
    const bool separators = titlingUsesSeparators(comboFilesTitleProcessing->currentIndex());
    for (QWidget* w : std::initializer_list<QWidget*>{lblFileNameSeparators, comboFileNameSeparator[0],
                                                      lblFileNameSeparatorOr, comboFileNameSeparator[1]})
        w->setEnabled(separators);
}

void ImportFilesPage::titlingChosen()
{
    applyTitlingRule();
    emit titlingChanged();
}
