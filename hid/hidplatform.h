#ifndef HIDPLATFORM_H
#define HIDPLATFORM_H

#include "devicelist.h"

#include <QObject>

#include <memory>

class QTimer;

// One open device. After the open, one thread reads and another may write at the same time;
// each of read, write and wake may be called from a different thread. Destroying the
// connection closes the device (on a thread of the platform's choosing, if closing could wait
// for the system).
class HidConnection
{
public:
    enum class Result { Done, TimedOut, Failed };

    virtual ~HidConnection() = default;

    // Reads one input report into a 64-byte buffer (byte 0 the report ID), waiting at most
    // timeoutMs milliseconds; a negative time-out waits until a report comes, the device fails
    // or wake() is called (only on a connection that canWake()). A shorter report is padded
    // with zeros, a longer one cut. The buffer is written only when the result is Done.
    // Failed means the device is gone or no longer readable.
    virtual Result read(unsigned char *buffer, int timeoutMs) = 0;
    // Writes one 64-byte output report (byte 0 the report ID), waiting at most timeoutMs for
    // it to complete where the system lets a write be given up. TimedOut: the write may still
    // be under way; the caller may try again. Where the system does not let a write be given up
    // (a hidraw node), this waits for as long as the system takes, and never times out.
    virtual Result write(const unsigned char *report, int timeoutMs) = 0;

    // Whether wake() ends a read that waits without a time-out.
    virtual bool canWake() const { return false; }
    // Makes the read under way, or else the next one, return TimedOut at once.
    virtual void wake() {}
};

// What discovery and the exchange loop need of the operating system. A program talks through
// exactly one platform, handed to its device session: the system's (hidraw on Linux, SetupAPI
// and the HID calls on Windows, hidapi elsewhere) for the real program, a recording played
// back, or the simulated one for the demo and the tests.
class HidPlatform : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // A platform that goes while installed is uninstalled.
    ~HidPlatform() override;

    // Every HID device with our vendor and product ID as (product string, path), in the
    // platform's order. Main thread.
    virtual DeviceList enumerate() = 0;
    // The same, remembered as the list the program last saw (the list comparison's reference).
    // Main thread.
    DeviceList listDevices();
    // Opens a path for shared reading and writing; null when that fails. Any thread.
    virtual std::unique_ptr<HidConnection> open(const QString &path) = 0;

    // The installed platform, or null before install(): what usbHID::findDevices() lists and
    // a usbHID made without a platform opens. The programs hand their platform to the device
    // session instead; tests that build a window on a stand-in install it.
    static HidPlatform *instance();
    // Installs that platform (not owned; null uninstalls).
    static void install(HidPlatform *platform);

signals:
    // A device was added to or removed from the system, or changed (its permissions, for
    // example). The window re-lists its devices.
    void devicesChanged();

protected:
    // Compares the device list once a second and raises devicesChanged() when it differs from
    // the one the program last saw: for plugs and unplugs that no notice announces. Main thread.
    void startListComparison(int intervalMs = 1000);
    void stopListComparison();

private:
    void compareList();

    QTimer *listTimer = nullptr;
    DeviceList lastListed;
};

#endif // HIDPLATFORM_H
