#pragma once
#include <QString>

class QBoxLayout;
class QComboBox;
class QLabel;
class QLayout;
class QWidget;

// Small building blocks the wizard's pages share, so that they all look
// alike: descriptions under choices, indented groups, wrapped notes.
class PageWidgets
{
public:
    // A wrapped explanation shown under a choice; greyed out with it.
    static QLabel* description(const QString& text, QWidget* parent);
    // A plain label; `name` is its object name when not empty.
    static QLabel* label(const QString& text, QWidget* parent, const QString& name = QString());
    // How far a choice's own text starts from its left edge: descriptions
    // and dependent groups line up with it.
    static int choiceIndent(const QWidget* reference);
    // Wraps `inner` into a layout indented by choiceIndent.
    static QLayout* indented(QLayout* inner, const QWidget* reference);
    // Separator field `index` (0 or 1) of a pair of title separators: the
    // usual separators to pick from, any other typed; starts at "-" or "_".
    static QComboBox* separatorCombo(QWidget* parent, const QString& name, int index);
    // Vertical layout for a page container, with the pages' common spacing.
    static QBoxLayout* pageLayout(QWidget* page);
};
