// The virtual device through the kernel's HID stack and plain hidapi, as the program's
// platform layer sees it: enumeration, the report ID framing, writes, GET/SET_REPORT and
// hot-plug. Runs inside the test virtual machine (vm-run), as root.

#include "vhidprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <hidapi/hidapi.h>

#include <cstring>
#include <memory>

namespace {

constexpr unsigned short vendorId = 0x0483;
constexpr unsigned short productId = 0x5750;

struct Listed
{
    QString path;
    QString product;
};

QList<Listed> listDevices()
{
    QList<Listed> found;
    hid_device_info *devices = hid_enumerate(vendorId, productId);
    for (hid_device_info *d = devices; d; d = d->next) {
        found.append({QString::fromUtf8(d->path),
                      d->product_string ? QString::fromWCharArray(d->product_string) : QString()});
    }
    hid_free_enumeration(devices);
    return found;
}

using Device = std::unique_ptr<hid_device, decltype(&hid_close)>;

Device openDevice(const QString &path)
{
    return Device(hid_open_path(path.toUtf8().constData()), &hid_close);
}

// One report, or an empty array when none came in time; "failed" when the read failed.
QByteArray readReport(hid_device *device, int timeoutMs, bool *failed = nullptr)
{
    unsigned char buffer[64] = {};
    const int got = hid_read_timeout(device, buffer, sizeof buffer, timeoutMs);
    if (failed)
        *failed = got < 0;
    return got > 0 ? QByteArray(reinterpret_cast<char *>(buffer), got) : QByteArray();
}

// Reads until a report with the given id byte comes; empty after timeoutMs.
QByteArray readReportWithId(hid_device *device, int idByte, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const QByteArray report = readReport(device, 50);
        if (report.size() >= 2 && quint8(report[1]) == idByte)
            return report;
    }
    return {};
}

template <typename T>
T fieldAt(const QByteArray &report, int pos)
{
    T value;
    std::memcpy(&value, report.constData() + pos, sizeof value); // little-endian host
    return value;
}

} // namespace

class VmHidapiTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void enumerationListsTheDeviceByItsProductString();
    void telemetryArrivesWithReportIdAndEveryValueInPlace();
    void outputReportReachesTheDeviceAndIsAnswered();
    void getAndSetReportRequestsDoNotStall();
    void inputReportsOfAnotherLengthLeaveTheLinkWorking();
    void unplugEndsReadsAndPlugBringsTheDeviceBack();
    void twoDevicesWithOneProductStringHaveTheirOwnPaths();
};

void VmHidapiTest::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral("/dev/uhid")),
             "no /dev/uhid: this test runs inside the test virtual machine (vm-run)");
    QCOMPARE(hid_init(), 0);
    QVERIFY2(listDevices().isEmpty(), "a matching device is present before the test plugs one");
}

void VmHidapiTest::cleanupTestCase()
{
    hid_exit();
}

void VmHidapiTest::enumerationListsTheDeviceByItsProductString()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    const QList<Listed> devices = listDevices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices[0].path, vhid.node());
    QCOMPARE(devices[0].product, QStringLiteral("Tolvex VM"));
}

void VmHidapiTest::telemetryArrivesWithReportIdAndEveryValueInPlace()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    Device device = openDevice(vhid.node());
    QVERIFY(device);

    quint32 previous = 0;
    for (int i = 0; i < 20; ++i) {
        const QByteArray report = readReport(device.get(), 1000);
        QCOMPARE(report.size(), 64);
        QCOMPARE(int(report[0]), 1); // input report ID
        QCOMPARE(int(report[1]), 0); // telemetry
        // The count pattern: field k of report n holds n + k, packed as configured.
        const quint32 n = fieldAt<quint32>(report, 2);
        if (i > 0)
            QCOMPARE(n, previous + 1); // none lost, none reordered on the way
        previous = n;
        QCOMPARE(quint8(report[6]), quint8((n + 1) % 256));
        QCOMPARE(fieldAt<qint16>(report, 7), qint16((n + 2) % 32768));
        QCOMPARE(fieldAt<quint16>(report, 9), quint16((n + 3) % 65536));
        QCOMPARE(fieldAt<float>(report, 11), float(n + 4));
        QCOMPARE(fieldAt<double>(report, 15), double(n + 5));
        QCOMPARE(fieldAt<qint64>(report, 23), qint64(n) + 6);
        QCOMPARE(quint8(report[31]), quint8((n + 7) % 2));
    }
}

void VmHidapiTest::outputReportReachesTheDeviceAndIsAnswered()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    Device device = openDevice(vhid.node());
    QVERIFY(device);

    // "Set threshold": channel 9, threshold 0x0abc, mask 0b110.
    unsigned char request[64] = {2, 2, 9, 0xbc, 0x0a, 6};
    QCOMPARE(hid_write(device.get(), request, sizeof request), 64);
    QVERIFY(vhid.waitForLine("output ", 5000) >= 0);
    QCOMPARE(vhid.linesAfter("output "),
             QList<QByteArray>{QByteArray(reinterpret_cast<char *>(request), 64).toHex()});

    const QByteArray answer = readReportWithId(device.get(), 2, 3000);
    QCOMPARE(answer.size(), 64);
    QCOMPARE(int(answer[0]), 1);
    QCOMPARE(answer.mid(2, 5).toHex(), QByteArray("09bc0a0604")); // echoed, "accepted" = 4
}

void VmHidapiTest::getAndSetReportRequestsDoNotStall()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    Device device = openDevice(vhid.node());
    QVERIFY(device);
    QVERIFY(!readReport(device.get(), 1000).isEmpty()); // telemetry flows

    // The kernel waits up to five seconds for a device that ignores these requests.
    QElapsedTimer clock;
    clock.start();
    unsigned char buffer[64] = {1};
    QCOMPARE(hid_get_input_report(device.get(), buffer, sizeof buffer), 64);
    QCOMPARE(int(buffer[0]), 1);
    QCOMPARE(int(buffer[1]), 0);

    unsigned char feature[64] = {3};
    QCOMPARE(hid_get_feature_report(device.get(), feature, sizeof feature), -1);
    QCOMPARE(hid_send_feature_report(device.get(), feature, sizeof feature), -1);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));
    QVERIFY(!readReport(device.get(), 1000).isEmpty()); // and the device still works
}

void VmHidapiTest::inputReportsOfAnotherLengthLeaveTheLinkWorking()
{
    // A longer report reaches a 64-byte read as its first 64 bytes. A shorter one is dropped
    // by this kernel ("too short"), older kernels hand it on as it is; either way the next
    // report arrives whole.
    QStringList arguments = VhidProcess::defaultArguments();
    arguments.replace(arguments.indexOf(QStringLiteral("--rate")) + 1, QStringLiteral("0"));
    VhidProcess vhid;
    QVERIFY(vhid.start(arguments));
    Device device = openDevice(vhid.node());
    QVERIFY(device);

    vhid.send("send 0106" + QByteArray(98 * 2, 'e'));
    const QByteArray longReport = readReport(device.get(), 3000);
    QCOMPARE(longReport.toHex(), QByteArray("0106") + QByteArray(62 * 2, 'e'));

    vhid.send("send 0105aabbcc");
    vhid.send("send 0107" + QByteArray(62 * 2, '7'));
    QByteArray report = readReport(device.get(), 3000);
    if (report.size() == 5) {
        QCOMPARE(report.toHex(), QByteArray("0105aabbcc"));
        report = readReport(device.get(), 3000);
    }
    QCOMPARE(report.toHex(), QByteArray("0107") + QByteArray(62 * 2, '7'));
}

void VmHidapiTest::unplugEndsReadsAndPlugBringsTheDeviceBack()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    {
        Device device = openDevice(vhid.node());
        QVERIFY(device);
        QVERIFY(!readReport(device.get(), 1000).isEmpty());

        QVERIFY(vhid.unplug());
        bool failed = false;
        QElapsedTimer clock;
        clock.start();
        while (!failed && clock.elapsed() < 3000)
            readReport(device.get(), 100, &failed);
        QVERIFY2(failed, "reads of an unplugged device keep succeeding or timing out");
        QVERIFY(listDevices().isEmpty());
        QVERIFY(!openDevice(vhid.node()));
    }

    QVERIFY(vhid.plug());
    const QList<Listed> devices = listDevices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices[0].path, vhid.node());
    Device again = openDevice(vhid.node());
    QVERIFY(again);
    QCOMPARE(readReport(again.get(), 1000).size(), 64);
}

void VmHidapiTest::twoDevicesWithOneProductStringHaveTheirOwnPaths()
{
    VhidProcess first;
    VhidProcess second;
    QVERIFY(first.start());
    QVERIFY(second.start());
    QVERIFY(first.node() != second.node());

    const QList<Listed> devices = listDevices();
    QCOMPARE(devices.size(), 2);
    QStringList paths;
    for (const Listed &d : devices) {
        QCOMPARE(d.product, QStringLiteral("Tolvex VM"));
        paths << d.path;
    }
    paths.sort();
    QStringList expected{first.node(), second.node()};
    expected.sort();
    QCOMPARE(paths, expected);

    // A request on one path reaches that device only.
    Device device = openDevice(second.node());
    QVERIFY(device);
    unsigned char request[64] = {2, 1};
    QCOMPARE(hid_write(device.get(), request, sizeof request), 64);
    QVERIFY(second.waitForLine("output ", 5000) >= 0);
    QTest::qWait(200);
    QVERIFY(first.linesAfter("output ").isEmpty());
}

QTEST_GUILESS_MAIN(VmHidapiTest)
#include "tst_vm_hidapi.moc"
