#include "stopsignals.h"

#include <QMetaObject>

#include <atomic>

#include <windows.h>

namespace {

std::atomic<StopSignals *> current{nullptr};

BOOL WINAPI consoleControl(DWORD)
{
    // Called on a thread of its own: ask the main thread to stop, then let it finish.
    if (StopSignals *target = current.load())
        QMetaObject::invokeMethod(target, "stopRequested", Qt::QueuedConnection);
    return TRUE;
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    current = this;
    SetConsoleCtrlHandler(consoleControl, TRUE);
}

StopSignals::~StopSignals()
{
    SetConsoleCtrlHandler(consoleControl, FALSE);
    current = nullptr;
}
