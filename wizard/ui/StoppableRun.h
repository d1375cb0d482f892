#pragma once
#include "wizard/ui/BusyPointer.h"

#include <QPointer>

class QPushButton;

// What the window shows for as long as a run goes on: the busy pointer and
// the stop button, which is pressable only while there is a run to stop.
class StoppableRun
{
public:
    explicit StoppableRun(QPushButton* stop);
    ~StoppableRun();
    StoppableRun(const StoppableRun&) = delete;
    StoppableRun& operator=(const StoppableRun&) = delete;

private:
    BusyPointer m_busy;
    QPointer<QPushButton> m_stop; // a close during the run may take the window with it
};
