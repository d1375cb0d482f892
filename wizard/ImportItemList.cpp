#include "wizard/ImportItemList.h"

#include "frame/GetParameter.h"


#include <algorithm>

ImportItemList::ImportItemList(bool checkable, QObject* parent)
    : QAbstractTableModel(parent)
    , m_checkable(checkable)
{
}

void ImportItemList::setColumns(const QList<ImportItemColumn>& columns)
{
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

int ImportItemList::columnOf(const QString& key) const
{
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_columns.at(c).key == key)
            return c;
    return -1;
}

int ImportItemList::indexOf(const QString& key) const
{
    for (int row = 0; row < m_items.size(); ++row)
        if (m_items.at(row).Key == key)
            return row;
    return -1;
}

bool ImportItemList::add(const ImportItem& item)
{
    if (item.Key.isEmpty() || indexOf(item.Key) >= 0)
        return false;
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    m_items.append(item);
    endInsertRows();
    return true;
}

bool ImportItemList::replace(int row, const ImportItem& item)
{
    if (row < 0 || row >= count() || item.Key.isEmpty())
        return false;
    const int holder = indexOf(item.Key);
    if (holder >= 0 && holder != row)
        return false;
    m_items[row] = item;
    rowChanged(row);
    return true;
}

bool ImportItemList::remove(int row)
{
    if (row < 0 || row >= count())
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_items.removeAt(row);
    endRemoveRows();
    return true;
}

void ImportItemList::clear()
{
    if (m_items.isEmpty())
        return;
    beginResetModel();
    m_items.clear();
    endResetModel();
}

void ImportItemList::setChecked(int row, bool checked)
{
    if (row < 0 || row >= count() || m_items.at(row).Checked == checked)
        return;
    m_items[row].Checked = checked;
    rowChanged(row);
}

void ImportItemList::setAllChecked(bool checked)
{
    for (int row = 0; row < count(); ++row)
        setChecked(row, checked);
}

void ImportItemList::setText(int row, const QString& text)
{
    if (row < 0 || row >= count())
        return;
    m_items[row].Text = text;
    rowChanged(row);
}

void ImportItemList::setField(int row, const QString& key, const QString& text)
{
    if (row < 0 || row >= count())
        return;
    m_items[row].setField(key, text);
    rowChanged(row);
}

void ImportItemList::setSubItem(int row, int position, const QString& text)
{
    if (row < 0 || row >= count())
        return;
    m_items[row].setSubItem(position, text);
    rowChanged(row);
}

int ImportItemList::firstChecked() const
{
    for (int row = 0; row < count(); ++row)
        if (m_items.at(row).Checked)
            return row;
    return -1;
}

int ImportItemList::checkedCount() const
{
    return static_cast<int>(std::count_if(m_items.begin(), m_items.end(), [](const ImportItem& i) { return i.Checked; }));
}

void ImportItemList::sortByField(int position, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<QString> keys;
    for (const QModelIndex& index : before)
        keys << m_items.at(index.row()).Key;

    std::stable_sort(m_items.begin(), m_items.end(), [&](const ImportItem& a, const ImportItem& b) {
        const int c = QString::compare(a.subItem(position), b.subItem(position));
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });

    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i)
        after << index(indexOf(keys.at(i)), before.at(i).column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ImportItemList::rowChanged(int row)
{
    if (!m_columns.isEmpty())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int ImportItemList::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }

int ImportItemList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QString ImportItemList::cellText(const ImportItem& item, int column) const
{
    return column == 0 ? item.Text : item.field(m_columns.at(column).key);
}

// The first column is too narrow for its text: its tip shows the file a
// row stands for, or the text whole for rows that name no file.
QString ImportItemList::firstColumnTip(const ImportItem& item)
{
    const QString path = GetParameter(item.Text, QStringLiteral("FileName"), QStringLiteral("="), QStringLiteral(" "));
    return path.isEmpty() ? item.Text : path;
}

QVariant ImportItemList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() >= columnCount())
        return {};
    const ImportItem& item = m_items.at(index.row());
    const int column = index.column();
    const QString& key = m_columns.at(column).key;
    switch (role) {
    case Qt::DisplayRole:
        return cellText(item, column);
    case Qt::ToolTipRole:
        return column == 0 ? firstColumnTip(item) : item.fieldToolTip(key);
    case Qt::CheckStateRole:
        if (m_checkable && column == 0)
            return int(item.Checked ? Qt::Checked : Qt::Unchecked);
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_columns.at(column).alignment);
    case EmphasisedRole:
        return column > 0 && item.fieldEmphasised(key);
    default:
        return {};
    }
}

bool ImportItemList::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() >= count() || role != Qt::CheckStateRole || !m_checkable || index.column() != 0)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

QVariant ImportItemList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns.at(section).caption;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns.at(section).alignment);
    return {};
}

Qt::ItemFlags ImportItemList::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_checkable && index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}
