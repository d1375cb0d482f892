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
    // Twips (1/1440 inch) to pixels at the view's resolution.
    int twipsToPixels(int twips) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyColumns();

    ImportItemList* m_items;
};
