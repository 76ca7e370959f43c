#ifndef USBHID_H
#define USBHID_H

#include "devicelist.h"

#include <QByteArray>
#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class HidConnection;

// The link to the one chosen device: a thread that reads 64-byte input reports one after
// another and emits each with newData(), writing at most one queued request between reads.
// It talks to the device through the installed HidPlatform only.
class usbHID : public QThread
{
    Q_OBJECT

public:
    explicit usbHID(QObject *parent = nullptr);
    ~usbHID() override;

    // Lists the matching devices (main thread); empty when no platform is installed.
    static void findDevices(DeviceList &devices);

    // Closes the open device, opens path and emits connected() with the outcome, which it
    // also returns. An empty path only closes. Main thread; waits for at most one pass.
    bool setDevice(const QString &path);
    // Whether the last setDevice() left a device open.
    bool isOpen() const { return linkOpen.load(); }
    // Takes a 64-byte request for the next pass; false while an earlier one is pending.
    bool queueRequest(const unsigned char *report);
    // The same for a request held in an array: a shorter one is padded with zeros, a longer
    // one cut to 64 bytes.
    bool queueRequest(const QByteArray &report);

    // How long one read waits for a report, and one write attempt for its completion.
    static constexpr int readTimeoutMs = 1;
    static constexpr int writeTimeoutMs = 1;
    // Failed write attempts after which a request is dropped.
    static constexpr int maxWriteAttempts = 11;

signals:
    void newData(QByteArray data);
    void connected(bool ok);

public slots:
    void stopDataExchange();

protected:
    void run() override;

private:
    bool openDevice(); // with handleLock held
    void writePendingRequest(); // with handleLock held

    QString devicePath;
    std::mutex handleLock;
    std::mutex requestLock;
    // Wakes a loop that waits with handleLock released: idle (no device) or after a failed read.
    std::condition_variable idleWake;
    std::unique_ptr<HidConnection> deviceHandle;
    bool opened = false;
    std::atomic<bool> linkOpen{false};
    std::atomic<bool> running{true};
    std::atomic<bool> stopAfterStart{false};
    int retryCount = 0;
    bool requestPending = false;
    std::array<unsigned char, reportSize> requestReport{};
    unsigned char requestId = 0;
};

#endif // USBHID_H
