#include "wizard/ui/ChooseSourcePage.h"

#include "wizard/ui/PageWidgets.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

ChooseSourcePage::ChooseSourcePage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fraChoose"));
    auto* layout = PageWidgets::pageLayout(this);
    layout->setSpacing(14);

    optImportFiles = addChoice(QStringLiteral("optImportFiles"), QStringLiteral("&Import Audio files"),
                               QStringLiteral("Imports all the \"WAV\" or \"Transport\" files that are in one or more "
                                              "specified folders."),
                               true);
    optRipCD = addChoice(QStringLiteral("optRipCD"), QStringLiteral("&Rip audio tracks from CD"),
                         QStringLiteral("'Rip' one or more tracks from a CD and lookup the title information Online."), true);
    optCopyCartvault = addChoice(QStringLiteral("optCopyCartvault"), QStringLiteral("&Copy from another Tarnwick Cartvault"),
                                 QStringLiteral("Import one or more carts (and associated information) from another "
                                                "Cartvault."),
                                 false);
    optDownloadAudio = addChoice(QStringLiteral("optDownloadAudio"),
                                 QStringLiteral("&Download Audio from an Online Cartvault Server"),
                                 QStringLiteral("Download audio files (and associated information) from an Online Server."),
                                 false);
    layout->addStretch(1);

    auto* group = new QButtonGroup(this);
    group->setObjectName(QStringLiteral("grpSource"));
    for (QRadioButton* option : {optImportFiles, optRipCD, optCopyCartvault, optDownloadAudio})
        group->addButton(option);
}

QRadioButton* ChooseSourcePage::addChoice(const QString& name, const QString& caption, const QString& description,
                                          bool offered)
{
    auto* option = new QRadioButton(caption, this);
    option->setObjectName(name);
    QLabel* text = PageWidgets::description(description, this);
    text->setObjectName(QStringLiteral("lbl") + name.mid(3) + QStringLiteral("Description"));

    auto* block = new QVBoxLayout;
    block->setSpacing(2);
    block->addWidget(option);
    auto* under = new QVBoxLayout;
    under->addWidget(text);
    block->addLayout(PageWidgets::indented(under, option));
    static_cast<QBoxLayout*>(layout())->addLayout(block);

    option->setEnabled(offered);
    text->setEnabled(offered);
    return option;
}
