#ifndef UHIDDEVICE_H
#define UHIDDEVICE_H

#include <QByteArray>
#include <QString>

#include "devicelist.h"

// One virtual USB HID device on Linux's /dev/uhid with our vendor and product ID: a vendor
// usage page, input report 1 and output report 2 of 63 bytes each (64 with the report ID).
class UhidDevice
{
public:
    UhidDevice();
    ~UhidDevice(); // unplugs and closes
    UhidDevice(const UhidDevice &) = delete;
    UhidDevice &operator=(const UhidDevice &) = delete;

    // Opens /dev/uhid; false with a reason when it cannot.
    bool open(QString *error);
    int fd() const { return uhidFd; }

    // Plugs the device in (UHID_CREATE2) with the product string and a serial that tells this
    // device apart in sysfs; unplug removes it (UHID_DESTROY).
    bool plug(const QString &product, const QString &serial, QString *error);
    // The vendor ID the next plug announces: ours unless set (another one makes a foreign
    // device, for trying what the program does with a node it must not use).
    void setVendorId(unsigned short id) { vendor = id; }
    void unplug();
    bool isPlugged() const { return plugged; }

    // Sends one input report (byte 0 the report ID). False when the device is unplugged or
    // the kernel refuses it.
    bool sendInput(const QByteArray &report);

    // The device node of the plugged device, found through sysfs by the serial; empty until
    // the kernel has made it.
    QString findNode() const;

    // What one event from the kernel asks of the device. GET_REPORT and SET_REPORT requests
    // are answered here, at once, so that the kernel never waits for them.
    struct Event
    {
        enum Kind { None, Started, Stopped, Opened, Closed, Output, Failed } kind = None;
        QByteArray report; // Output: the output report, byte 0 its report ID
    };
    Event readEvent();

    // The input report that a GET_REPORT of input report 1 returns.
    void setLastInput(const QByteArray &report) { lastInput = report; }

private:
    bool writeEvent(const void *event, size_t size);

    int uhidFd = -1;
    bool plugged = false;
    unsigned short vendor = deviceVendorId;
    QString serial;
    QByteArray lastInput;
};

#endif // UHIDDEVICE_H
