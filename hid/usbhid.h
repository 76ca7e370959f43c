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
class usbHID : public QThread
{
    Q_OBJECT

public:
    explicit usbHID(QObject *parent = nullptr);
    ~usbHID() override;

    // Lists the matching devices (main thread).
    static void findDevices(DeviceList &devices);

    // Closes the open device, opens path and emits connected() with the outcome.
    void setDevice(const QString &path);
    // Takes a 64-byte request for the next pass; false while an earlier one is pending.
    bool queueRequest(const unsigned char *report);

signals:
    void newData(QByteArray data);
    void connected(bool ok);

public slots:
    void stopDataExchange();

protected:
    void run() override;

private:
    bool openDevice(); // with handleLock held
    bool readReport(unsigned char *buffer);
    bool writeAttempt();

    QString devicePath;
    std::mutex handleLock;
    std::mutex requestLock;
    std::condition_variable idleWake; // wakes an idle loop (no device) at once
    std::unique_ptr<HidConnection> deviceHandle;
    bool opened = false;
    std::atomic<bool> running{true};
    int retryCount = 0;
    bool requestPending = false;
    std::array<unsigned char, reportSize> requestReport{};
    unsigned char requestId = 0;
};

#endif // USBHID_H
