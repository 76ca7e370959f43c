// Device selection through the real window on the simulated platform: listing, choosing,
// falling back, and the link state that drives the periodic refresh.
#include "dataparser.h"
#include "devicetag.h"
#include "mainwindow.h"
#include "simplatform.h"
#include "usbhid.h"
#include "windowrig.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QString plugSign = QString::fromUtf8("\xF0\x9F\x94\x8C ");

QString itemText(const std::shared_ptr<SimDevice> &d)
{
    return d->product() + " [" + deviceTag(d->product(), d->path()) + "]";
}

QString connectedText(const std::shared_ptr<SimDevice> &d)
{
    return plugSign + QString::fromUtf8("Подключено устройство ") + itemText(d);
}

QString noDeviceText()
{
    return plugSign + QString::fromUtf8("Устройство не обнаружено. Подключите устройство к USB порту...");
}

QByteArray telemetryReport()
{
    QByteArray r(reportSize, '\0');
    r[0] = 1;
    return r;
}

} // namespace

class DeviceSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startWithoutDevice();
    void plugOne();
    void secondDeviceKeepsTheChosenOne();
    void unplugChosenFallsBackToFirst();
    void unplugLast();
    void chooseAnother();
    void sameProductStringTwice();
    void noticeWithoutChangeTouchesNothing();
    void deviceThatFailsToOpenIsNotAnnounced();
    void foreignDeviceAtTheChosenPathIsRefused();
    void startWithDevicePluggedIn();
    void closingWaitsForBothThreads();
    void deviceBackUnderItsPathAtOnceIsReopened();

private:
    void build();
    QComboBox *box() const { return window->findChild<QComboBox *>("cbCurrentDevice"); }
    QString count() const { return window->findChild<QLabel *>("lbDeviceCount")->text(); }
    QString status() const { return window->statusBar()->currentMessage(); }
    quint64 samples() const;
    QStringList items() const;

    QTemporaryDir logDir; // the parser's log files land in the working directory
    std::unique_ptr<SimPlatform> sim;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowProbe> probe;
};

void DeviceSelectionTest::initTestCase()
{
    QVERIFY(logDir.isValid());
    QVERIFY(QDir::setCurrent(logDir.path()));
}

void DeviceSelectionTest::init()
{
    sim = std::make_unique<SimPlatform>();
    HidPlatform::install(sim.get());
}

void DeviceSelectionTest::cleanup()
{
    probe.reset();
    window.reset();
    HidPlatform::install(nullptr);
    sim.reset();
}

void DeviceSelectionTest::build()
{
    window = std::make_unique<MainWindow>();
    probe = std::make_unique<MainWindowProbe>(window.get());
}

quint64 DeviceSelectionTest::samples() const
{
    DataParser *parser = probe->parser();
    std::lock_guard<std::mutex> state(parser->stateLock);
    return parser->sampleCounter;
}

QStringList DeviceSelectionTest::items() const
{
    QStringList texts;
    for (int i = 0; i < box()->count(); ++i)
        texts << box()->itemText(i);
    return texts;
}

void DeviceSelectionTest::startWithoutDevice()
{
    build();
    QCOMPARE(count(), QString("[0]"));
    QCOMPARE(box()->count(), 0);
    QCOMPARE(status(), noDeviceText());
    QVERIFY(!probe->replotTimer()->isActive());
    QVERIFY(!probe->usb()->isOpen());
}

void DeviceSelectionTest::plugOne()
{
    build();
    auto a = sim->plug("Tolvex probe");
    QCOMPARE(count(), QString("[1]"));
    QCOMPARE(items(), QStringList{itemText(a)});
    QVERIFY(a->isOpen());
    QCOMPARE(status(), connectedText(a));
    QVERIFY(probe->replotTimer()->isActive());
    QCOMPARE(probe->replotTimer()->interval(), 50);
}

// The new device is listed first, so the chosen one moves down; it stays open throughout.
void DeviceSelectionTest::secondDeviceKeepsTheChosenOne()
{
    build();
    auto a = sim->plug("Probe A");
    auto b = sim->plug("Probe B", QString(), 0);
    QCOMPARE(count(), QString("[2]"));
    QCOMPARE(items(), (QStringList{itemText(b), itemText(a)}));
    QCOMPARE(box()->currentIndex(), 1);
    QVERIFY(a->isOpen());
    QCOMPARE(a->openCount(), 1);
    QVERIFY(!b->isOpen());
    QCOMPARE(status(), connectedText(a));

    // Reports of the chosen device still flow after the re-listing.
    a->injectReport(telemetryReport());
    QTRY_COMPARE(samples(), quint64(1));
}

void DeviceSelectionTest::unplugChosenFallsBackToFirst()
{
    build();
    auto a = sim->plug("Probe A");
    auto b = sim->plug("Probe B");
    a->injectReport(telemetryReport());
    a->injectReport(telemetryReport());
    QTRY_COMPARE(samples(), quint64(2));

    sim->unplug(a);
    QCOMPARE(count(), QString("[1]"));
    QCOMPARE(items(), QStringList{itemText(b)});
    QVERIFY(b->isOpen());
    QCOMPARE(status(), connectedText(b));
    QCOMPARE(probe->currentDevicePath(), b->path());
    QVERIFY(probe->replotTimer()->isActive());
    // Falling back keeps the plot history.
    QCOMPARE(samples(), quint64(2));
}

void DeviceSelectionTest::unplugLast()
{
    build();
    auto a = sim->plug("Probe A");
    QVERIFY(probe->replotTimer()->isActive());
    sim->unplug(a);
    QCOMPARE(count(), QString("[0]"));
    QCOMPARE(box()->count(), 0);
    QCOMPARE(status(), noDeviceText());
    QVERIFY(!a->isOpen());
    QVERIFY(!probe->usb()->isOpen());
    QVERIFY(!probe->replotTimer()->isActive());
    QVERIFY(probe->currentDevicePath().isEmpty());

    // Plugging it in again picks it up without a restart.
    sim->plug(a);
    QVERIFY(a->isOpen());
    QCOMPARE(status(), connectedText(a));
}

void DeviceSelectionTest::chooseAnother()
{
    build();
    auto a = sim->plug("Probe A");
    auto b = sim->plug("Probe B");
    a->injectReport(telemetryReport());
    QTRY_COMPARE(samples(), quint64(1));

    box()->setCurrentIndex(1);
    QVERIFY(b->isOpen());
    QVERIFY(!a->isOpen());
    QCOMPARE(status(), connectedText(b));
    QVERIFY(probe->replotTimer()->isActive());
    QCOMPARE(samples(), quint64(0)); // the plots start afresh

    b->injectReport(telemetryReport());
    QTRY_COMPARE(samples(), quint64(1));

    // The choice survives the next re-listing.
    auto c = sim->plug("Probe C");
    QCOMPARE(box()->currentIndex(), 1);
    QCOMPARE(b->openCount(), 1);
    QVERIFY(!c->isOpen());
}

void DeviceSelectionTest::sameProductStringTwice()
{
    build();
    auto a = sim->plug("Twin");
    auto b = sim->plug("Twin");
    const QStringList texts = items();
    QCOMPARE(texts.size(), 2);
    QVERIFY(texts[0] != texts[1]);
    QVERIFY(texts[0].startsWith("Twin ["));
    QVERIFY(texts[1].startsWith("Twin ["));
    QCOMPARE(texts, (QStringList{itemText(a), itemText(b)}));

    // Choosing the second twin opens that one, not the first of the name.
    box()->setCurrentIndex(1);
    QVERIFY(b->isOpen());
    QVERIFY(!a->isOpen());
    QCOMPARE(status(), connectedText(b));
}

// A change elsewhere in the system re-lists, but the chosen device keeps its link.
void DeviceSelectionTest::noticeWithoutChangeTouchesNothing()
{
    build();
    auto a = sim->plug("Probe A");
    QSignalSpy links(probe->usb(), &usbHID::connected);
    emit sim->devicesChanged();
    emit sim->devicesChanged();
    QCOMPARE(links.count(), 0);
    QCOMPARE(a->openCount(), 1);
    QVERIFY(a->isOpen());
    QCOMPARE(items(), QStringList{itemText(a)});
    QCOMPARE(status(), connectedText(a));
}

void DeviceSelectionTest::deviceThatFailsToOpenIsNotAnnounced()
{
    build();
    auto locked = std::make_shared<SimDevice>("Locked probe", "/sim/locked");
    locked->setOpenFails(true);
    sim->plug(locked);
    const QString failed = plugSign + QString::fromUtf8("Не удалось открыть устройство ") + itemText(locked);
    QCOMPARE(count(), QString("[1]"));
    QCOMPARE(items(), QStringList{itemText(locked)});
    QCOMPARE(status(), failed);
    QVERIFY(!probe->replotTimer()->isActive());

    // Another device arriving leaves the choice, and the message, as they are.
    auto other = sim->plug("Other");
    QCOMPARE(box()->currentIndex(), 0);
    QCOMPARE(status(), failed);
    QVERIFY(!other->isOpen());

    // Choosing the other one works and says so.
    box()->setCurrentIndex(1);
    QVERIFY(other->isOpen());
    QCOMPARE(status(), connectedText(other));
    QVERIFY(probe->replotTimer()->isActive());
}

void DeviceSelectionTest::foreignDeviceAtTheChosenPathIsRefused()
{
    // The chosen device does not open yet, so its path is tried again every second. Meanwhile
    // it is pulled out where no notice is heard, and a keyboard takes its path.
    auto chosen = std::make_shared<SimDevice>("Probe", "/sim/hidraw0");
    chosen->setOpenFails(true);
    sim->plug(chosen);
    build();
    QCOMPARE(status(), plugSign + QString::fromUtf8("Не удалось открыть устройство ") + itemText(chosen));
    sim->setNoticesHeard(false);
    sim->unplug(chosen);
    auto keyboard = std::make_shared<SimDevice>("Keyboard", "/sim/hidraw0", 0x046d, 0xc31c);
    sim->plug(keyboard);

    // The path is tried again, and the list compared, more than once meanwhile.
    QTest::qWait(2500);
    QCOMPARE(keyboard->openCount(), 0);
    QVERIFY(!probe->usb()->isOpen());
    QVERIFY(!probe->replotTimer()->isActive());
    QVERIFY2(!status().contains(QString::fromUtf8("Подключено")), qPrintable(status()));
}

void DeviceSelectionTest::startWithDevicePluggedIn()
{
    auto a = sim->plug("Probe A");
    auto b = sim->plug("Probe B");
    build();
    QCOMPARE(count(), QString("[2]"));
    QCOMPARE(box()->currentIndex(), 0);
    QVERIFY(a->isOpen());
    QVERIFY(!b->isOpen());
    QCOMPARE(status(), connectedText(a));
    QVERIFY(probe->replotTimer()->isActive());
}

// A thread object destroyed while its thread runs aborts the program; the window's children
// being gone once its destructor returns therefore means that both loops had ended.
void DeviceSelectionTest::closingWaitsForBothThreads()
{
    auto a = sim->plug("Probe A");
    build();
    QPointer<usbHID> usb = probe->usb();
    QPointer<DataParser> parser = probe->parser();
    QTRY_VERIFY(usb->isRunning());
    QTRY_VERIFY(parser->isRunning());
    for (int i = 0; i < 50; ++i)
        a->injectReport(telemetryReport());

    probe.reset();
    window.reset();
    QVERIFY(usb.isNull());
    QVERIFY(parser.isNull());
    QVERIFY(!a->isOpen()); // the link closed with its thread object
}

// A device that re-enumerates gets its old node back before any notice is heard: the list
// looks the same, and only its failed read tells the window to open it again.
void DeviceSelectionTest::deviceBackUnderItsPathAtOnceIsReopened()
{
    build();
    auto a = sim->plug("Probe A");
    QVERIFY(a->isOpen());
    sim->setNoticesHeard(false);
    sim->unplug(a);
    auto again = sim->plug("Probe A", a->path());
    sim->setNoticesHeard(true);
    QTRY_VERIFY(again->isOpen());
    QCOMPARE(status(), connectedText(again));
    QVERIFY(probe->replotTimer()->isActive());
    again->injectReport(telemetryReport());
    QTRY_COMPARE(samples(), quint64(1));
}

QTEST_MAIN(DeviceSelectionTest)
#include "tst_deviceselection.moc"
