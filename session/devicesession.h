#ifndef DEVICESESSION_H
#define DEVICESESSION_H

#include "devicelist.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

class HidPlatform;
class QTimer;
class RecordingWriter;
class usbHID;

// What lies between the platform and a front end (the window, tolvexctl): the platform in
// use, the exchange thread (usbHID) and the device policy.
//
// The policy: the chosen device stays chosen while it is listed; the preferred one (--device,
// by tag or path) is taken whenever it is listed, unless the operator has chosen another one
// since; when the chosen device goes, the first remaining one is opened (or, when the session
// stays with the preferred device, none until it comes back). A chosen device that did not
// open is tried again once a second and at every device notice. A device whose reads fail
// (usbHID::deviceLost) is gone even when the list still names it, as after a re-enumeration
// under the same path; one change of device is one transition, whether the platform's notice
// or the failed read comes first.
//
// Each report is stamped once, on the exchange thread as it is read, with the report clock.
//
// The recording, while one runs: every report read, with that one stamp; every request the
// front end sends; and the device in use at each change (with stayWithPreferred, none while
// the device is away and the device again when it is back; otherwise the chosen device).
class DeviceSession : public QObject
{
    Q_OBJECT

public:
    // The platform (the system's, a replay, the simulated one: see ProgramPlatform) is not
    // owned and outlives the session; the session lists and opens devices through it alone.
    explicit DeviceSession(HidPlatform *platform, QObject *parent = nullptr);
    ~DeviceSession() override;

    HidPlatform *platform() const { return hidPlatform; }
    // The exchange thread; the session starts and stops it.
    usbHID *link() const { return usb; }

    // The device taken whenever it is listed (a tag in any case, or a path); empty for none.
    void setPreferredDevice(const QString &tagOrPath);
    // Opens no other device than the preferred one: when it goes, the session waits for it.
    void setStayWithPreferred(bool stay);

    // Starts the exchange thread (after the first refresh(), so that the first device is open
    // when reading begins).
    void start(QThread::Priority priority = QThread::InheritPriority);
    // Stops the exchange thread and waits for it: every report read is emitted before this
    // returns.
    void stop();

    // Lists the devices again and applies the policy; devicesListed() says the outcome.
    void refresh();
    // The operator's choice among the devices last listed: it stays chosen while listed.
    void choose(int index);

    DeviceList devices() const { return listed; }
    // The platform's devices now, without applying the policy (main thread).
    DeviceList listDevices() const;
    // The chosen device (both empty: none).
    QString product() const { return chosenProduct; }
    QString path() const { return chosenPath; }
    // "product [tag]" of the chosen device.
    QString deviceText() const;
    static QString deviceText(const QString &product, const QString &path);
    // Whether the chosen device is open.
    bool isOpen() const;
    // Why a device that is listed does not open, as tolvexctl says it (cannotopen_*.cpp of
    // each system).
    static QString cannotOpenText(const QString &deviceText, const QString &path);

    // A chosen device that did not open is tried again this often, and at every notice but
    // no more often than reopenOnNoticeMinMs.
    static constexpr int reopenIntervalMs = 1000;
    static constexpr int reopenOnNoticeMinMs = 200;

    // Records into path (a file of that name is replaced): the header names the chosen device
    // and keeps the configuration text; at most maxReports reports are recorded (negative: no
    // limit). False when the file cannot be written (recording().errorString() says why).
    bool startRecording(const QString &path, const QByteArray &configuration, qint64 maxReports = -1);
    // Ends the recording: what was recorded is on the disk (synced) when this returns. A sync
    // that fails, or a failure not yet said, is said by recordingBroke() before it returns.
    void stopRecording();
    bool isRecording() const;
    // The recording under way or the last one: its file, records, failure.
    const RecordingWriter &recording() const { return *recorder; }
    // Records a request handed to the exchange thread (no-op while not recording).
    void recordRequest(const QByteArray &request);

signals:
    // The devices as just listed, and the position of the chosen one (-1: none).
    void devicesListed(const DeviceList &devices, int chosen);
    // The chosen device was opened, or did not open (then it is tried again).
    void openAttempted(bool ok);
    // The open device left: unplugged, no longer listed, or its reads failed. Said once per
    // departure, before another device is opened.
    void deviceGone(const QString &product, const QString &path);
    // One report as read, with its reading of the report clock. Emitted on the exchange
    // thread: receivers connect directly and take bytes of their own.
    void reportRead(const QByteArray &report, qint64 monotonicNs);
    // The recording broke (a write failed, the disk fell too far behind, the sync at its end
    // failed) and has ended; its file holds every record up to the failure. Said once per
    // recording, on the main thread.
    void recordingBroke(const QString &error, const QString &fileName);

private:
    void openChosen();
    void reopenChosen();
    void linkLost();
    void sayGone();
    void updateReopenTimer();
    void noteRecordedDevice();
    void sayRecordingBroke();
    // Called by name from the thread whose write failed (so that nothing crosses threads in a
    // queued call's captures): ends the broken recording and says so.
    Q_INVOKABLE void endBrokenRecording();

    HidPlatform *hidPlatform;
    usbHID *usb;
    QTimer *reopenTimer;
    DeviceList listed;
    QString preferred;
    bool stayWithPreferred = false;
    bool chosenByOperator = false;
    QString chosenProduct;
    QString chosenPath;
    // The device whose open the front ends were told of and whose departure is not said yet.
    QString upProduct;
    QString upPath;
    bool up = false;
    QElapsedTimer lastOpenAttempt;
    std::unique_ptr<RecordingWriter> recorder;
    // Reports the recording still takes (negative: any number); the exchange thread's once
    // the recording has started.
    std::atomic<qint64> reportsToRecord{-1};
    bool recordingBrokeSaid = false;
};

#endif // DEVICESESSION_H
