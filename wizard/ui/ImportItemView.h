#pragma once
#include <QTreeView>

class ImportItemList;

// A list view of ImportItem rows: tick boxes in the first column, the
// list's own column widths (given in twips), Title and Artist sharing what
// the fixed columns leave, hidden columns kept hidden.
class ImportItemView : public QTreeView
{
    Q_OBJECT
public:
    explicit ImportItemView(ImportItemList* items, QWidget* parent = nullptr);

    ImportItemList* items() const { return m_items; }
    // A width in twips to pixels. The widths were laid out for a small
    // dialog font; scaled by the font's average character width, a column
    // keeps room for as many characters whatever the font and resolution.
    int twipsToPixels(int twips) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyColumns();

    ImportItemList* m_items;
};
