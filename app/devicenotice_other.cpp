// Elsewhere the window hears of device changes through the platform's own monitor alone.
#include "mainwindow.h"

bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(eventType)
    Q_UNUSED(message)
    Q_UNUSED(result)
    return false;
}
