// The simulated device itself: what the tests and the demo rely on when they drive it.
#include "simplatform.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray report(char tag)
{
    QByteArray r(reportSize, '\0');
    r[2] = tag;
    return r;
}

char readTag(HidConnection &connection, int timeoutMs = 200)
{
    unsigned char buffer[reportSize];
    if (connection.read(buffer, timeoutMs) != HidConnection::Result::Done)
        return 0;
    return char(buffer[2]);
}

} // namespace

class SimDeviceTest : public QObject
{
    Q_OBJECT

private slots:
    void enumerationFollowsPlugging();
    void reportsOnlyWhileOpen();
    void delayedReportsDoNotHoldBackOthers();
    void readTimesOutWithoutReport();
    void unplugFailsOpenConnection();
    void openCanBeMadeToFail();
    void writeModes();
    void responderAnswersEveryWrite();
};

void SimDeviceTest::enumerationFollowsPlugging()
{
    SimPlatform sim;
    QSignalSpy notices(&sim, &HidPlatform::devicesChanged);
    auto a = sim.plug("A");
    auto b = sim.plug("B", "/custom/path");
    auto c = sim.plug("C", QString(), 0);
    QCOMPARE(notices.count(), 3);
    QCOMPARE(sim.enumerate(), (DeviceList{{"C", c->path()}, {"A", a->path()}, {"B", "/custom/path"}}));
    QVERIFY(a->path() != c->path());

    sim.plug(a); // already plugged: no change, no notice
    QCOMPARE(notices.count(), 3);
    sim.unplug(a);
    sim.unplug(a);
    QCOMPARE(notices.count(), 4);
    QCOMPARE(sim.enumerate().size(), 2);
    QVERIFY(!sim.open(a->path()));
}

void SimDeviceTest::reportsOnlyWhileOpen()
{
    SimPlatform sim;
    auto d = sim.plug("A");
    QVERIFY(!d->injectReport(report(1))); // nobody listens
    auto connection = sim.open(d->path());
    QVERIFY(connection);
    QVERIFY(d->isOpen());
    QCOMPARE(d->pendingReports(), 0);
    QVERIFY(d->injectReport(report(2)));
    QCOMPARE(readTag(*connection), char(2));
    connection.reset();
    QVERIFY(!d->isOpen());
    QCOMPARE(d->openCount(), 1);
}

void SimDeviceTest::delayedReportsDoNotHoldBackOthers()
{
    SimPlatform sim;
    auto d = sim.plug("A");
    auto connection = sim.open(d->path());
    d->injectReport(report(1), 60);
    d->injectReport(report(2));
    d->injectReport(report(3));
    QCOMPARE(readTag(*connection), char(2));
    QCOMPARE(readTag(*connection), char(3));
    unsigned char buffer[reportSize];
    QCOMPARE(connection->read(buffer, 1), HidConnection::Result::TimedOut);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(readTag(*connection, 1000), char(1));
    QVERIFY(clock.elapsed() >= 30);
}

void SimDeviceTest::readTimesOutWithoutReport()
{
    SimPlatform sim;
    auto d = sim.plug("A");
    auto connection = sim.open(d->path());
    unsigned char buffer[reportSize];
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(connection->read(buffer, 20), HidConnection::Result::TimedOut);
    QVERIFY(clock.elapsed() >= 15);
}

void SimDeviceTest::unplugFailsOpenConnection()
{
    SimPlatform sim;
    auto d = sim.plug("A");
    auto connection = sim.open(d->path());
    d->injectReport(report(1));
    sim.unplug(d);
    unsigned char buffer[reportSize] = {};
    QCOMPARE(connection->read(buffer, 50), HidConnection::Result::Failed);
    QCOMPARE(connection->write(buffer, 1), HidConnection::Result::Failed);
    QVERIFY(!d->injectReport(report(2)));
}

void SimDeviceTest::openCanBeMadeToFail()
{
    SimPlatform sim;
    auto d = sim.plug("A");
    d->setOpenFails(true);
    QVERIFY(!sim.open(d->path()));
    d->setOpenFails(false);
    QVERIFY(sim.open(d->path()));
}

void SimDeviceTest::writeModes()
{
    SimPlatform sim;
    auto d = sim.plug("A");
    auto connection = sim.open(d->path());
    QByteArray out(reportSize, '\x05');
    const auto *bytes = reinterpret_cast<const unsigned char *>(out.constData());

    QCOMPARE(connection->write(bytes, 1), HidConnection::Result::Done);
    d->setWriteMode(SimDevice::WriteMode::Stall);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(connection->write(bytes, 20), HidConnection::Result::TimedOut);
    QVERIFY(clock.elapsed() >= 15);
    d->setWriteMode(SimDevice::WriteMode::Fail);
    QCOMPARE(connection->write(bytes, 1), HidConnection::Result::Failed);

    QCOMPARE(d->writeAttempts(), 3);
    QCOMPARE(d->writtenReports(), QList<QByteArray>{out});
    d->clearWrites();
    QCOMPARE(d->writeAttempts(), 0);
    QVERIFY(d->writtenReports().isEmpty());
}

void SimDeviceTest::responderAnswersEveryWrite()
{
    SimPlatform sim;
    auto d = sim.plug("A");
    auto connection = sim.open(d->path());
    d->setResponder([](SimDevice &device, const QByteArray &request) {
        QByteArray answer(reportSize, '\0');
        answer[1] = request[1];
        answer[2] = char(request[2] + 1);
        device.injectReport(answer, 5);
    });
    QByteArray out(reportSize, '\0');
    out[1] = 7;
    out[2] = 40;
    QCOMPARE(connection->write(reinterpret_cast<const unsigned char *>(out.constData()), 1),
             HidConnection::Result::Done);
    QCOMPARE(readTag(*connection), char(41));
}

QTEST_GUILESS_MAIN(SimDeviceTest)
#include "tst_simdevice.moc"
