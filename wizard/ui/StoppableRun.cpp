#include "wizard/ui/StoppableRun.h"

#include <QPushButton>

StoppableRun::StoppableRun(QPushButton* stop)
    : m_stop(stop)
{
    m_stop->setEnabled(true);
}

StoppableRun::~StoppableRun()
{
    if (m_stop)
        m_stop->setEnabled(false);
}
