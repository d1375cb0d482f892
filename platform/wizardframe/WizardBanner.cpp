#include "platform/wizardframe/WizardBanner.h"

#include <QLinearGradient>
#include <QPainter>

#include <iterator>

namespace {
constexpr int kBannerWidth = 150;
}

WizardBanner::WizardBanner(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("imgWizardBanner"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

QSize WizardBanner::sizeHint() const { return {kBannerWidth, 240}; }

void WizardBanner::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const QColor base = palette().color(QPalette::Highlight);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, base.darker(115));
    gradient.setColorAt(1.0, base.darker(190));
    p.fillRect(rect(), gradient);

    // Meter bars across the lower third: the tool is about audio levels and
    // carts, and the bars read as such at any size.
    const int heights[] = {18, 34, 52, 30, 44, 24, 38, 14};
    const int count = int(std::size(heights));
    const double barWidth = 8;
    const double gap = 5;
    const double total = count * barWidth + (count - 1) * gap;
    const double left = (width() - total) / 2.0;
    const double middle = height() * 0.68;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        QColor colour(Qt::white);
        colour.setAlphaF(0.35f + 0.06f * float(i % 4));
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(left + i * (barWidth + gap), middle - heights[i] / 2.0, barWidth, heights[i]), 4,
                          4);
    }
}
