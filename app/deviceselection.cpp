// Keeping one device chosen and open while any is plugged in.
#include "mainwindow.h"

#include "dataparser.h"
#include "devicetag.h"
#include "mainwindowform.h"
#include "usbhid.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#include <dbt.h>
#endif

namespace {

// The electric plug (U+1F50C) and a space, in front of every device status text.
QString plug()
{
    return QString::fromUtf8("\xF0\x9F\x94\x8C ");
}

QString deviceText(const QString &product, const QString &path)
{
    return product + QStringLiteral(" [") + deviceTag(product, path) + QStringLiteral("]");
}

// The status text for the chosen device. A device that did not open (on Linux, usually for
// want of permission) is not announced as connected.
void showDeviceStatus(QStatusBar *statusBar, bool open, const QString &product, const QString &path)
{
    const QString text = open
        ? QCoreApplication::translate("MainWindow", "Подключено устройство ")
        : QCoreApplication::translate("MainWindow", "Не удалось открыть устройство ");
    statusBar->showMessage(plug() + text + deviceText(product, path));
}

} // namespace

void MainWindow::refreshDevices()
{
    disconnect(form->cbCurrentDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
               &MainWindow::changeCurrentDevice);
    form->cbCurrentDevice->clear();

    usbHID::findDevices(devices);
    form->lbDeviceCount->setText(QStringLiteral("[%1]").arg(devices.size()));

    if (devices.isEmpty()) {
        currentDeviceName.clear();
        currentDevicePath.clear();
        usb->setDevice(QString());
        form->statusBar->showMessage(
            plug() + tr("Устройство не обнаружено. Подключите устройство к USB порту..."));
    } else {
        for (const auto &device : qAsConst(devices))
            form->cbCurrentDevice->addItem(deviceText(device.first, device.second));

        int chosen = -1;
        for (int i = 0; i < devices.size(); ++i) {
            if (devices[i].first == currentDeviceName && devices[i].second == currentDevicePath) {
                chosen = i;
                break;
            }
        }
        // The device named on the command line is taken whenever it is listed, unless the
        // operator has chosen another one since.
        const int preferred = indexOfDevice(devices, options.device);
        if (preferred >= 0 && preferred != chosen && !(chosen >= 0 && deviceChosenByOperator)) {
            form->cbCurrentDevice->setCurrentIndex(preferred);
            currentDeviceName = devices[preferred].first;
            currentDevicePath = devices[preferred].second;
            usb->setDevice(currentDevicePath);
        } else if (chosen >= 0) {
            // Still there: the link is left as it is.
            form->cbCurrentDevice->setCurrentIndex(chosen);
        } else {
            currentDeviceName = devices.first().first;
            currentDevicePath = devices.first().second;
            usb->setDevice(currentDevicePath);
        }
        showDeviceStatus(form->statusBar, usb->isOpen(), currentDeviceName, currentDevicePath);
    }

    connect(form->cbCurrentDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::changeCurrentDevice);
}

void MainWindow::changeCurrentDevice(int index)
{
    if (index < 0 || index >= devices.size())
        return;
    currentDeviceName = devices[index].first;
    currentDevicePath = devices[index].second;
    deviceChosenByOperator = true;
    usb->setDevice(currentDevicePath);
    showDeviceStatus(form->statusBar, usb->isOpen(), currentDeviceName, currentDevicePath);
    parser->resetPlotData();
}

void MainWindow::connected(bool ok)
{
    if (ok)
        replotTimer->start(replotInterval);
    else
        replotTimer->stop();
}

bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(eventType)
    Q_UNUSED(result)
#ifdef Q_OS_WIN
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message == WM_DEVICECHANGE && msg->wParam == DBT_DEVNODES_CHANGED)
        refreshDevices();
#else
    Q_UNUSED(message)
#endif
    return false;
}
