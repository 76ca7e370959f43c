#ifndef HIDPLATFORM_H
#define HIDPLATFORM_H

#include "devicelist.h"

#include <QObject>

#include <memory>

// One open device. Used by the exchange thread only (after open); destroying it closes the
// device.
class HidConnection
{
public:
    enum class Result { Done, TimedOut, Failed };

    virtual ~HidConnection() = default;

    // Reads one input report into a 64-byte buffer (byte 0 the report ID), waiting at most
    // timeoutMs milliseconds. A shorter report is padded with zeros, a longer one cut. The
    // buffer is written only when the result is Done.
    virtual Result read(unsigned char *buffer, int timeoutMs) = 0;
    // Writes one 64-byte output report (byte 0 the report ID), waiting at most timeoutMs for
    // it to complete. TimedOut: the write may still be under way; the caller may try again.
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

    // Every HID device with our vendor and product ID as (product string, path), in the
    // platform's order. Main thread.
    virtual DeviceList enumerate() = 0;
    // Opens a path for shared reading and writing; null when that fails. Any thread.
    virtual std::unique_ptr<HidConnection> open(const QString &path) = 0;

    // The installed platform, or null before install().
    static HidPlatform *instance();
    // Installs the platform the program talks through (not owned; null uninstalls).
    static void install(HidPlatform *platform);

signals:
    // A device was added to or removed from the system. The window re-lists its devices.
    void devicesChanged();
};

#endif // HIDPLATFORM_H
