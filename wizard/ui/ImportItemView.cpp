#include "wizard/ui/ImportItemView.h"

#include "wizard/ImportItemList.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {
// A value that is missing and matters is shown red and bold.
class EmphasisDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(ImportItemList::EmphasisedRole).toBool())
            return;
        option->font.setBold(true);
        option->palette.setColor(QPalette::Text, QColor(255, 0, 0));
        option->palette.setColor(QPalette::HighlightedText, QColor(255, 0, 0));
    }
};
} // namespace

ImportItemView::ImportItemView(ImportItemList* items, QWidget* parent)
    : QTreeView(parent)
    , m_items(items)
{
    setModel(items);
    setItemDelegate(new EmphasisDelegate(this));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setHighlightSections(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(items, &QAbstractItemModel::modelReset, this, &ImportItemView::applyColumns);
    applyColumns();
}

int ImportItemView::twipsToPixels(int twips) const
{
    // 90 twips made one average character of that font (six pixels at 96 dpi);
    // never narrower than the plain conversion at this resolution.
    const double byFont = twips * fontMetrics().averageCharWidth() / 90.0;
    const double byResolution = twips * logicalDpiX() / 1440.0;
    return qRound(std::max(byFont, byResolution));
}

void ImportItemView::applyColumns()
{
    QHeaderView* head = header();
    const auto& columns = m_items->columns();
    // The tick column must at least hold the tick box, whatever the twips say.
    const int tickWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this)
        + 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    for (int c = 0; c < columns.size(); ++c) {
        const ImportItemColumn& column = columns.at(c);
        setColumnHidden(c, column.hidden);
        if (column.hidden)
            continue;
        if (column.widthTwips < 0) {
            head->setSectionResizeMode(c, QHeaderView::Stretch);
            continue;
        }
        head->setSectionResizeMode(c, QHeaderView::Interactive);
        // Never narrower than the caption, so no heading is cut off.
        int width = std::max(twipsToPixels(column.widthTwips), head->sectionSizeHint(c));
        if (c == 0 && m_items->checkable())
            width = std::max(width, tickWidth);
        head->resizeSection(c, width);
    }
}

void ImportItemView::changeEvent(QEvent* event)
{
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        applyColumns();
}

void ImportItemView::keyPressEvent(QKeyEvent* event)
{
    // Space ticks or unticks the row in hand, wherever in the row the cursor is.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && m_items->checkable()
        && currentIndex().isValid()) {
        const int row = currentIndex().row();
        m_items->setChecked(row, !m_items->item(row).Checked);
        return;
    }
    QTreeView::keyPressEvent(event);
}
