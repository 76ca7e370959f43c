#ifndef HIDPLATFORM_H
#define HIDPLATFORM_H

#include "devicelist.h"

#include <QObject>

#include <memory>

// One open device. Used by the exchange thread only (after open).
class HidConnection
{
public:
    enum class Result { Done, TimedOut, Failed };

    virtual ~HidConnection() = default; // closes the device

    // Reads one input report into a 64-byte buffer (byte 0 the report ID), waiting at most
    // timeoutMs milliseconds. A shorter report is padded with zeros, a longer one cut.
    virtual Result read(unsigned char *buffer, int timeoutMs) = 0;
    // Writes one 64-byte output report (byte 0 the report ID), waiting at most timeoutMs.
    virtual Result write(const unsigned char *report, int timeoutMs) = 0;
};

// What discovery and the exchange loop need of the operating system. The program installs
// exactly one platform at start-up: hidapi for the real program, the simulated one for the
// demo and the tests.
class HidPlatform : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Every HID device with our vendor and product ID, in the platform's order.
    virtual DeviceList enumerate() = 0;
    // Opens a path for shared reading and writing; null when that fails.
    virtual std::unique_ptr<HidConnection> open(const QString &path) = 0;

    static HidPlatform *instance();
    // Installs the platform the program talks through (not owned).
    static void install(HidPlatform *platform);

signals:
    // A device was added to or removed from the system.
    void devicesChanged();
};

#endif // HIDPLATFORM_H
