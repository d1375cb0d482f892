#pragma once
#include "wizard/ImportListSort.h"

#include <QWidget>

class ImportItemList;
class ImportItemView;
class QLabel;

// Page 6: each item to import with the cart it goes into.
class ImportSummaryPage : public QWidget
{
    Q_OBJECT
public:
    explicit ImportSummaryPage(QWidget* parent = nullptr);

    ImportItemList* summary() const { return m_summary; }
    // Names the store the items go into, so nobody imports into the wrong one.
    void setStoreName(const QString& profileName);

    ImportItemView* lvwSummary = nullptr;
    QLabel* lblSummaryNote = nullptr;
    QLabel* lblStoreName = nullptr;

private:
    void sortByColumn(int column);

    ImportItemList* m_summary = nullptr;
    ImportListSort m_sort;
};
