#include "platform/wizardframe/WizardPage.h"

#include <QLayout>

WizardPage::WizardPage(Kind kind, int pageNumber, QWidget* host)
    : m_kind(kind)
    , m_pageNumber(pageNumber)
    , m_host(host)
{
}

void WizardPage::setHeader(const QString& title, const QString& description, const QString& helpText,
                           const QPixmap& picture)
{
    m_title = title;
    m_description = description;
    m_helpText = helpText;
    m_picture = picture;
}

void WizardPage::attach(QWidget* container)
{
    if (container == m_container)
        return;
    release();
    if (!container)
        return;
    m_containerOwner = container->parentWidget();
    m_container = container;
    m_host->layout()->addWidget(container);
    container->show();
}

void WizardPage::release()
{
    if (!m_container)
        return;
    m_host->layout()->removeWidget(m_container);
    m_container->hide();
    // The container belongs to the caller's window: hand it back, so that
    // clearing the pages does not delete the caller's fields with them.
    m_container->setParent(m_containerOwner);
    m_container = nullptr;
    m_containerOwner = nullptr;
}
