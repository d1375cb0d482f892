#include "frame/library/StoreFaults.h"

#include <QByteArray>
#include <csignal>
#include <cstdlib>
#include <cstring>

bool StoreFaults::at(const char* step)
{
    const char* fault = std::getenv("ORVANE_STORE_FAULT");
    if (!fault)
        return false;
    const QByteArray wanted(fault);
    const qsizetype colon = wanted.indexOf(':');
    if (colon < 0 || wanted.left(colon) != step)
        return false;
    const QByteArray action = wanted.mid(colon + 1);
    if (action == "kill")
        std::raise(SIGKILL);
    if (action == "stop") {
        std::raise(SIGSTOP);
        return false;
    }
    return true;
}
