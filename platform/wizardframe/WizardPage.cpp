#include "platform/wizardframe/WizardPage.h"

#include "platform/wizardframe/WizardHeader.h"

#include <QBoxLayout>

WizardPage::WizardPage(Kind kind, int pageNumber, QWidget* host, WizardHeader* header, QBoxLayout* contentLayout)
    : m_kind(kind)
    , m_pageNumber(pageNumber)
    , m_host(host)
    , m_header(header)
    , m_contentLayout(contentLayout)
{
}

void WizardPage::setHeader(const QString& title, const QString& description, const QString& helpText,
                           const QPixmap& picture)
{
    m_title = title;
    m_description = description;
    m_helpText = helpText;
    m_picture = picture;
    if (m_header)
        m_header->setPage(title, description, helpText, picture);
}

void WizardPage::attach(QWidget* container)
{
    if (container == m_container || !m_contentLayout)
        return;
    release();
    if (!container)
        return;
    m_containerOwner = container->parentWidget();
    m_container = container;
    m_contentLayout->addWidget(container);
    container->show();
}

void WizardPage::release()
{
    if (!m_container)
        return;
    m_contentLayout->removeWidget(m_container);
    m_container->hide();
    // The container belongs to the caller's window: hand it back, so that
    // clearing the pages does not delete the caller's fields with them.
    m_container->setParent(m_containerOwner);
    m_container = nullptr;
    m_containerOwner = nullptr;
}
