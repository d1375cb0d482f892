#pragma once
#include <QList>
#include <QWidget>

class QLabel;

// The row of start-up step icons along the bottom of the splash window. The
// row spans the window's inner width; a margin of 60 twips is kept at either
// end and the rest is split into equal slots, one per icon. Each icon sits
// centred in its slot above its caption, and the caption fills the slot's
// width. Icons and captions are created on demand and kept, so a row can be
// shrunk and grown again without losing pictures already set.
class SplashIconRow : public QWidget
{
    Q_OBJECT
public:
    explicit SplashIconRow(QWidget* parent = nullptr);

    // Shows icons 1..count in their slots and hides any further ones.
    void setCount(int count);
    // Hides every icon, drops its picture and empties its caption.
    void clear();

    // Icon and caption `index` (from 1); nullptr when never created.
    QLabel* icon(int index) const;
    QLabel* caption(int index) const;
    int createdCount() const { return int(m_icons.size()); }

    // Width of one slot in pixels for the current width and count.
    int slotWidth() const;

    static int twipsToPixels(int twips, const QWidget* widget);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ensureCreated(int count);
    void placeSlots();
    int captionHeight() const;

    QList<QLabel*> m_icons;
    QList<QLabel*> m_captions;
    int m_count = 0;
};
