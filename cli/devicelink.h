#ifndef DEVICELINK_H
#define DEVICELINK_H

#include "devicelist.h"
#include "subcommand.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>
#include <mutex>

class Configuration;
class HidPlatform;
class QTimer;
class Simulation;
class usbHID;

// tolvexctl's link to one device: the platform (the system's HID devices, or with --simulate
// the demo's simulated one), the choice of device by --device, and the exchange thread that
// the window uses too. Every input report comes out of report(), in order, on the main thread.
class DeviceLink : public QObject
{
    Q_OBJECT

public:
    explicit DeviceLink(const CommonOptions &common, QObject *parent = nullptr);
    ~DeviceLink() override;

    // Installs the platform; the simulated device talks as the configuration describes.
    // Returns an exit status (not ok: already said why).
    int installPlatform(const Configuration &configuration);
    // The matching devices now; with --device only the one it names.
    DeviceList devices() const;
    // Chooses the device, opens it and starts the exchange. Returns an exit status (not ok:
    // already said why: no device, not the one asked for, or it does not open).
    int open();
    // installPlatform, then open: the usual start of a subcommand that talks to the device.
    int start(const Configuration &configuration);
    QString product() const { return chosenProduct; }
    QString path() const { return chosenPath; }
    QString deviceText() const; // "product [tag]"

    // Hands a 64-byte request to the exchange thread; false while an earlier one is pending.
    bool queueRequest(const QByteArray &request);
    // Gives up the pending request: it is never written from now on.
    void withdrawRequest();
    // Ends the exchange, delivering every report already read through report() first. With
    // drainSimulated, the simulated devices first stop sending and what they sent is read.
    void stop(bool drainSimulated = false);

    Simulation *simulation() const { return sim; }

signals:
    void report(const QByteArray &report);
    // The device left the system while open.
    void gone();
    // Reports wait in readReports for passReports() on the main thread.
    void reportsWaiting();

private:
    void takeReport(const QByteArray &data); // exchange thread
    void passReports();                      // main thread
    void checkStillThere();

    CommonOptions common;
    Simulation *sim = nullptr;
    std::unique_ptr<HidPlatform> systemPlatform;
    usbHID *usb = nullptr;
    QTimer *presence = nullptr;
    QString chosenProduct;
    QString chosenPath;
    bool goneSaid = false;
    std::mutex readLock;
    std::deque<QByteArray> readReports;
    bool passPending = false;
};

#endif // DEVICELINK_H
