#include "frame/library/ControlTools.h"

#include <QMetaObject>
#include <QObject>

void ControlTools::SelectAllText(QObject* control)
{
    if (control)
        QMetaObject::invokeMethod(control, "selectAll");
}
