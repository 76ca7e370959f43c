// The device session without a window, on the simulated platform: what its front ends (the
// window, tolvexctl, the publisher) are told when a device comes and goes, and what its
// recording keeps of it.
#include "devicesession.h"
#include "recordingreader.h"
#include "recordingwriter.h"
#include "simplatform.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class DeviceSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aDeviceChangeIsOneTransition_data();
    void aDeviceChangeIsOneTransition();
    void stayingWithTheDeviceRecordsItsAbsence();

private:
    // What the front ends were told, in order: "gone <path>", "open <path>", "failed <path>".
    void listen();
    // Waits until a report injected into device arrives through the session.
    bool reportArrivesFrom(const std::shared_ptr<SimDevice> &device);

    std::unique_ptr<SimPlatform> sim;
    std::unique_ptr<DeviceSession> session;
    QStringList told;
    QAtomicInt reports;
};

void DeviceSessionTest::init()
{
    sim = std::make_unique<SimPlatform>();
    session = std::make_unique<DeviceSession>(sim.get());
    told.clear();
    reports = 0;
}

void DeviceSessionTest::cleanup()
{
    session.reset();
    sim.reset();
}

void DeviceSessionTest::listen()
{
    connect(session.get(), &DeviceSession::deviceGone, this,
            [this](const QString &, const QString &path) { told << "gone " + path; });
    connect(session.get(), &DeviceSession::openAttempted, this,
            [this](bool ok) { told << (ok ? "open " : "failed ") + session->path(); });
    connect(session.get(), &DeviceSession::reportRead, this,
            [this](const QByteArray &, qint64) { reports.fetchAndAddOrdered(1); }, Qt::DirectConnection);
}

bool DeviceSessionTest::reportArrivesFrom(const std::shared_ptr<SimDevice> &device)
{
    const int before = reports.loadAcquire();
    QByteArray report(64, '\0');
    report[0] = 1;
    if (!device->injectReport(report))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (reports.loadAcquire() == before && waited.elapsed() < 5000)
        QTest::qWait(5);
    return reports.loadAcquire() > before;
}

void DeviceSessionTest::aDeviceChangeIsOneTransition_data()
{
    QTest::addColumn<bool>("noticesHeard");
    QTest::addColumn<bool>("samePath");
    // The notice comes before the failed read.
    QTest::newRow("unplugged, another plugged") << true << false;
    // The kernel reuses the node at once: only the failed read tells.
    QTest::newRow("back under its path before any notice") << false << true;
    // No notices at all: the failed read or the once-a-second list comparison tells.
    QTest::newRow("another in its place, no notices") << false << false;
}

void DeviceSessionTest::aDeviceChangeIsOneTransition()
{
    QFETCH(bool, noticesHeard);
    QFETCH(bool, samePath);
    auto first = sim->plug("Probe A");
    session->refresh();
    session->start();
    listen();
    QVERIFY(reportArrivesFrom(first));

    sim->setNoticesHeard(noticesHeard);
    sim->unplug(first);
    auto second = sim->plug(samePath ? "Probe A" : "Probe B", samePath ? first->path() : QString());
    QTRY_VERIFY(second->isOpen());
    QVERIFY(reportArrivesFrom(second));
    QTest::qWait(300);

    // Once gone, once open, in that order: a front end never sees the new device before the
    // old one left, nor a departure twice.
    QCOMPARE(told, QStringList({"gone " + first->path(), "open " + second->path()}));
    QCOMPARE(session->path(), second->path());
}

void DeviceSessionTest::stayingWithTheDeviceRecordsItsAbsence()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto chosen = sim->plug("Probe A");
    auto other = sim->plug("Probe B");
    session->setPreferredDevice(chosen->path());
    session->setStayWithPreferred(true);
    session->refresh();
    session->start();
    listen();
    const QString path = dir.filePath("night.tolvexrec");
    QVERIFY(session->startRecording(path, QByteArray("{}")));

    sim->unplug(chosen);
    QTRY_COMPARE(told, QStringList({"gone " + chosen->path()}));
    QTest::qWait(1200); // a reopen interval: the other device is never taken
    QVERIFY(!other->isOpen());
    sim->plug(chosen);
    QTRY_VERIFY(chosen->isOpen());
    QVERIFY(reportArrivesFrom(chosen));
    session->stopRecording();
    QVERIFY(!session->recording().failed());

    // The gap is in the recording: the device (in the header), none while it was away, the
    // device again.
    RecordingReader reader;
    QVERIFY(reader.open(path));
    QCOMPARE(reader.header().path, chosen->path());
    QStringList devices;
    int reportsAfterReturn = 0;
    RecordingReader::Record record;
    while (reader.next(record)) {
        if (record.kind == RecordingFormat::RecordKind::Device) {
            QString product, devicePath;
            RecordingFormat::decodeDevice(record.data, &product, &devicePath);
            devices << devicePath;
        } else if (record.kind == RecordingFormat::RecordKind::Report && devices.size() == 2) {
            ++reportsAfterReturn;
        }
    }
    QCOMPARE(devices, QStringList({QString(), chosen->path()}));
    QCOMPARE(reportsAfterReturn, 1);
}

QTEST_MAIN(DeviceSessionTest)
#include "tst_devicesession.moc"
