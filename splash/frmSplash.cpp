#include "splash/frmSplash.h"

#include "frame/ProgramVersion.h"
#include "frame/library/SystemInfo.h"
#include "splash/SplashIconRow.h"
#include "splash/SplashImageList.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <QVersionNumber>

namespace {
const QColor kBannerColour(0x1d, 0x2b, 0x3f);
const QColor kBannerAccent(0x4f, 0xa3, 0xe0);
const QColor kSubtleText(0x5f, 0x68, 0x73);
const QColor kEdge(0xb8, 0xc0, 0xc8);
const char kDefaultCompany[] = "Tarnwick";
const char kLegalNotice[] = "Copyright \u00a9 Tarnwick. All rights reserved. This program is protected by "
                            "copyright law; unauthorised copying or distribution is prohibited.";

QString programVersion()
{
    // The version the application reports wins over the one it was built as,
    // so a packaged build can carry its own.
    QString text = QCoreApplication::applicationVersion();
    if (text.isEmpty())
        text = ProgramVersion::number();
    const QVersionNumber version = QVersionNumber::fromString(text);
    return QStringLiteral("Version %1.%2.%3")
        .arg(version.majorVersion())
        .arg(version.minorVersion())
        .arg(version.microVersion());
}

QString companyName()
{
    const QString name = QCoreApplication::organizationName();
    return name.isEmpty() ? QString::fromLatin1(kDefaultCompany) : name;
}

QLabel* makeLabel(const QString& objectName, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    return label;
}

// A stylised level meter: the product's mark on the banner.
QPixmap bannerMark(qreal devicePixelRatio)
{
    const QSize size(72, 40);
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const int heights[] = {14, 26, 36, 22, 30, 16, 24, 10};
    for (int i = 0; i < 8; ++i) {
        QColor colour = kBannerAccent;
        colour.setAlphaF(0.55f + 0.05f * i);
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(i * 9, (40 - heights[i]) / 2.0, 6, heights[i]), 3, 3);
    }
    return pixmap;
}
} // namespace

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QCoreApplication::applicationName());
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, QColor(0x20, 0x24, 0x29));
    setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(createBanner());
    layout->addLayout(createInfoBlock());
    layout->addStretch(1);

    m_iconRow = new SplashIconRow(this);
    m_iconRow->setObjectName(QStringLiteral("imgIconRow"));
    layout->addWidget(m_iconRow);

    m_lblCurrentAction = makeLabel(QStringLiteral("lblCurrentAction"), this);
    m_lblCurrentAction->setAlignment(Qt::AlignCenter);
    m_lblCurrentAction->setContentsMargins(16, 4, 16, 12);
    layout->addWidget(m_lblCurrentAction);

    fillLabels();
    resize(QSize(520, 0).expandedTo(sizeHint()));
}

frmSplash::~frmSplash() = default;

QWidget* frmSplash::createBanner()
{
    auto* banner = new QFrame(this);
    banner->setObjectName(QStringLiteral("fraBanner"));
    banner->setAutoFillBackground(true);
    QPalette palette = banner->palette();
    palette.setColor(QPalette::Window, kBannerColour);
    palette.setColor(QPalette::WindowText, Qt::white);
    banner->setPalette(palette);

    auto* product = new QLabel(QStringLiteral("Orvane v3"), banner);
    QFont productFont = product->font();
    productFont.setPointSizeF(productFont.pointSizeF() * 2.0);
    productFont.setBold(true);
    product->setFont(productFont);

    auto* tool = new QLabel(QStringLiteral("Audio Import Wizard"), banner);
    QFont toolFont = tool->font();
    toolFont.setPointSizeF(toolFont.pointSizeF() * 1.2);
    tool->setFont(toolFont);
    QPalette toolPalette = tool->palette();
    toolPalette.setColor(QPalette::WindowText, kBannerAccent.lighter(130));
    tool->setPalette(toolPalette);

    auto* mark = new QLabel(banner);
    mark->setPixmap(bannerMark(devicePixelRatioF()));

    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(product);
    titles->addWidget(tool);

    auto* row = new QHBoxLayout(banner);
    row->setContentsMargins(20, 16, 20, 16);
    row->addLayout(titles);
    row->addStretch(1);
    row->addWidget(mark, 0, Qt::AlignVCenter);
    return banner;
}

QLayout* frmSplash::createInfoBlock()
{
    m_lblVersion = makeLabel(QStringLiteral("lblVersion"), this);
    QFont bold = m_lblVersion->font();
    bold.setBold(true);
    m_lblVersion->setFont(bold);
    m_lblCompany = makeLabel(QStringLiteral("lblCompany"), this);
    m_lblCopyright = makeLabel(QStringLiteral("lblCopyright"), this);
    m_lblCopyright->setWordWrap(true);
    m_lblPlatform = makeLabel(QStringLiteral("lblPlatform"), this);
    m_lblPlatformSP = makeLabel(QStringLiteral("lblPlatformSP"), this);

    for (QLabel* quiet : {m_lblCopyright, m_lblPlatform, m_lblPlatformSP}) {
        QPalette palette = quiet->palette();
        palette.setColor(QPalette::WindowText, kSubtleText);
        quiet->setPalette(palette);
    }

    auto* platformRow = new QHBoxLayout;
    platformRow->addWidget(m_lblPlatform);
    platformRow->addWidget(m_lblPlatformSP);
    platformRow->addStretch(1);

    auto* block = new QVBoxLayout;
    block->setContentsMargins(20, 14, 20, 10);
    block->setSpacing(3);
    block->addWidget(m_lblVersion);
    block->addWidget(m_lblCompany);
    block->addWidget(m_lblCopyright);
    block->addSpacing(4);
    block->addLayout(platformRow);
    return block;
}

void frmSplash::fillLabels()
{
    m_lblVersion->setText(programVersion());
    m_lblCompany->setText(companyName() + QLatin1Char(' '));
    m_lblCopyright->setText(QString::fromUtf8(kLegalNotice));

    // This platform has no numbered system versions to name; the designed
    // label is the distribution's own name, e.g. "Debian GNU/Linux 12 (bookworm)".
    const SystemInfo::VersionInfo info = SystemInfo::GetVersionInfo();
    m_lblPlatform->setText(info.prettyName);
    // No service packs here, so the line stays hidden.
    m_lblPlatformSP->clear();
    m_lblPlatformSP->setVisible(!m_lblPlatformSP->text().isEmpty());
}

void frmSplash::setNumberIcons(int count)
{
    if (count == 0) {
        m_iconRow->clear();
        return;
    }
    if (count < 0)
        return;
    m_iconRow->setCount(count);
    m_numberIcons = count;
}

void frmSplash::SetIconInfo(int IconIndex, const QString& IconReference, const QString& IconDescription)
{
    if (IconIndex < 1 || IconIndex > m_numberIcons)
        return;
    QLabel* icon = m_iconRow->icon(IconIndex);
    const QPixmap picture = SplashImageList::picture(IconReference, devicePixelRatioF());
    if (!picture.isNull()) {
        icon->setPixmap(picture);
        icon->repaint();
    }
    m_iconRow->caption(IconIndex)->setText(IconDescription);
    m_lastIconChangedIndex = IconIndex;
}

void frmSplash::setFloating(bool floating)
{
    m_floating = floating;
    const bool wasVisible = isVisible();
    const bool wasQuiet = testAttribute(Qt::WA_ShowWithoutActivating);
    // Changing the stay-on-top hint re-creates the native window and hides
    // it; show it again where it was, without taking the focus.
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setWindowFlag(Qt::WindowStaysOnTopHint, floating);
    if (wasVisible) {
        show();
        if (!floating)
            raise();
    }
    setAttribute(Qt::WA_ShowWithoutActivating, wasQuiet);
}

QString frmSplash::currentAction() const { return m_lblCurrentAction->text(); }

// Start-up runs on the window's thread: letting pending events run here is
// what gets the new step drawn (and the window moved or raised) at once.
void frmSplash::setCurrentAction(const QString& text)
{
    m_lblCurrentAction->setText(text);
    m_lblCurrentAction->repaint();
    QCoreApplication::processEvents();
}

QLabel* frmSplash::imgIcon(int index) const { return m_iconRow->icon(index); }

QLabel* frmSplash::lblIconDescription(int index) const { return m_iconRow->caption(index); }

void frmSplash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        centreOnScreen();
        m_placed = true;
    }
}

void frmSplash::closeEvent(QCloseEvent* event)
{
    setNumberIcons(0);
    m_lastIconChangedIndex = 0;
    QWidget::closeEvent(event);
}

void frmSplash::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        repaint();
}

void frmSplash::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // The window has no frame of its own; a fine edge keeps it apart from a
    // light desktop or the window behind it.
    QPainter painter(this);
    painter.setPen(kEdge);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void frmSplash::centreOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = geometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}
