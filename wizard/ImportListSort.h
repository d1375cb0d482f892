#pragma once
#include <Qt>

class ImportItemList;

// A list sorted from its column headers: a click sorts by the column's
// field in the order last used, and a click on the field it is already
// sorted by turns the order round.
class ImportListSort
{
public:
    explicit ImportListSort(ImportItemList& list)
        : m_list(list)
    {
    }

    void sortByField(int field);

private:
    ImportItemList& m_list;
    int m_field = -1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};
