// Keeping one device chosen and open while any is plugged in.
#include "mainwindow.h"

#include "dataparser.h"
#include "devicesession.h"
#include "mainwindowform.h"
#include "usbhid.h"

#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace {

// The electric plug (U+1F50C) and a space, in front of every device status text.
QString plug()
{
    return QString::fromUtf8("\xF0\x9F\x94\x8C ");
}

} // namespace

void MainWindow::watchDevices()
{
    // The session keeps the chosen device open (reopening one that did not open, following
    // plugging and unplugging); the window shows what it chose.
    session->setPreferredDevice(options.device);
    connect(session, &DeviceSession::devicesListed, this, &MainWindow::showDevices);
    connect(session, &DeviceSession::openAttempted, this, [this] {
        currentDeviceName = session->product();
        currentDevicePath = session->path();
        showDeviceStatus();
    });
    // A device that went (pulled out, or stopped reading) leaves the views standing still
    // until another one opens.
    connect(session, &DeviceSession::deviceGone, this, [this] { connected(false); });
}

// The status text for the chosen device. A device that did not open is not announced as
// connected; the session tries it again about once a second until it opens or leaves the list.
void MainWindow::showDeviceStatus()
{
    if (currentDevicePath.isEmpty())
        return;
    const QString text = usb->isOpen()
        ? tr("Подключено устройство ")
        : tr("Не удалось открыть устройство ");
    form->statusBar->showMessage(plug() + text
                                 + DeviceSession::deviceText(currentDeviceName, currentDevicePath));
}

void MainWindow::refreshDevices()
{
    session->refresh();
}

void MainWindow::showDevices(const DeviceList &listed, int chosen)
{
    disconnect(form->cbCurrentDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
               &MainWindow::changeCurrentDevice);
    form->cbCurrentDevice->clear();

    devices = listed;
    currentDeviceName = session->product();
    currentDevicePath = session->path();
    form->lbDeviceCount->setText(QStringLiteral("[%1]").arg(devices.size()));

    if (devices.isEmpty()) {
        form->statusBar->showMessage(
            plug() + tr("Устройство не обнаружено. Подключите устройство к USB порту..."));
    } else {
        for (const auto &device : qAsConst(devices))
            form->cbCurrentDevice->addItem(DeviceSession::deviceText(device.first, device.second));
        form->cbCurrentDevice->setCurrentIndex(chosen);
        showDeviceStatus();
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
    session->choose(index); // says how the open went, and records the change
    parser->resetPlotData();
}

void MainWindow::connected(bool ok)
{
    if (ok)
        replotTimer->start(replotInterval);
    else
        replotTimer->stop();
}
