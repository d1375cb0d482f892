#include "wizard/ui/PageWidgets.h"

#include <QComboBox>
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

QComboBox* PageWidgets::separatorCombo(QWidget* parent, const QString& name, int index)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setProperty("index", index); // both fields of a pair share the name
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems({QStringLiteral("-"), QStringLiteral("_"), QStringLiteral(","), QStringLiteral("{space}"),
                     QStringLiteral("/"), QStringLiteral("\\")});
    combo->setCurrentText(index == 0 ? QStringLiteral("-") : QStringLiteral("_"));
    combo->setMinimumContentsLength(7);
    return combo;
}
