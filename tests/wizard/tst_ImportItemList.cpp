#include "tests/support/TestEnvironment.h"
#include "wizard/ImportItemList.h"
#include "wizard/ImportListColumns.h"

#include <QBrush>
#include <QFont>
#include <QSignalSpy>
#include <QtTest>

namespace {
ImportItem row(const QString& key, const QString& title, bool ticked = false)
{
    ImportItem item(key, QStringLiteral("FileName=/in/") + key);
    item.setField(QStringLiteral("FILENAME"), key);
    item.setField(QStringLiteral("TITLE"), title);
    item.setField(QStringLiteral("ARTIST"), QString());
    item.Checked = ticked;
    return item;
}

QStringList keys(const ImportItemList& list)
{
    QStringList result;
    for (const ImportItem& item : list.items())
        result << item.Key;
    return result;
}
} // namespace

// The rows behind the wizard's lists, without any window.
class TestImportItemList : public QObject
{
    Q_OBJECT

private slots:
    void keysAreUniqueWithinAList()
    {
        ImportItemList list(true);
        QVERIFY(list.add(row("a", "A")));
        QVERIFY(!list.add(row("a", "again")));
        QVERIFY(!list.add(ImportItem(QString(), QStringLiteral("no key"))));
        QVERIFY(list.add(row("b", "B")));
        QVERIFY(!list.replace(1, row("a", "clash")));
        QVERIFY(list.replace(1, row("c", "C")));
        QCOMPARE(keys(list), QStringList({"a", "c"}));
        QCOMPARE(list.indexOf(QStringLiteral("c")), 1);
        QCOMPARE(list.indexOf(QStringLiteral("b")), -1);
        QVERIFY(list.remove(0));
        QVERIFY(!list.remove(5));
        QCOMPARE(keys(list), QStringList({"c"}));
    }

    void fieldsKeepTheirOrder()
    {
        ImportItem item = row("a", "Title");
        item.setField(QStringLiteral("TITLE"), QStringLiteral("New title")); // replaced in place
        item.setField(QStringLiteral("LENGTH"), QStringLiteral("0:03"));      // added after the others
        QCOMPARE(item.subItem(0), item.Text);
        QCOMPARE(item.subItem(2), QStringLiteral("New title"));
        QCOMPARE(item.subItem(4), QStringLiteral("0:03"));
        QCOMPARE(item.subItem(9), QString());
        item.setSubItem(3, QStringLiteral("Artist"));
        item.setSubItem(9, QStringLiteral("nowhere"));
        QCOMPARE(item.field(QStringLiteral("ARTIST")), QStringLiteral("Artist"));
        QCOMPARE(item.fields().size(), 4);
        QVERIFY(!item.hasField(QStringLiteral("DEST")));
    }

    void ticks()
    {
        ImportItemList list(true);
        list.add(row("a", "A"));
        list.add(row("b", "B", true));
        list.add(row("c", "C", true));
        QCOMPARE(list.firstChecked(), 1);
        QCOMPARE(list.checkedCount(), 2);
        list.setAllChecked(false);
        QCOMPARE(list.firstChecked(), -1);
    }

    void viewsSeeRowsThroughTheModel()
    {
        ImportItemList list(true);
        list.setColumns(ImportListColumns::files());
        ImportItem item = row("a", "Song", true);
        item.setFieldToolTip(QStringLiteral("FILENAME"), QStringLiteral("tip"));
        list.add(item);
        QCOMPARE(list.data(list.index(0, 0), Qt::DisplayRole).toString(), item.Text);
        QCOMPARE(list.data(list.index(0, 2), Qt::DisplayRole).toString(), QStringLiteral("Song"));
        QCOMPARE(list.data(list.index(0, 1), Qt::ToolTipRole).toString(), QStringLiteral("tip"));
        QCOMPARE(list.data(list.index(0, 0), Qt::ToolTipRole).toString(), QStringLiteral("/in/a")); // the file, not the tag text
        QCOMPARE(list.data(list.index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(!list.data(list.index(0, 1), Qt::CheckStateRole).isValid());

        // A click on the tick box reaches the row.
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        QVERIFY(list.setData(list.index(0, 0), int(Qt::Unchecked), Qt::CheckStateRole));
        QVERIFY(!list.item(0).Checked);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!list.setData(list.index(0, 2), int(Qt::Checked), Qt::CheckStateRole));

        ImportItemList summary(false);
        summary.setColumns(ImportListColumns::summary());
        summary.add(row("a", "Song", true));
        QVERIFY(!summary.data(summary.index(0, 0), Qt::CheckStateRole).isValid());
        QVERIFY(!(summary.flags(summary.index(0, 0)) & Qt::ItemIsUserCheckable));
    }

    void missingValuesStandOut()
    {
        ImportItemList summary(false);
        summary.setColumns(ImportListColumns::summary());
        ImportItem item(QStringLiteral("fa"), QStringLiteral("a.wav"));
        item.setField(QStringLiteral("DEST"), QString());
        item.setFieldEmphasised(QStringLiteral("DEST"), true);
        summary.add(item);
        const QModelIndex dest = summary.index(0, summary.columnOf(QStringLiteral("DEST")));
        QVERIFY(summary.data(dest, ImportItemList::EmphasisedRole).toBool());
        QVERIFY(!summary.data(summary.index(0, 2), ImportItemList::EmphasisedRole).toBool());
    }

    void sortingIsStable_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("by title, ascending") << 2 << int(Qt::AscendingOrder) << QStringList({"c", "a", "d", "b"});
        QTest::newRow("by title, descending") << 2 << int(Qt::DescendingOrder) << QStringList({"b", "a", "d", "c"});
        QTest::newRow("by main text") << 0 << int(Qt::DescendingOrder) << QStringList({"d", "c", "b", "a"});
    }

    void sortingIsStable()
    {
        QFETCH(int, position);
        QFETCH(int, order);
        QFETCH(QStringList, sorted);
        ImportItemList list(true);
        list.add(row("a", "M"));
        list.add(row("b", "Z"));
        list.add(row("c", "A"));
        list.add(row("d", "M"));
        list.sortByField(position, Qt::SortOrder(order));
        QCOMPARE(keys(list), sorted);
    }
};

ORVANE_TEST_MAIN(TestImportItemList)
#include "tst_ImportItemList.moc"
