#ifndef SIMDEVICE_H
#define SIMDEVICE_H

#include "hidplatform.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// A virtual device of the simulated platform. Plug it into a SimPlatform to make it visible;
// the program then opens it through the platform like a real one.
//
// Everything here is thread-safe: the exchange thread reads and writes through the open
// connection while a test, the demo or a generator thread injects reports and watches writes.
//
// Input reports wait in a queue of the device, in the order they become due, until an open
// connection reads them. Reports injected while the device is not open are dropped, like
// those of a real device that nobody listens to; the first open starts with an empty queue.
// With an input limit, reports that find the queue full are dropped too, as the system drops
// them for a program that does not read in time.
class SimDevice
{
public:
    enum class WriteMode {
        Accept, // every write completes at once
        Stall,  // every write is still under way when its wait ends (TimedOut)
        Fail,   // every write fails hard, as to a device that is gone
    };

    // Called on the writing thread, with no lock of the device held, for every completed write
    // (64 bytes, byte 0 the report ID); it may inject answers.
    using Responder = std::function<void(SimDevice &device, const QByteArray &report)>;

    // A device with other vendor and product IDs stands for a foreign one (a keyboard, a
    // security key) that has taken a path: it is not listed, and opening it is refused.
    SimDevice(const QString &product, const QString &path, unsigned short vendorId = deviceVendorId,
              unsigned short productId = deviceProductId);

    QString product() const { return productString; }
    QString path() const { return devicePath; }
    bool isOurs() const { return vendor == deviceVendorId && productNumber == deviceProductId; }

    // Queues one input report, padded with zeros or cut to 64 bytes, readable delayMs from now.
    // False when the device is not open: the report is dropped.
    bool injectReport(const QByteArray &report, int delayMs = 0);
    // Input reports queued and not yet read.
    int pendingReports() const;
    // At most this many reports wait in the queue (0: no limit, the default); a report that
    // finds it full is dropped and counted.
    void setInputLimit(int reports);
    int droppedReports() const;

    // Every completed write, in order (64 bytes each).
    QList<QByteArray> writtenReports() const;
    // Write attempts of any outcome.
    int writeAttempts() const;
    // Waits until at least count write attempts have been made; false on time-out.
    bool waitForWriteAttempts(int count, int timeoutMs) const;
    // Forgets the written reports and the attempt count.
    void clearWrites();

    void setResponder(Responder responder);
    void setWriteMode(WriteMode mode);
    // The next write holds its caller for ms milliseconds, as the system holds a write that
    // the device does not take, and then fails as timed out (unless the device is pulled out
    // first, which ends it at once). Reads go on meanwhile.
    void holdNextWrite(int ms);
    // While set, opens of this device fail (as without permission).
    void setOpenFails(bool fail);
    // While set, reads fail at once.
    void setReadFails(bool fail);

    // Open connections now, and successful opens so far.
    bool isOpen() const;
    int openCount() const;
    bool isPlugged() const;

private:
    friend class SimPlatform;
    friend class SimConnection;
    using Clock = std::chrono::steady_clock;

    struct Pending
    {
        Clock::time_point due;
        QByteArray report;
    };

    bool openConnection();
    void closeConnection();
    void setPlugged(bool plugged);
    // A negative time-out waits until a report is due, the device fails or wakeReader().
    HidConnection::Result read(unsigned char *buffer, int timeoutMs);
    HidConnection::Result write(const unsigned char *report, int timeoutMs);
    void wakeReader();

    const QString productString;
    const QString devicePath;
    const unsigned short vendor;
    const unsigned short productNumber;

    mutable std::mutex lock;
    mutable std::condition_variable changed;
    std::deque<Pending> input;
    QList<QByteArray> written;
    int attempts = 0;
    Responder responder;
    WriteMode writeMode = WriteMode::Accept;
    bool openFails = false;
    bool readFails = false;
    bool wakePending = false;
    int inputLimit = 0;
    int dropped = 0;
    int nextWriteHoldMs = 0;
    bool plugged = false;
    int connections = 0;
    int opens = 0;
};

#endif // SIMDEVICE_H
