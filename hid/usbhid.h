#ifndef USBHID_H
#define USBHID_H

#include "devicelist.h"

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class HidConnection;
class HidPlatform;

// The link to the one chosen device: a thread that reads 64-byte input reports one after
// another and emits each with newData(), and beside it a writing thread that writes at most
// one queued request at a time. A write the device does not take (the system may wait
// seconds for it) therefore never holds up reading, switching devices or closing.
// It talks to the device through its HidPlatform only: the one it is given, or else the
// installed one.
class usbHID : public QThread
{
    Q_OBJECT

public:
    explicit usbHID(QObject *parent = nullptr);
    // Opens devices through platform (not owned; it outlives the link).
    usbHID(HidPlatform *platform, QObject *parent);
    ~usbHID() override;

    // Lists the matching devices (main thread); empty when no platform is installed.
    static void findDevices(DeviceList &devices);

    // Closes the open device, opens path and emits connected() with the outcome, which it
    // also returns. An empty path only closes. Main thread; ends a read under way and waits
    // for that pass only, never for a write.
    bool setDevice(const QString &path);
    // Whether the device is open: the last setDevice() opened it and it has not been lost.
    bool isOpen() const { return linkOpen.load(); }
    // Takes a 64-byte request for the writing thread; false while an earlier one is pending.
    bool queueRequest(const unsigned char *report);
    // The same for a request held in an array: a shorter one is padded with zeros, a longer
    // one cut to 64 bytes.
    bool queueRequest(const QByteArray &report);
    // Gives up the pending request, if any: it is never written from now on, to this device or
    // any that opens later. A write already under way is not retried. Any thread.
    void withdrawRequest();

    // How long one read waits for a report where the connection cannot be woken, and how long
    // one write attempt waits for its completion where the system lets a write be given up.
    static constexpr int readTimeoutMs = 1;
    static constexpr int writeTimeoutMs = 1;
    // Failed write attempts after which a request is dropped.
    static constexpr int maxWriteAttempts = 11;

signals:
    void newData(QByteArray data);
    void connected(bool ok);
    // The open device stopped reading (it was pulled out, or its node is gone): the link is
    // closed, and only a setDevice() opens one again. Emitted on the exchange thread.
    void deviceLost();

public slots:
    void stopDataExchange();

protected:
    void run() override;

private:
    struct RequestChannel;

    bool openDevice(); // with handleLock held
    void closeDevice(); // with handleLock held
    // Makes a read under way return, so that another thread can take handleLock at once.
    void wakeReader();
    static void writeRequests(std::shared_ptr<RequestChannel> channel, int generation);
    void startWriter();
    void stopWriter();

    HidPlatform *const platform = nullptr; // null: the installed one
    QString devicePath;
    std::mutex handleLock;
    // Wakes a loop that waits with handleLock released: idle (no device), or standing aside
    // for setDevice() or a stop.
    std::condition_variable idleWake;
    std::shared_ptr<HidConnection> deviceHandle;
    bool opened = false;
    std::atomic<bool> linkOpen{false};
    std::atomic<bool> running{true};
    std::atomic<bool> stopAfterStart{false};
    // Threads about to take handleLock: the loop stands aside for them.
    std::atomic<int> handleWanted{0};
    // The connection wakeReader() wakes; guarded by wakeLock, set with handleLock held too.
    std::mutex wakeLock;
    std::shared_ptr<HidConnection> wakeTarget;
    // The pending request and the writing thread's state; shared with that thread, which may
    // outlive this object while a write the device does not take is under way.
    std::shared_ptr<RequestChannel> requests;
};

#endif // USBHID_H
