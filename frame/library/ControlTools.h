#pragma once
class QObject;

class ControlTools
{
public:
    // Selects the whole text of a text field (any object with a selectAll slot).
    static void SelectAllText(QObject* control);
};
