#ifndef DEVICESESSION_H
#define DEVICESESSION_H

#include "devicelist.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThread>

class HidPlatform;
class QTimer;
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
class DeviceSession : public QObject
{
    Q_OBJECT

public:
    // The platform is not owned and outlives the session; it is the program's installed
    // platform while the session lives (installed by the session if it is not already).
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
    // The chosen device (both empty: none).
    QString product() const { return chosenProduct; }
    QString path() const { return chosenPath; }
    // "product [tag]" of the chosen device.
    QString deviceText() const;
    static QString deviceText(const QString &product, const QString &path);
    // Whether the chosen device is open.
    bool isOpen() const;
    // Why a device that is listed does not open, as tolvexctl says it.
    static QString cannotOpenText(const QString &deviceText, const QString &path);

    // A chosen device that did not open is tried again this often, and at every notice but
    // no more often than reopenOnNoticeMinMs.
    static constexpr int reopenIntervalMs = 1000;
    static constexpr int reopenOnNoticeMinMs = 200;

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

private:
    void openChosen();
    void reopenChosen();
    void linkLost();
    void sayGone();
    void updateReopenTimer();

    HidPlatform *hidPlatform;
    bool installedHere = false;
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
};

#endif // DEVICESESSION_H
