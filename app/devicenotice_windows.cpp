// The system's word that its devices changed, as the window hears it on Windows.
#include "mainwindow.h"

#include <windows.h>
#include <dbt.h>

bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(eventType)
    Q_UNUSED(result)
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message == WM_DEVICECHANGE && msg->wParam == DBT_DEVNODES_CHANGED)
        refreshDevices();
    return false;
}
