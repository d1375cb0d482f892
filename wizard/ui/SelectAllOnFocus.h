#pragma once
#include <QObject>

class QWidget;

// Selects a text field's whole text whenever it gains the focus, so that
// typing replaces what was there. Works for line edits and editable combos.
class SelectAllOnFocus : public QObject
{
    Q_OBJECT
public:
    // The filter lives as long as the field.
    static void install(QWidget* field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
