#pragma once
#include "wizard/ImportItem.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

// A column of a list of rows. The first column always shows the row's main
// text (and its tick box when the list has them); the others show the field
// named by their key.
struct ImportItemColumn {
    QString caption;
    QString key;
    int widthTwips = -1; // -1: shares what the fixed columns leave
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool hidden = false;
};

// The rows of one of the wizard's lists, in the order shown. It is the
// model a list view shows, and at the same time what the page checks, the
// summary and the runs read and change, so they work without any window.
class ImportItemList : public QAbstractTableModel
{
    Q_OBJECT
public:
    // What a cell means beyond its text; views decide how that looks.
    enum Role {
        EmphasisedRole = Qt::UserRole + 1, // a value that is missing and matters
    };

    explicit ImportItemList(bool checkable, QObject* parent = nullptr);

    bool checkable() const { return m_checkable; }
    const QList<ImportItemColumn>& columns() const { return m_columns; }
    void setColumns(const QList<ImportItemColumn>& columns);
    // Position of the column showing `key`, -1 when none does.
    int columnOf(const QString& key) const;

    int count() const { return static_cast<int>(m_items.size()); }
    bool isEmpty() const { return m_items.isEmpty(); }
    const ImportItem& item(int row) const { return m_items.at(row); }
    const QList<ImportItem>& items() const { return m_items; }
    // Row holding `key`, -1 when none.
    int indexOf(const QString& key) const;

    // Adds the row after the others; false (nothing added) when its key is
    // empty or already in the list.
    bool add(const ImportItem& item);
    // Replaces a row whole; false when the new key belongs to another row.
    bool replace(int row, const ImportItem& item);
    bool remove(int row);
    void clear();

    void setChecked(int row, bool checked);
    void setAllChecked(bool checked);
    void setText(int row, const QString& text);
    void setField(int row, const QString& key, const QString& text);
    void setSubItem(int row, int position, const QString& text);

    // First ticked row, -1 when none.
    int firstChecked() const;
    int checkedCount() const;

    // Orders the rows by the text of field `position` (0 = main text), a
    // stable sort so that equal texts keep their order.
    void sortByField(int position, Qt::SortOrder order);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    static QString firstColumnTip(const ImportItem& item);
    QString cellText(const ImportItem& item, int column) const;
    void rowChanged(int row);

    bool m_checkable;
    QList<ImportItemColumn> m_columns;
    QList<ImportItem> m_items;
};
