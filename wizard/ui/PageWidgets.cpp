#include "wizard/ui/PageWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

QLabel* PageWidgets::description(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QLabel* PageWidgets::label(const QString& text, QWidget* parent, const QString& name)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    if (!name.isEmpty())
        label->setObjectName(name);
    return label;
}

int PageWidgets::choiceIndent(const QWidget* reference)
{
    const QStyle* style = reference->style();
    return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, reference)
        + style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, reference);
}

QLayout* PageWidgets::indented(QLayout* inner, const QWidget* reference)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addSpacing(choiceIndent(reference));
    row->addLayout(inner, 1);
    return row;
}

QBoxLayout* PageWidgets::pageLayout(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    return layout;
}
