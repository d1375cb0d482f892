#include "wizard/ui/ImportSummaryPage.h"

#include "wizard/ImportItemList.h"
#include "wizard/ui/ImportItemView.h"
#include "wizard/ui/PageWidgets.h"

#include <QBoxLayout>
#include <QLabel>

ImportSummaryPage::ImportSummaryPage(QWidget* parent)
    : QWidget(parent)
    , m_summary(new ImportItemList(false, this))
{
    setObjectName(QStringLiteral("fraSummary"));
    auto* layout = PageWidgets::pageLayout(this);
    lvwSummary = new ImportItemView(m_summary, this);
    lvwSummary->setObjectName(QStringLiteral("lvwSummary"));
    lblSummaryNote = PageWidgets::label(
        QStringLiteral("Note: This Wizard will not overwrite carts that already have audio in them - if the destination "
                       "cart for an item above is no longer empty when the Wizard checks it just prior to importing the "
                       "item, then that item will be skipped."),
        this, QStringLiteral("lblSummaryNote"));
    lblSummaryNote->setWordWrap(true);
    lblStoreName = PageWidgets::label(QString(), this, QStringLiteral("lblStoreName"));
    QFont bold = lblStoreName->font();
    bold.setBold(true);
    lblStoreName->setFont(bold);
    layout->addWidget(lblStoreName);
    layout->addWidget(lvwSummary, 1);
    layout->addWidget(lblSummaryNote);
}

void ImportSummaryPage::setStoreName(const QString& profileName)
{
    lblStoreName->setText(QStringLiteral("Importing into: %1").arg(profileName));
}
