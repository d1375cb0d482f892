#include "platform/wizardframe/WizardFrame.h"

#include "frame/library/RegistryTools.h"
#include "platform/wizardframe/WizardBannerPage.h"
#include "platform/wizardframe/WizardHeader.h"
#include "platform/wizardframe/WizardPage.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
// The stack's own layout answers a height for a width with its tallest
// page's preferred height, and the scroll area would then scroll every page
// that merely prefers more room. Without that answer the page shown fills
// the window and scrolls only below its minimum size.
class PageStack : public QStackedWidget
{
public:
    using QStackedWidget::QStackedWidget;
    int heightForWidth(int) const override { return -1; }
};

// Splits "Software\Maker\Product\Wizard\SkipIntro" into the key and the value name.
QPair<QString, QString> splitRegistryPath(const QString& path)
{
    QString normalised = path;
    normalised.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const qsizetype cut = normalised.lastIndexOf(QLatin1Char('\\'));
    if (cut < 0)
        return {RegistryTools::productKey(), normalised};
    return {normalised.left(cut), normalised.mid(cut + 1)};
}

// A numbered page: its own header band over the caller's container. Each
// page carries its header, so that every page of the stack has the same
// make-up and the frame keeps one size whichever page it shows.
std::unique_ptr<WizardPage> makeNumberedPage(int pageNumber, QWidget* parent)
{
    auto* host = new QWidget(parent);
    host->setObjectName(QStringLiteral("fraWizardPage%1").arg(pageNumber));
    auto* header = new WizardHeader(host);
    auto* content = new QVBoxLayout;
    content->setContentsMargins(20, 16, 20, 16);
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addLayout(content, 1);
    return std::make_unique<WizardPage>(WizardPage::Numbered, pageNumber, host, header, content);
}
} // namespace

WizardFrame::WizardFrame(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ctlWizard"));

    m_stack = new PageStack(this);
    m_stack->setObjectName(QStringLiteral("stkWizardPages"));
    m_welcomeWidget = new WizardBannerPage(QStringLiteral("Welcome"), true, m_stack);
    m_finishWidget = new WizardBannerPage(QStringLiteral("Finish"), false, m_stack);
    m_stack->addWidget(m_welcomeWidget);
    m_stack->addWidget(m_finishWidget);
    m_welcome = std::make_unique<WizardPage>(WizardPage::Welcome, WelcomePageNumber, m_welcomeWidget);
    m_finish = std::make_unique<WizardPage>(WizardPage::Finish, FinishPageNumber, m_finishWidget);

    QCheckBox* skip = m_welcomeWidget->skipChoice();
    skip->hide();
    connect(skip, &QCheckBox::toggled, this, &WizardFrame::storeSkipIntro);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(scrolled(m_stack), 1);
    layout->addWidget(rule);
    buildButtonRow(layout);

    setFinishHeadline(QStringLiteral("Finished"));
    showPage(m_welcome.get());
    m_current = nullptr; // not started until StartWizard: no button does anything yet
    updateButtons();
}

WizardFrame::~WizardFrame()
{
    // Containers that came from outside the frame's own window are handed
    // back. Those of the window the frame sits in go with it: the window is
    // usually being destroyed itself, and must not be given new children then.
    for (auto& [number, page] : m_pages) {
        const QWidget* owner = page->containerOwner();
        if (!owner || !owner->isAncestorOf(this))
            page->release();
    }
}

namespace {
// Asks for the room its pages want, like the pages would themselves, and
// makes do with less.
class PageScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override { return widget() ? widget()->sizeHint() : QScrollArea::sizeHint(); }
    // Small enough for a 1280x720 screen at twice the scale, large enough
    // to show a page's first controls.
    QSize minimumSizeHint() const override { return QSize(440, 200).boundedTo(sizeHint()); }
};
} // namespace

// The pages scroll when the window is made smaller than the largest of them,
// so the window fits a small screen at a large scale and Next stays in reach.
QScrollArea* WizardFrame::scrolled(QWidget* pages)
{
    auto* area = new PageScrollArea(this);
    area->setObjectName(QStringLiteral("scrWizardPages"));
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus); // the pages' own controls take the keyboard
    area->setWidgetResizable(true);
    area->setWidget(pages);
    return area;
}

void WizardFrame::buildButtonRow(QBoxLayout* layout)
{
    m_cmdBack = new QPushButton(QStringLiteral("< &Back"), this);
    m_cmdBack->setObjectName(QStringLiteral("cmdBack"));
    m_cmdNext = new QPushButton(QStringLiteral("&Next >"), this);
    m_cmdNext->setObjectName(QStringLiteral("cmdNext"));
    m_cmdFinish = new QPushButton(QStringLiteral("&Finish"), this);
    m_cmdFinish->setObjectName(QStringLiteral("cmdFinish"));
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    connect(m_cmdBack, &QPushButton::clicked, this, &WizardFrame::back);
    connect(m_cmdNext, &QPushButton::clicked, this, &WizardFrame::next);
    connect(m_cmdFinish, &QPushButton::clicked, this, &WizardFrame::finish);
    connect(m_cmdCancel, &QPushButton::clicked, this, &WizardFrame::cancel);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(16, 10, 16, 12);
    row->setSpacing(6);
    row->addStretch(1);
    row->addWidget(m_cmdBack);
    row->addWidget(m_cmdNext);
    row->addWidget(m_cmdFinish);
    row->addSpacing(10);
    row->addWidget(m_cmdCancel);
    layout->addLayout(row);
}

void WizardFrame::setWelcomeText(const QString& text)
{
    m_welcomeText = text;
    m_welcomeWidget->setText(text);
}

void WizardFrame::setWelcomeHeadline(const QString& headline)
{
    m_welcomeHeadline = headline;
    updateWelcomeHeadline();
}

void WizardFrame::updateWelcomeHeadline()
{
    QString headline = m_welcomeHeadline;
    if (headline.isEmpty()) {
        const QString title = window()->windowTitle();
        headline = title.isEmpty() ? QStringLiteral("Welcome") : title + QStringLiteral(" Wizard");
    }
    m_welcomeWidget->setHeadline(headline);
}

void WizardFrame::setSkipIntroKey(const QString& key)
{
    m_skipIntroKey = key;
    QCheckBox* skip = m_welcomeWidget->skipChoice();
    const QSignalBlocker quiet(skip); // showing the stored choice must not store it again
    skip->setChecked(readSkipIntro());
    skip->setVisible(!key.isEmpty());
}

bool WizardFrame::readSkipIntro() const
{
    if (m_skipIntroKey.isEmpty())
        return false;
    const auto [key, value] = splitRegistryPath(m_skipIntroKey);
    return RegistryTools::GetRegLong(RegistryTools::CurrentUser, key, value, 0) != 0;
}

void WizardFrame::storeSkipIntro(bool skip)
{
    if (m_skipIntroKey.isEmpty())
        return;
    const auto [key, value] = splitRegistryPath(m_skipIntroKey);
    RegistryTools::SetRegLong(RegistryTools::CurrentUser, key, value, skip ? 1 : 0);
}

void WizardFrame::ClearPages()
{
    const bool wasNumbered = m_current && m_current->kind() == WizardPage::Numbered;
    for (auto& [number, page] : m_pages) {
        page->release();
        m_stack->removeWidget(page->host());
        delete page->host();
    }
    m_pages.clear();
    if (wasNumbered)
        showPage(m_welcome.get());
}

WizardPage* WizardFrame::numberedPage(int pageNumber, bool create)
{
    if (pageNumber <= WelcomePageNumber || pageNumber == FinishPageNumber)
        return nullptr;
    auto found = m_pages.find(pageNumber);
    if (found != m_pages.end())
        return found->second.get();
    if (!create)
        return nullptr;
    auto page = makeNumberedPage(pageNumber, m_stack);
    m_stack->addWidget(page->host());
    return m_pages.emplace(pageNumber, std::move(page)).first->second.get();
}

bool WizardFrame::AttachPage(QWidget* container, int pageNumber)
{
    WizardPage* page = numberedPage(pageNumber, true);
    if (!page)
        return false;
    page->attach(container);
    return true;
}

bool WizardFrame::AddPage(int pageNumber, const QString& title, const QString& description,
                          const QString& helpText, const QPixmap& picture)
{
    WizardPage* page = numberedPage(pageNumber, true);
    if (!page)
        return false;
    page->setHeader(title, description, helpText, picture);
    return true;
}

void WizardFrame::StartWizard(int)
{
    allowAllButtons();
    const bool skip = readSkipIntro() && !m_pages.empty();
    showPage(skip ? m_pages.begin()->second.get() : m_welcome.get());
    emit PageShown(DirectionNext);
}

WizardPage* WizardFrame::GetPage(int pageNumber) const
{
    if (pageNumber == WelcomePageNumber)
        return m_welcome.get();
    if (pageNumber == FinishPageNumber)
        return m_finish.get();
    auto found = m_pages.find(pageNumber);
    return found == m_pages.end() ? nullptr : found->second.get();
}

void WizardFrame::setCurrentPage(WizardPage* page)
{
    if (page && page == GetPage(page->PageNumber()))
        showPage(page);
}

void WizardFrame::RefreshPage()
{
    // Lay out what is pending first, so the page is drawn in its final shape.
    if (layout())
        layout()->activate();
    if (m_current)
        m_current->host()->layout()->activate();
    repaint();
}

void WizardFrame::setFinishHeadline(const QString& headline)
{
    m_finishHeadline = headline;
    m_finishWidget->setHeadline(headline);
}

void WizardFrame::setFinishText(const QString& text)
{
    m_finishText = text;
    m_finishWidget->setText(text);
}

void WizardFrame::setFinishDetails(const QString& details) { m_finishWidget->setDetails(details); }

void WizardFrame::setNextEnabled(bool enabled)
{
    m_nextEnabled = enabled;
    updateButtons();
}

void WizardFrame::setBackEnabled(bool enabled)
{
    m_backEnabled = enabled;
    updateButtons();
}

void WizardFrame::setCancelEnabled(bool enabled)
{
    m_cancelEnabled = enabled;
    updateButtons();
}

bool WizardFrame::canGoNext() const
{
    return m_current && m_nextEnabled && m_current != m_finish.get();
}

bool WizardFrame::canGoBack() const
{
    return m_current && m_backEnabled && m_current != m_welcome.get();
}

void WizardFrame::next()
{
    if (canGoNext())
        navigate(DirectionNext);
}

void WizardFrame::back()
{
    if (canGoBack())
        navigate(DirectionBack);
}

void WizardFrame::cancel()
{
    if (m_current && m_cancelEnabled)
        emit WizardClosed();
}

void WizardFrame::finish()
{
    if (m_current == m_finish.get())
        emit WizardClosed();
}

WizardPage* WizardFrame::neighbour(const WizardPage* page, int direction) const
{
    const bool forward = direction == DirectionNext;
    switch (page->kind()) {
    case WizardPage::Welcome:
        if (!forward)
            return nullptr;
        return m_pages.empty() ? m_finish.get() : m_pages.begin()->second.get();
    case WizardPage::Finish:
        if (forward)
            return nullptr;
        return m_pages.empty() ? m_welcome.get() : m_pages.rbegin()->second.get();
    case WizardPage::Numbered:
        break;
    }
    auto here = m_pages.find(page->PageNumber());
    if (forward) {
        ++here;
        return here == m_pages.end() ? m_finish.get() : here->second.get();
    }
    return here == m_pages.begin() ? m_welcome.get() : std::prev(here)->second.get();
}

void WizardFrame::navigate(int direction)
{
    // A message shown while the page is checked may let the buttons be
    // pressed again; one move at a time.
    if (!m_current || m_leaving)
        return;
    WizardPage* from = m_current;
    bool cancelled = false;
    QPointer<WizardFrame> alive(this);
    m_leaving = true;
    emit PageLeaving(direction, cancelled);
    if (!alive)
        return;
    m_leaving = false;
    // The caller may have moved the frame itself while checking; its move
    // stands and the frame makes none of its own.
    if (cancelled || m_current != from)
        return;
    WizardPage* target = neighbour(from, direction);
    if (!target)
        return;
    allowAllButtons();
    showPage(target);
    emit PageShown(direction);
}

void WizardFrame::showPage(WizardPage* page)
{
    m_current = page;
    if (page->kind() == WizardPage::Welcome)
        updateWelcomeHeadline();
    // Only the page shown asks for room: a large page further on (or one
    // that grew, as the files page does when its search tree opens) must not
    // put scroll bars on the others.
    for (int i = 0; i < m_stack->count(); ++i) {
        const auto policy = m_stack->widget(i) == page->host() ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        m_stack->widget(i)->setSizePolicy(policy, policy);
    }
    m_stack->setCurrentWidget(page->host());
    updateButtons();
    focusPage(page);
}

void WizardFrame::allowAllButtons()
{
    m_nextEnabled = m_backEnabled = m_cancelEnabled = true;
}

void WizardFrame::updateButtons()
{
    const bool onFinish = m_current == m_finish.get();
    m_cmdBack->setEnabled(canGoBack());
    m_cmdNext->setVisible(!onFinish);
    m_cmdNext->setEnabled(canGoNext());
    m_cmdFinish->setVisible(onFinish);
    m_cmdFinish->setEnabled(onFinish);
    m_cmdCancel->setEnabled(m_current && m_cancelEnabled);
    // Enter presses the button that moves on.
    m_cmdNext->setDefault(!onFinish);
    m_cmdFinish->setDefault(onFinish);
}

void WizardFrame::focusPage(WizardPage* page)
{
    // Start a numbered page at its first field the keyboard can reach, the
    // others (and a page without fields) at the button that moves on, so
    // that focus never stays behind on a hidden page.
    QWidget* host = page->host();
    for (QWidget* w = host->nextInFocusChain(); page->kind() == WizardPage::Numbered && w && w != host;
         w = w->nextInFocusChain()) {
        if (!host->isAncestorOf(w))
            break;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(host)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    QPushButton* onward = m_cmdFinish->isVisibleTo(this) ? m_cmdFinish : m_cmdNext;
    if (onward->isEnabled())
        onward->setFocus(Qt::TabFocusReason);
}

void WizardFrame::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateWelcomeHeadline();
}
