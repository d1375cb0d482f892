#include "platform/wizardframe/WizardHeader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

WizardHeader::WizardHeader(QWidget* parent)
    : QWidget(parent)
    , m_title(new QLabel(this))
    , m_description(new QLabel(this))
    , m_picture(new QLabel(this))
{
    setObjectName(QStringLiteral("fraWizardHeader"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    m_title->setObjectName(QStringLiteral("lblPageTitle"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    m_title->setFont(titleFont);

    m_description->setObjectName(QStringLiteral("lblPageDescription"));
    m_description->setWordWrap(true);
    m_description->setTextFormat(Qt::PlainText);
    m_title->setTextFormat(Qt::PlainText);
    // Indented under the title, as desktop wizards set their subtitles.
    m_description->setContentsMargins(12, 0, 0, 0);

    m_picture->setObjectName(QStringLiteral("imgPagePicture"));
    m_picture->hide();

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(m_title);
    texts->addWidget(m_description);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 14, 20, 14);
    row->addLayout(texts, 1);
    row->addWidget(m_picture, 0, Qt::AlignVCenter);
}

void WizardHeader::setPage(const QString& title, const QString& description, const QString& helpText,
                           const QPixmap& picture)
{
    m_title->setText(title);
    m_description->setText(description);
    setToolTip(helpText);
    m_picture->setPixmap(picture);
    m_picture->setVisible(!picture.isNull());
}

void WizardHeader::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, height() - 1, width(), height() - 1);
}
