#include "wizard/ui/ImportSummaryPage.h"

#include "wizard/ImportItemList.h"
#include "wizard/ui/ImportItemView.h"
#include "wizard/ui/PageWidgets.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>

ImportSummaryPage::ImportSummaryPage(QWidget* parent)
    : QWidget(parent)
    , m_summary(new ImportItemList(false, this))
    , m_sort(*m_summary)
{
    setObjectName(QStringLiteral("fraSummary"));
    auto* layout = PageWidgets::pageLayout(this);
    lvwSummary = new ImportItemView(m_summary, this);
    lvwSummary->setObjectName(QStringLiteral("lvwSummary"));
    lvwSummary->header()->setSectionsClickable(true);
    connect(lvwSummary->header(), &QHeaderView::sectionClicked, this, &ImportSummaryPage::sortByColumn);
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

// As the file list: column k (from 0) sorts by field k, except the second,
// which sorts by the source. The run then goes through the rows as shown.
void ImportSummaryPage::sortByColumn(int column) { m_sort.sortByField(column == 1 ? 0 : column); }
