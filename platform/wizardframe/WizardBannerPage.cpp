#include "platform/wizardframe/WizardBannerPage.h"

#include "platform/wizardframe/WizardBanner.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

WizardBannerPage::WizardBannerPage(const QString& namePrefix, bool withSkipChoice, QWidget* parent)
    : QWidget(parent)
    , m_headline(new QLabel(this))
    , m_text(new QLabel(this))
    , m_details(new QPlainTextEdit(this))
{
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    m_headline->setObjectName(QStringLiteral("lbl%1Headline").arg(namePrefix));
    m_headline->setTextFormat(Qt::PlainText);
    m_headline->setWordWrap(true);
    QFont headlineFont = m_headline->font();
    headlineFont.setBold(true);
    headlineFont.setPointSizeF(headlineFont.pointSizeF() * 1.6);
    m_headline->setFont(headlineFont);

    m_text->setObjectName(QStringLiteral("lbl%1Text").arg(namePrefix));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_details->setObjectName(QStringLiteral("txt%1Details").arg(namePrefix));
    m_details->setReadOnly(true);
    m_details->setUndoRedoEnabled(false);
    m_details->hide();

    auto* column = new QVBoxLayout;
    column->setContentsMargins(24, 24, 24, 16);
    column->setSpacing(16);
    column->addWidget(m_headline);
    column->addWidget(m_text);
    column->addWidget(m_details, 4);
    column->addStretch(1);
    if (withSkipChoice) {
        m_skip = new QCheckBox(QStringLiteral("&Skip this page next time"), this);
        m_skip->setObjectName(QStringLiteral("chkSkipIntro"));
        column->addWidget(m_skip);
    }

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(new WizardBanner(this));
    row->addLayout(column, 1);
}

void WizardBannerPage::setHeadline(const QString& headline) { m_headline->setText(headline); }

void WizardBannerPage::setText(const QString& text)
{
    // Texts come with Windows-style line ends as often as not; a label would
    // show the carriage returns as boxes.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_text->setText(shown);
}

void WizardBannerPage::setDetails(const QString& details)
{
    m_details->setPlainText(details);
    m_details->setVisible(!details.isEmpty());
}
