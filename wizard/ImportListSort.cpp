#include "wizard/ImportListSort.h"

#include "wizard/ImportItemList.h"

void ImportListSort::sortByField(int field)
{
    if (field == m_field)
        m_order = m_order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_field = field;
    m_list.sortByField(field, m_order);
}
