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
class DeviceSession;
class ProgramPlatform;
class Simulation;

// tolvexctl's front end of the device session: the platform ProgramPlatform chooses (the
// system's HID devices, or with --simulate the demo's simulated one) handed to the session,
// which keeps to the device chosen at the start (by --device, or the first one). Every input
// report comes out of report(), in order, on the main thread, with the time it was read.
class DeviceLink : public QObject
{
    Q_OBJECT

public:
    explicit DeviceLink(const CommonOptions &common, QObject *parent = nullptr);
    ~DeviceLink() override;

    // Makes the platform and the session on it; the simulated device talks as the
    // configuration describes.
    // Returns an exit status (not ok: already said why).
    int installPlatform(const Configuration &configuration);
    // The matching devices now; with --device only the one it names.
    DeviceList devices() const;
    // Chooses the device, opens it and starts the exchange. Returns an exit status (not ok:
    // already said why: no device, not the one asked for, or it does not open).
    int open();
    // open() in two steps, for a run that records from the first report: the device chosen
    // and opened, then the exchange started.
    int openDevice();
    void startExchange();
    // installPlatform, then open: the usual start of a subcommand that talks to the device.
    int start(const Configuration &configuration);
    QString product() const;
    QString path() const;
    QString deviceText() const; // "product [tag]"

    // Hands a 64-byte request to the exchange thread; false while an earlier one is pending.
    bool queueRequest(const QByteArray &request);
    // Gives up the pending request: it is never written from now on.
    void withdrawRequest();
    // Ends the exchange, delivering every report already read through report() first. With
    // drainSimulated, the simulated devices first stop sending and what they sent is read.
    void stop(bool drainSimulated = false);

    Simulation *simulation() const { return sim; }
    // The session beneath: its recording (null before installPlatform()).
    DeviceSession *deviceSession() const { return session; }

signals:
    // One report, with its reading of the report clock taken as it was read.
    void report(const QByteArray &report, qint64 monotonicNs);
    // The device left the system while open (unplugged, or its reads failed).
    void gone();
    // The device came back after gone() and is open again.
    void back();
    // Reports wait in readReports for passReports() on the main thread.
    void reportsWaiting();

private:
    struct ReadReport
    {
        QByteArray bytes;
        qint64 monotonicNs;
    };

    void takeReport(const QByteArray &data, qint64 monotonicNs); // exchange thread
    void passReports();                                          // main thread

    CommonOptions common;
    Simulation *sim = nullptr;
    std::unique_ptr<ProgramPlatform> platformChoice;
    DeviceSession *session = nullptr;
    bool started = false;
    bool away = false;
    std::mutex readLock;
    std::deque<ReadReport> readReports;
    bool passPending = false;
};

#endif // DEVICELINK_H
