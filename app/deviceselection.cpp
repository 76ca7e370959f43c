// Keeping one device chosen and open while any is plugged in.
#include "mainwindow.h"

#include "dataparser.h"
#include "devicetag.h"
#include "hidplatform.h"
#include "mainwindowform.h"
#include "recordingwriter.h"
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

// A chosen device that is listed but did not open (on Linux, usually for want of permission)
// is tried again this often, and at once when the system announces a change, but no more
// often than this from the notices (a device whose reads fail right after each open would
// otherwise be reopened as fast as the notices come).
constexpr int reopenIntervalMs = 1000;
constexpr int reopenOnNoticeMinMs = 200;

} // namespace

void MainWindow::watchDevices()
{
    reopenTimer = new QTimer(this);
    reopenTimer->setInterval(reopenIntervalMs);
    connect(reopenTimer, &QTimer::timeout, this, &MainWindow::reopenChosenDevice);
    // Plugging and unplugging reach the window through the platform on systems without
    // device-change window messages.
    if (HidPlatform *platform = HidPlatform::instance())
        connect(platform, &HidPlatform::devicesChanged, this, [this] { refreshDevices(); });
    // A device that stops reading is as good as unplugged: the views stand still, and the
    // window re-lists at once rather than wait for a notice that may never come.
    connect(usb, &usbHID::deviceLost, this, [this] {
        connected(false);
        refreshDevices();
    }, Qt::QueuedConnection);
}

// The status text for the chosen device. A device that did not open is not announced as
// connected; it is tried again about once a second until it opens or leaves the list.
void MainWindow::showDeviceStatus()
{
    const bool open = usb->isOpen();
    const QString text = open
        ? tr("Подключено устройство ")
        : tr("Не удалось открыть устройство ");
    form->statusBar->showMessage(plug() + text + deviceText(currentDeviceName, currentDevicePath));
    if (open)
        reopenTimer->stop();
    else if (!reopenTimer->isActive())
        reopenTimer->start();
}

void MainWindow::openChosenDevice()
{
    lastOpenAttempt.start();
    usb->setDevice(currentDevicePath);
}

void MainWindow::reopenChosenDevice()
{
    if (currentDevicePath.isEmpty() || usb->isOpen()) {
        reopenTimer->stop();
        return;
    }
    openChosenDevice();
    showDeviceStatus();
}

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
        reopenTimer->stop();
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
            openChosenDevice();
        } else if (chosen >= 0) {
            // Still there: an open link is left as it is; one that did not open, or was lost,
            // is tried again.
            form->cbCurrentDevice->setCurrentIndex(chosen);
            if (!usb->isOpen()
                && (!lastOpenAttempt.isValid() || lastOpenAttempt.elapsed() >= reopenOnNoticeMinMs))
                openChosenDevice();
        } else {
            currentDeviceName = devices.first().first;
            currentDevicePath = devices.first().second;
            openChosenDevice();
        }
        showDeviceStatus();
    }

    connect(form->cbCurrentDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::changeCurrentDevice);
    recorder->noteDevice(currentDeviceName, currentDevicePath);
}

void MainWindow::changeCurrentDevice(int index)
{
    if (index < 0 || index >= devices.size())
        return;
    currentDeviceName = devices[index].first;
    currentDevicePath = devices[index].second;
    deviceChosenByOperator = true;
    recorder->noteDevice(currentDeviceName, currentDevicePath);
    openChosenDevice();
    showDeviceStatus();
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
