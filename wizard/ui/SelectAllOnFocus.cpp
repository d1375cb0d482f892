#include "wizard/ui/SelectAllOnFocus.h"

#include "frame/library/ControlTools.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace {
QObject* textPart(QObject* field)
{
    if (auto* combo = qobject_cast<QComboBox*>(field))
        return combo->lineEdit();
    return field;
}
} // namespace

void SelectAllOnFocus::install(QWidget* field)
{
    if (field)
        field->installEventFilter(new SelectAllOnFocus(field));
}

bool SelectAllOnFocus::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        QPointer<QObject> text = textPart(watched);
        ControlTools::SelectAllText(text);
        // A click that brought the focus places the cursor once it is
        // handled and so drops the selection; select again after it.
        QTimer::singleShot(0, this, [text] { ControlTools::SelectAllText(text); });
    }
    return QObject::eventFilter(watched, event);
}
