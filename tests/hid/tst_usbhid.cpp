// The exchange thread against simulated devices: opening, reading, request writing and retries,
// stopping.
#include "simplatform.h"
#include "usbhid.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <mutex>

namespace {

QByteArray report(unsigned char id, unsigned char tag = 0)
{
    QByteArray r(reportSize, '\0');
    r[0] = 1;
    r[1] = char(id);
    r[2] = char(tag);
    return r;
}

QByteArray request(unsigned char id, unsigned char first = 0)
{
    QByteArray r(reportSize, '\0');
    r[0] = 0x55; // overwritten with the report ID on every write
    r[1] = char(id);
    r[2] = char(first);
    r[63] = char(0xEE);
    return r;
}

} // namespace

class UsbHidTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setDeviceOpensAndReports_data();
    void setDeviceOpensAndReports();
    void setDeviceSamePathReopens();
    void connectedOnlyFromSetDevice();

    void reportsKeepTheirOwnBytes();
    void reportsAreAlwaysFullLength_data();
    void reportsAreAlwaysFullLength();

    void requestIsWrittenWithReportId();
    void secondRequestRefusedWhilePending();
    void requestWaitsForAnOpenDevice();
    void oversizedRequestIsCut();
    void elevenStalledWritesDropRequest();
    void answerEndsRetriesAndIsEmitted();
    void zeroIdRequestNotEndedByReports();
    void hardWriteErrorEndsRequest();

    void stopBeforeStartIsUndoneByRun();
    void stopRightAfterStartHolds();
    void stopEndsThreadWithinOnePass_data();
    void stopEndsThreadWithinOnePass();

private:
    void startLink();
    // Waits until the exchange thread has taken every injected report.
    void drain(const std::shared_ptr<SimDevice> &device);

    int receivedCount() const;
    QByteArray receivedAt(int index) const;

    std::unique_ptr<SimPlatform> sim;
    std::unique_ptr<usbHID> usb;
    // Filled on the exchange thread itself (a direct connection), read here under the lock.
    mutable std::mutex receivedLock;
    QList<QByteArray> received;
    QList<bool> connections;
};

void UsbHidTest::init()
{
    sim = std::make_unique<SimPlatform>();
    HidPlatform::install(sim.get());
    usb = std::make_unique<usbHID>();
    connections.clear();
    {
        std::lock_guard<std::mutex> guard(receivedLock);
        received.clear();
    }
    connect(usb.get(), &usbHID::newData, this, [this](const QByteArray &data) {
            std::lock_guard<std::mutex> guard(receivedLock);
            received.append(data);
        }, Qt::DirectConnection);
    connect(usb.get(), &usbHID::connected, this, [this](bool ok) { connections.append(ok); });
}

void UsbHidTest::cleanup()
{
    usb->stopDataExchange();
    QVERIFY(usb->wait(5000));
    usb.reset();
    HidPlatform::install(nullptr);
    sim.reset();
}

int UsbHidTest::receivedCount() const
{
    std::lock_guard<std::mutex> guard(receivedLock);
    return received.size();
}

QByteArray UsbHidTest::receivedAt(int index) const
{
    std::lock_guard<std::mutex> guard(receivedLock);
    return received.value(index);
}

void UsbHidTest::startLink()
{
    usb->start();
    QTRY_VERIFY(usb->isRunning());
}

void UsbHidTest::drain(const std::shared_ptr<SimDevice> &device)
{
    QTRY_COMPARE(device->pendingReports(), 0);
}

void UsbHidTest::setDeviceOpensAndReports_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("openFails");
    QTest::addColumn<bool>("expectOpen");

    QTest::newRow("plugged device") << "/sim/hidraw1" << false << true;
    QTest::newRow("empty path closes") << "" << false << false;
    QTest::newRow("unknown path") << "/sim/nothing" << false << false;
    QTest::newRow("open fails") << "/sim/hidraw1" << true << false;
}

// Whatever the new path, the previous device is closed first, and connected() tells the outcome.
void UsbHidTest::setDeviceOpensAndReports()
{
    QFETCH(QString, path);
    QFETCH(bool, openFails);
    QFETCH(bool, expectOpen);

    auto previous = sim->plug("First", "/sim/hidraw0");
    auto target = sim->plug("Second", "/sim/hidraw1");
    target->setOpenFails(openFails);
    startLink();
    QVERIFY(usb->setDevice(previous->path()));
    QVERIFY(previous->isOpen());

    QCOMPARE(usb->setDevice(path), expectOpen);
    QCOMPARE(connections, (QList<bool>{true, expectOpen}));
    QCOMPARE(usb->isOpen(), expectOpen);
    QVERIFY(!previous->isOpen());
    QCOMPARE(target->isOpen(), expectOpen);

    // Reports flow only from an open device; the loop goes on either way.
    target->injectReport(report(0, 7));
    if (expectOpen) {
        QTRY_COMPARE(receivedCount(), 1);
        QCOMPARE(receivedAt(0).at(2), char(7));
    } else {
        QTest::qWait(30);
        QVERIFY(receivedCount() == 0);
        QVERIFY(usb->isRunning());
    }
}

void UsbHidTest::setDeviceSamePathReopens()
{
    auto device = sim->plug("Probe");
    startLink();
    QVERIFY(usb->setDevice(device->path()));
    QVERIFY(usb->setDevice(device->path()));
    QCOMPARE(device->openCount(), 2);
    QVERIFY(device->isOpen());
    QCOMPARE(connections, (QList<bool>{true, true}));

    device->injectReport(report(0, 1));
    QTRY_COMPARE(receivedCount(), 1);
}

// Failing reads and a device pulled out say nothing; only setDevice() reports the link.
void UsbHidTest::connectedOnlyFromSetDevice()
{
    auto device = sim->plug("Probe");
    startLink();
    usb->setDevice(device->path());
    device->setReadFails(true);
    QTest::qWait(20);
    device->setReadFails(false);
    sim->unplug(device);
    QTest::qWait(20);
    QCOMPARE(connections, QList<bool>{true});
    QVERIFY(usb->isRunning());

    // The loop recovers once the window chooses again.
    sim->plug(device);
    QVERIFY(usb->setDevice(device->path()));
    device->injectReport(report(0, 3));
    QTRY_COMPARE(receivedCount(), 1);
}

// The receive buffer is reused from pass to pass: a report handed out earlier must not change
// when the next one is read.
void UsbHidTest::reportsKeepTheirOwnBytes()
{
    auto device = sim->plug("Probe");
    startLink();
    usb->setDevice(device->path());
    const int count = 200;
    for (int i = 0; i < count; ++i)
        QVERIFY(device->injectReport(report(0, static_cast<unsigned char>(i))));
    QTRY_COMPARE(receivedCount(), count);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(receivedAt(i).size(), reportSize);
        QCOMPARE(receivedAt(i), report(0, static_cast<unsigned char>(i)));
    }
}

void UsbHidTest::reportsAreAlwaysFullLength_data()
{
    QTest::addColumn<QByteArray>("injected");
    QTest::addColumn<QByteArray>("emitted");

    QByteArray full(reportSize, 'x');
    QTest::newRow("exact") << full << full;
    QTest::newRow("short padded") << QByteArray("\x01\x00\x05", 3)
                                  << QByteArray("\x01\x00\x05", 3) + QByteArray(reportSize - 3, '\0');
    QTest::newRow("long cut") << QByteArray(100, 'y') << QByteArray(reportSize, 'y');
}

void UsbHidTest::reportsAreAlwaysFullLength()
{
    QFETCH(QByteArray, injected);
    QFETCH(QByteArray, emitted);
    auto device = sim->plug("Probe");
    startLink();
    usb->setDevice(device->path());
    device->injectReport(injected);
    QTRY_COMPARE(receivedCount(), 1);
    QCOMPARE(receivedAt(0), emitted);
}

void UsbHidTest::requestIsWrittenWithReportId()
{
    auto device = sim->plug("Probe");
    startLink();
    usb->setDevice(device->path());
    const QByteArray r = request(9, 0x42);
    QVERIFY(usb->queueRequest(reinterpret_cast<const unsigned char *>(r.constData())));
    QVERIFY(device->waitForWriteAttempts(1, 2000));
    QByteArray expected = r;
    expected[0] = 2;
    QCOMPARE(device->writtenReports(), QList<QByteArray>{expected});
    // Written once and done: the next request is taken.
    bool taken = false;
    QTRY_VERIFY(taken || (taken = usb->queueRequest(request(10))));
    QVERIFY(device->waitForWriteAttempts(2, 2000));
}

void UsbHidTest::secondRequestRefusedWhilePending()
{
    auto device = sim->plug("Probe");
    device->setWriteMode(SimDevice::WriteMode::Stall);
    startLink();
    usb->setDevice(device->path());
    QVERIFY(usb->queueRequest(request(3, 0xA1)));
    QVERIFY(device->waitForWriteAttempts(1, 2000));
    QVERIFY(!usb->queueRequest(request(4, 0xB2)));

    device->setWriteMode(SimDevice::WriteMode::Accept);
    QTRY_COMPARE(device->writtenReports().size(), 1);
    const QByteArray written = device->writtenReports().first();
    QCOMPARE(written.at(1), char(3));
    QCOMPARE(written.at(2), char(0xA1));
}

// A request queued with no device open waits (without counting as failed) until one opens.
void UsbHidTest::requestWaitsForAnOpenDevice()
{
    auto device = sim->plug("Probe");
    startLink();
    QVERIFY(usb->queueRequest(request(6)));
    QVERIFY(!usb->queueRequest(request(7)));
    QTest::qWait(50); // far longer than eleven passes would take
    QVERIFY(usb->setDevice(device->path()));
    QVERIFY(device->waitForWriteAttempts(1, 2000));
    QCOMPARE(device->writtenReports().first().at(1), char(6));
}

void UsbHidTest::oversizedRequestIsCut()
{
    auto device = sim->plug("Probe");
    startLink();
    usb->setDevice(device->path());
    QByteArray big(200, char(0x11));
    big[1] = 8;
    QVERIFY(usb->queueRequest(big));
    QVERIFY(device->waitForWriteAttempts(1, 2000));
    const QByteArray written = device->writtenReports().first();
    QCOMPARE(written.size(), reportSize);
    QCOMPARE(written.at(0), char(2));
    QCOMPARE(written.mid(1), big.mid(1, reportSize - 1));
}

void UsbHidTest::elevenStalledWritesDropRequest()
{
    auto device = sim->plug("Probe");
    device->setWriteMode(SimDevice::WriteMode::Stall);
    startLink();
    usb->setDevice(device->path());
    QVERIFY(usb->queueRequest(request(5)));
    QVERIFY(device->waitForWriteAttempts(usbHID::maxWriteAttempts, 5000));
    QVERIFY(!device->waitForWriteAttempts(usbHID::maxWriteAttempts + 1, 100));
    QCOMPARE(device->writeAttempts(), usbHID::maxWriteAttempts);
    QVERIFY(device->writtenReports().isEmpty());
    QVERIFY(usb->queueRequest(request(5)));
}

// The answer (same non-zero id byte) arrives while the write is still being retried: the
// retrying ends, and the answer still reaches the receivers.
void UsbHidTest::answerEndsRetriesAndIsEmitted()
{
    auto device = sim->plug("Probe");
    device->setWriteMode(SimDevice::WriteMode::Stall);
    startLink();
    usb->setDevice(device->path());
    QVERIFY(usb->queueRequest(request(12)));
    QVERIFY(device->waitForWriteAttempts(1, 2000));
    device->injectReport(report(12, 0x77));
    QTRY_COMPARE(receivedCount(), 1);
    QCOMPARE(receivedAt(0).at(1), char(12));
    QCOMPARE(receivedAt(0).at(2), char(0x77));
    const int attempts = device->writeAttempts();
    QTest::qWait(50);
    QCOMPARE(device->writeAttempts(), attempts);
    QVERIFY(attempts < usbHID::maxWriteAttempts);
    QVERIFY(usb->queueRequest(request(13)));
}

// Telemetry carries id byte 0: with a request of id 0 it must not pass for the answer.
void UsbHidTest::zeroIdRequestNotEndedByReports()
{
    auto device = sim->plug("Probe");
    device->setWriteMode(SimDevice::WriteMode::Stall);
    startLink();
    usb->setDevice(device->path());
    QVERIFY(usb->queueRequest(request(0)));
    QVERIFY(device->waitForWriteAttempts(1, 2000));
    for (int i = 0; i < 5; ++i)
        device->injectReport(report(0, static_cast<unsigned char>(i)));
    drain(device);
    QVERIFY(device->waitForWriteAttempts(usbHID::maxWriteAttempts, 5000));
    QVERIFY(!device->waitForWriteAttempts(usbHID::maxWriteAttempts + 1, 100));
    QTRY_COMPARE(receivedCount(), 5);
}

void UsbHidTest::hardWriteErrorEndsRequest()
{
    auto device = sim->plug("Probe");
    device->setWriteMode(SimDevice::WriteMode::Fail);
    startLink();
    usb->setDevice(device->path());
    QVERIFY(usb->queueRequest(request(2)));
    QVERIFY(device->waitForWriteAttempts(1, 2000));
    QVERIFY(!device->waitForWriteAttempts(2, 100));
    QVERIFY(usb->queueRequest(request(2)));
}

void UsbHidTest::stopBeforeStartIsUndoneByRun()
{
    auto device = sim->plug("Probe");
    usb->setDevice(device->path());
    usb->stopDataExchange();
    startLink();
    device->injectReport(report(0, 1));
    QTRY_COMPARE(receivedCount(), 1);
    QVERIFY(usb->isRunning());
}

// A window closed as soon as it opened stops the thread before run() has begun: that stop must
// not be undone, or the close would wait forever.
void UsbHidTest::stopRightAfterStartHolds()
{
    for (int i = 0; i < 50; ++i) {
        usbHID link;
        link.start();
        link.stopDataExchange();
        QVERIFY(link.wait(2000));
    }
}

void UsbHidTest::stopEndsThreadWithinOnePass_data()
{
    QTest::addColumn<bool>("withDevice");
    QTest::addColumn<bool>("stalledRequest");
    QTest::newRow("no device") << false << false;
    QTest::newRow("device open") << true << false;
    QTest::newRow("write stalling") << true << true;
}

void UsbHidTest::stopEndsThreadWithinOnePass()
{
    QFETCH(bool, withDevice);
    QFETCH(bool, stalledRequest);
    auto device = sim->plug("Probe");
    if (stalledRequest)
        device->setWriteMode(SimDevice::WriteMode::Stall);
    startLink();
    if (withDevice)
        usb->setDevice(device->path());
    if (stalledRequest) {
        usb->queueRequest(request(1));
        QVERIFY(device->waitForWriteAttempts(1, 2000));
    }
    QTest::qWait(20);
    QElapsedTimer clock;
    clock.start();
    usb->stopDataExchange();
    QVERIFY(usb->wait(1000));
    // One pass is at most a 1 ms read and a 1 ms write; allow for a loaded machine.
    QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(UsbHidTest)
#include "tst_usbhid.moc"
