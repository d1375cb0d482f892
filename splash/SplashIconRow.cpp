#include "splash/SplashIconRow.h"

#include "frame/library/GeneralTools.h"
#include "splash/SplashImageList.h"

#include <QLabel>

namespace {
constexpr int kEndMarginTwips = 120; // both ends together
constexpr int kIconCaptionGap = 4;   // pixels between an icon and its caption
} // namespace

SplashIconRow::SplashIconRow(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int SplashIconRow::twipsToPixels(int twips, const QWidget* widget)
{
    return int(GeneralTools::RoundHalfEven(double(twips) * widget->logicalDpiX() / 1440.0));
}

void SplashIconRow::setCount(int count)
{
    ensureCreated(count);
    m_count = count;
    for (int i = 0; i < m_icons.size(); ++i) {
        m_icons[i]->setVisible(i < count);
        m_captions[i]->setVisible(i < count);
    }
    placeSlots();
}

void SplashIconRow::clear()
{
    for (int i = 0; i < m_icons.size(); ++i) {
        m_icons[i]->clear();
        m_icons[i]->hide();
        m_captions[i]->clear();
    }
}

QLabel* SplashIconRow::icon(int index) const
{
    return index >= 1 && index <= m_icons.size() ? m_icons[index - 1] : nullptr;
}

QLabel* SplashIconRow::caption(int index) const
{
    return index >= 1 && index <= m_captions.size() ? m_captions[index - 1] : nullptr;
}

int SplashIconRow::slotWidth() const
{
    if (m_count < 1)
        return 0;
    const double usable = width() - twipsToPixels(kEndMarginTwips, this);
    return int(GeneralTools::RoundHalfEven(usable / m_count));
}

QSize SplashIconRow::sizeHint() const
{
    return {SplashImageList::IconSize * 6, SplashImageList::IconSize + kIconCaptionGap + captionHeight()};
}

QSize SplashIconRow::minimumSizeHint() const { return {0, sizeHint().height()}; }

void SplashIconRow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeSlots();
}

void SplashIconRow::ensureCreated(int count)
{
    while (m_icons.size() < count) {
        const int index = int(m_icons.size()) + 1;
        auto* icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("imgIcon%1").arg(index));
        icon->setAlignment(Qt::AlignCenter);
        icon->hide();
        auto* caption = new QLabel(this);
        caption->setObjectName(QStringLiteral("lblIconDescription%1").arg(index));
        caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        caption->setWordWrap(true);
        caption->hide();
        m_icons << icon;
        m_captions << caption;
    }
}

int SplashIconRow::captionHeight() const
{
    // Room for a caption that wraps onto a second line in a narrow slot.
    return fontMetrics().lineSpacing() * 2;
}

void SplashIconRow::placeSlots()
{
    const int slot = slotWidth();
    const int left = twipsToPixels(kEndMarginTwips, this) / 2;
    const int iconSide = SplashImageList::IconSize;
    const int captionTop = iconSide + kIconCaptionGap;
    for (int i = 0; i < m_count; ++i) {
        const int slotLeft = left + i * slot;
        m_icons[i]->setGeometry(slotLeft + (slot - iconSide) / 2, 0, iconSide, iconSide);
        m_captions[i]->setGeometry(slotLeft, captionTop, slot, captionHeight());
    }
}
