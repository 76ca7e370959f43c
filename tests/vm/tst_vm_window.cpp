// The real window on the system's platform (hidraw), with vhid devices in the kernel's HID stack:
// what a user sees when plugging, watching, commanding and unplugging. Runs inside the test
// virtual machine (vm-run), as root; the permission checks run a small probe of the window
// as an unprivileged user, and the namespace check runs it where no kernel event arrives.

#include "mainwindow.h"
#include "replayplatform.h"
#include "systemplatform.h"
#include "usbhid.h"
#include "vhidprocess.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <sys/stat.h>

namespace {

constexpr int waitMs = 15000; // the guest's processor is emulated: be patient

const QString plugSign = QString::fromUtf8("\xF0\x9F\x94\x8C ");
const QString product = QStringLiteral("Tolvex VM");

// The tag that tells devices with one product string apart, worked out here on its own:
// h = 31 * h + c over the UTF-16 code units of each string, the product's hash rotated left
// by 16 bits, exclusive or the path's.
QString tagOf(const QString &productString, const QString &path)
{
    auto hash = [](const QString &text) {
        quint32 h = 0;
        for (const QChar c : text)
            h = 31 * h + c.unicode();
        return h;
    };
    const quint32 h1 = hash(productString);
    const quint32 tag = ((h1 << 16) | (h1 >> 16)) ^ hash(path);
    return QString::number(tag, 16);
}

QString deviceItem(const QString &path)
{
    return product + QStringLiteral(" [") + tagOf(product, path) + QLatin1Char(']');
}

QString connectedText(const QString &path)
{
    return plugSign + QStringLiteral("Подключено устройство ") + deviceItem(path);
}

const QString noDeviceText =
    plugSign + QStringLiteral("Устройство не обнаружено. Подключите устройство к USB порту...");

// The texts the window shows for telemetry report n of vhid's count pattern (field k holds
// n + k) under the test configuration: counter, status (hex), level (x * 0.5), flags (bin),
// voltage, energy (x / 4), position, armed.
QStringList telemetryTexts(quint64 n)
{
    auto g = [](double value) { return QString::number(value, 'g', 6); };
    return {g(double(n)),
            QString::number((n + 1) % 256, 16),
            g(double((n + 2) % 32768) * 0.5),
            QString::number((n + 3) % 65536, 2),
            g(double(n + 4)),
            g(double(n + 5) / 4),
            g(double(n + 6)),
            g(double((n + 7) % 2))};
}

// The plotted values of report n: the numbers after their scripts.
QVector<double> telemetryValues(quint64 n)
{
    return {double(n), double((n + 1) % 256), double((n + 2) % 32768) * 0.5, double((n + 3) % 65536),
            double(n + 4), double(n + 5) / 4, double(n + 6), double((n + 7) % 2)};
}

const int telemetryCount = 8;
const int plotWindow = 50; // "maxPlotXPoints" of the test configuration

struct WindowView
{
    explicit WindowView(MainWindow *window) : window(window) {}

    QString count() const { return window->findChild<QLabel *>(QStringLiteral("lbDeviceCount"))->text(); }
    QString status() const { return window->statusBar()->currentMessage(); }
    QComboBox *devices() const { return window->findChild<QComboBox *>(QStringLiteral("cbCurrentDevice")); }
    QStringList deviceItems() const
    {
        QStringList items;
        for (int i = 0; i < devices()->count(); ++i)
            items << devices()->itemText(i);
        return items;
    }
    QTreeWidget *tree() const { return window->findChild<QTreeWidget *>(QStringLiteral("treeWidget")); }
    QStringList valueColumn() const
    {
        QStringList texts;
        for (int i = 0; i < tree()->topLevelItemCount(); ++i)
            texts << tree()->topLevelItem(i)->text(1);
        return texts;
    }
    QVector<QCustomPlot *> plots() const
    {
        QVector<QCustomPlot *> found;
        QLayout *layout = window->findChild<QWidget *>(QStringLiteral("scrollAreaWidgetContents"))->layout();
        for (int i = 0; layout && i < layout->count(); ++i) {
            if (auto *plot = qobject_cast<QCustomPlot *>(layout->itemAt(i)->widget()))
                found << plot;
        }
        return found;
    }
    QStringList answerTexts() const
    {
        QStringList texts;
        QLayout *layout = window->findChild<QGroupBox *>(QStringLiteral("gbIn"))->layout();
        for (int i = 0; layout && i < layout->count(); ++i) {
            if (QWidget *frame = layout->itemAt(i)->widget())
                texts << frame->findChild<QLineEdit *>()->text();
        }
        return texts;
    }

    MainWindow *window;
};

QVector<QCPGraphData> pointsOf(QCustomPlot *plot)
{
    QVector<QCPGraphData> points;
    if (plot->graphCount() == 0)
        return points;
    for (auto it = plot->graph(0)->data()->constBegin(); it != plot->graph(0)->data()->constEnd(); ++it)
        points << *it;
    return points;
}

QStringList repeated(const QString &text, int times)
{
    QStringList texts;
    for (int i = 0; i < times; ++i)
        texts << text;
    return texts;
}

double lastValue(QCustomPlot *plot)
{
    const QVector<QCPGraphData> points = pointsOf(plot);
    return points.isEmpty() ? qQNaN() : points.last().value;
}

QStringList linesOf(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {QStringLiteral("<cannot read %1>").arg(fileName)};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the last line's own end
    return lines;
}

// The window in a process of its own (vm_windowprobe): as user nobody (root would open any
// node), or in a user and network namespace of its own (where no kernel event arrives).
class WindowProbe
{
public:
    enum class As { Nobody, OwnNamespaces };

    ~WindowProbe()
    {
        // A watching probe still runs when the test has seen enough.
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    bool start(const QStringList &arguments, As as = As::Nobody)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/tmp/runtime-probe")); // Qt makes it
        environment.insert(QStringLiteral("HOME"), QStringLiteral("/tmp"));
        process.setProcessEnvironment(environment);
        if (as == As::Nobody) {
            process.start(QStringLiteral("setpriv"),
                          QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                      QStringLiteral("--clear-groups"), QStringLiteral(TOLVEX_VM_PROBE)}
                              + arguments);
        } else {
            process.start(QStringLiteral("unshare"),
                          QStringList{QStringLiteral("-r"), QStringLiteral("-n"), QStringLiteral(TOLVEX_VM_PROBE)}
                              + arguments);
        }
        return process.waitForStarted(waitMs);
    }
    bool waitUntilReady() { return waitForLine(QStringLiteral("ready"), 4 * waitMs) >= 0; }
    // Waits until the probe has printed line after its first `from` lines; its index, or -1.
    int waitForLine(const QString &line, int timeoutMs, int from = 0)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            const QStringList printed = lines();
            for (int i = from; i < printed.size(); ++i) {
                if (printed[i] == line)
                    return i;
            }
            if (clock.elapsed() >= timeoutMs || process.state() == QProcess::NotRunning)
                return -1;
            process.waitForReadyRead(20);
            text += process.readAllStandardOutput();
        }
    }
    // Waits for the probe to end; true when it ran as nobody and ended well.
    bool finish()
    {
        const bool ended = process.waitForFinished(4 * waitMs);
        text += process.readAllStandardOutput();
        return ended && process.exitCode() == 0 && shows(QStringLiteral("uid 65534"));
    }
    bool shows(const QString &line) const { return lines().contains(line); }
    QStringList lines() const { return output().split(QLatin1Char('\n')); }
    QString output() const { return QString::fromUtf8(text); }

private:
    QProcess process;
    QByteArray text;
};

} // namespace

class VmWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void deviceIsListedWithItsTagAndOpened();
    void telemetryReachesTreePlotsAndLogFiles();
    void recordedSessionReplaysToTheSameLogFiles();
    void commandIsAnsweredThroughTheDevice_data();
    void commandIsAnsweredThroughTheDevice();
    void silentDeviceTimesOut();
    void unplugAndPlugAgainWithoutRestart();
    void devicesWithOneProductStringAreToldApartByTags();
    void nodeWithoutPermissionIsNotAnnouncedAsConnected_data();
    void nodeWithoutPermissionIsNotAnnouncedAsConnected();
    void nodeMadeAccessibleByUdevOpensRightAfterThePlug();
    void nodeOpenedToTheUserLaterOpensWithoutReplugging();
    void plugStormEndsWithTheOneDeviceShownAndRead();
    void plugAndUnplugFollowedWhereNoKernelEventArrives();
    void foreignDeviceOnTheChosenNodeIsRefused();

private:
    std::unique_ptr<MainWindow> openWindow();

    std::unique_ptr<HidPlatform> platform;
    std::unique_ptr<QTemporaryDir> workDir;
    QString startDir;
};

void VmWindowTest::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral("/dev/uhid")),
             "no /dev/uhid: this test runs inside the test virtual machine (vm-run)");
    platform = makeSystemPlatform();
    HidPlatform::install(platform.get());
    QVERIFY2(platform->enumerate().isEmpty(), "a matching device is present before the test plugs one");
    startDir = QDir::currentPath();
}

void VmWindowTest::init()
{
    // The window writes its log files into the working directory.
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void VmWindowTest::cleanup()
{
    QDir::setCurrent(startDir);
    workDir.reset();
}

std::unique_ptr<MainWindow> VmWindowTest::openWindow()
{
    auto window = std::make_unique<MainWindow>();
    window->show();
    return window;
}

void VmWindowTest::deviceIsListedWithItsTagAndOpened()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    auto window = openWindow();
    const WindowView view(window.get());

    QCOMPARE(view.count(), QStringLiteral("[1]"));
    QCOMPARE(view.deviceItems(), QStringList{deviceItem(vhid.node())});
    QCOMPARE(view.status(), connectedText(vhid.node()));
    QVERIFY2(vhid.waitForLine("opened", waitMs) >= 0, "the program did not open the device");
}

void VmWindowTest::telemetryReachesTreePlotsAndLogFiles()
{
    // Telemetry starts only once the window runs, so that every report sent must arrive.
    QStringList arguments = VhidProcess::defaultArguments();
    arguments.replace(arguments.indexOf(QStringLiteral("--rate")) + 1, QStringLiteral("0"));
    VhidProcess vhid;
    QVERIFY(vhid.start(arguments));
    auto window = openWindow();
    const WindowView view(window.get());
    QCOMPARE(view.plots().size(), telemetryCount);
    QCOMPARE(view.tree()->topLevelItemCount(), telemetryCount);

    vhid.send("rate 50"); // leaves the reader time to spare on an emulated processor
    // More reports than the plot window holds.
    QTRY_VERIFY_WITH_TIMEOUT(view.valueColumn().value(0).toInt() > 2 * plotWindow, 2 * waitMs);
    vhid.send("rate 0");
    const int sentAt = vhid.lineCount();
    vhid.send("sent");
    const int sentLine = vhid.waitForLine("sent ", waitMs, sentAt);
    QVERIFY(sentLine >= 0);
    const quint64 sent = vhid.lines()[sentLine].mid(5).toULongLong();

    // The tree shows the last report, every value by its view and script.
    QTRY_COMPARE_WITH_TIMEOUT(view.valueColumn(), telemetryTexts(sent - 1), waitMs);

    // Every plot holds the window of the last reports, values after their scripts; each is
    // brought into view first, as the user would scroll to it.
    auto *area = window->findChild<QScrollArea *>(QStringLiteral("plotsArea"));
    const QVector<QCustomPlot *> plots = view.plots();
    for (int k = 0; k < telemetryCount; ++k) {
        area->ensureWidgetVisible(plots[k]);
        QTRY_COMPARE_WITH_TIMEOUT(pointsOf(plots[k]).size(), plotWindow + 1, waitMs);
        QTRY_COMPARE_WITH_TIMEOUT(lastValue(plots[k]), telemetryValues(sent - 1)[k], waitMs);
        const QVector<QCPGraphData> points = pointsOf(plots[k]);
        for (int j = 0; j < points.size(); ++j) {
            const quint64 n = sent - points.size() + j;
            QCOMPARE(points[j].key, double(n)); // sample numbers count from 0 since the start
            QCOMPARE(points[j].value, telemetryValues(n)[k]);
        }
    }

    // The log files hold every report sent, in order, after the three empty lines of a start.
    window.reset(); // closes them
    const QStringList names{"counter", "status", "level", "flags", "voltage", "energy", "position", "armed"};
    for (int k = 0; k < telemetryCount; ++k) {
        const QStringList lines = linesOf(names[k] + QStringLiteral(".csv"));
        QCOMPARE(lines.size(), int(sent) + 3);
        QCOMPARE(lines.mid(0, 3), QStringList({QString(), QString(), QString()}));
        for (quint64 n = 0; n < sent; ++n)
            QCOMPARE(lines[int(n) + 3], telemetryTexts(n)[k]);
    }
}

void VmWindowTest::recordedSessionReplaysToTheSameLogFiles()
{
    QStringList arguments = VhidProcess::defaultArguments();
    arguments.replace(arguments.indexOf(QStringLiteral("--rate")) + 1, QStringLiteral("0"));
    VhidProcess vhid;
    QVERIFY(vhid.start(arguments));
    auto window = openWindow();
    const WindowView view(window.get());
    auto *record = window->findChild<QCheckBox *>(QStringLiteral("cbRecord"));
    record->setChecked(true);
    const QStringList recordings = QDir::current().entryList({QStringLiteral("recording-*.tvxr")});
    QCOMPARE(recordings.size(), 1);
    const QString recording = QDir::current().absoluteFilePath(recordings.first());

    vhid.send("rate 50");
    QTRY_VERIFY_WITH_TIMEOUT(view.valueColumn().value(0).toInt() > 40, 2 * waitMs);
    vhid.send("rate 0");
    const int sentAt = vhid.lineCount();
    vhid.send("sent");
    const int sentLine = vhid.waitForLine("sent ", waitMs, sentAt);
    QVERIFY(sentLine >= 0);
    const quint64 sent = vhid.lines()[sentLine].mid(5).toULongLong();
    QTRY_COMPARE_WITH_TIMEOUT(view.valueColumn(), telemetryTexts(sent - 1), waitMs);
    record->setChecked(false);
    window.reset();
    const QStringList names{"counter", "status", "level", "flags", "voltage", "energy", "position", "armed"};
    QList<QStringList> live;
    for (const QString &name : names)
        live << linesOf(name + QStringLiteral(".csv"));
    QCOMPARE(live.first().size(), int(sent) + 3);

    // Replayed as fast as it goes, in a directory of its own, as the same device.
    QVERIFY(QDir::current().mkdir(QStringLiteral("replay")));
    QVERIFY(QDir::setCurrent(QStringLiteral("replay")));
    ReplayPlatform replay;
    QVERIFY2(replay.load(recording, 0), qPrintable(replay.errorString()));
    QCOMPARE(replay.header().path, vhid.node());
    HidPlatform::install(&replay);
    window = openWindow();
    QCOMPARE(WindowView(window.get()).deviceItems(), QStringList{deviceItem(vhid.node())});
    QTRY_VERIFY_WITH_TIMEOUT(replay.isFinished(), 4 * waitMs);
    QVERIFY2(replay.endProblem().isEmpty(), qPrintable(replay.endProblem()));
    QTRY_COMPARE_WITH_TIMEOUT(WindowView(window.get()).count(), QStringLiteral("[0]"), waitMs);
    window.reset();
    HidPlatform::install(platform.get());
    for (int k = 0; k < names.size(); ++k)
        QCOMPARE(linesOf(names[k] + QStringLiteral(".csv")), live[k]);
}

void VmWindowTest::commandIsAnsweredThroughTheDevice_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("request");   // the output report vhid receives, in hex
    QTest::addColumn<QStringList>("answer");   // the answer fields

    QTest::newRow("numbers echoed") << QStringLiteral("Set threshold")
                                    << QByteArray("0202031f0005") + QByteArray(116, '0')
                                    << QStringList{"3", "1f", "101", "4"};
    QTest::newRow("a string") << QStringLiteral("Read version") << QByteArray("0201") + QByteArray(124, '0')
                              << QStringList{product};
}

void VmWindowTest::commandIsAnsweredThroughTheDevice()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, request);
    QFETCH(QStringList, answer);

    VhidProcess vhid;
    QVERIFY(vhid.start());
    auto window = openWindow();
    const WindowView view(window.get());
    QVERIFY(vhid.waitForLine("opened", waitMs) >= 0);

    auto *commands = window->findChild<QComboBox *>(QStringLiteral("cbCommand"));
    const int index = commands->findText(command);
    QVERIFY(index >= 0);
    commands->setCurrentIndex(index);
    window->findChild<QPushButton *>(QStringLiteral("pbSend"))->click();

    QVERIFY(vhid.waitForLine("output ", waitMs) >= 0);
    QCOMPARE(vhid.linesAfter("output "), QList<QByteArray>{request});
    QTRY_COMPARE_WITH_TIMEOUT(view.answerTexts(), answer, waitMs);
    QVERIFY(window->findChild<QPushButton *>(QStringLiteral("pbSend"))->isEnabled());
}

void VmWindowTest::silentDeviceTimesOut()
{
    VhidProcess vhid;
    QStringList arguments = VhidProcess::defaultArguments();
    arguments << QStringLiteral("--mute");
    QVERIFY(vhid.start(arguments));
    auto window = openWindow();
    const WindowView view(window.get());
    QVERIFY(vhid.waitForLine("opened", waitMs) >= 0);

    auto *commands = window->findChild<QComboBox *>(QStringLiteral("cbCommand"));
    commands->setCurrentIndex(commands->findText(QStringLiteral("Set threshold")));
    window->findChild<QPushButton *>(QStringLiteral("pbSend"))->click();
    QCOMPARE(view.answerTexts(), repeated(QStringLiteral("ждём..."), 4));
    QVERIFY(vhid.waitForLine("output ", waitMs) >= 0); // written, never answered
    QTRY_COMPARE_WITH_TIMEOUT(view.answerTexts(), repeated(QStringLiteral("не отвечает..."), 4), waitMs);
}

void VmWindowTest::unplugAndPlugAgainWithoutRestart()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    auto window = openWindow();
    const WindowView view(window.get());
    QCOMPARE(view.count(), QStringLiteral("[1]"));
    QVERIFY(vhid.waitForLine("opened", waitMs) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(!view.valueColumn().value(0).isEmpty(), waitMs);

    QVERIFY(vhid.unplug());
    QTRY_COMPARE_WITH_TIMEOUT(view.count(), QStringLiteral("[0]"), waitMs);
    QCOMPARE(view.status(), noDeviceText);
    QVERIFY(view.deviceItems().isEmpty());

    const int before = vhid.lineCount();
    QVERIFY(vhid.plug());
    QTRY_COMPARE_WITH_TIMEOUT(view.count(), QStringLiteral("[1]"), waitMs);
    QCOMPARE(view.deviceItems(), QStringList{deviceItem(vhid.node())});
    QCOMPARE(view.status(), connectedText(vhid.node()));
    QVERIFY2(vhid.waitForLine("opened", waitMs, before) >= 0, "the program did not open the device again");

    // Telemetry flows again: the tree moves past what it showed before the unplug.
    const int shown = view.valueColumn().value(0).toInt();
    QTRY_VERIFY_WITH_TIMEOUT(view.valueColumn().value(0).toInt() > shown + 10, waitMs);
}

void VmWindowTest::devicesWithOneProductStringAreToldApartByTags()
{
    VhidProcess first;
    VhidProcess second;
    QVERIFY(first.start());
    QVERIFY(second.start());
    auto window = openWindow();
    const WindowView view(window.get());

    QCOMPARE(view.count(), QStringLiteral("[2]"));
    QStringList items = view.deviceItems();
    QStringList expected{deviceItem(first.node()), deviceItem(second.node())};
    QCOMPARE(items.size(), 2);
    QVERIFY(items[0] != items[1]);
    items.sort();
    expected.sort();
    QCOMPARE(items, expected);

    // The first listed is chosen and opened; choosing the other one opens that one instead.
    VhidProcess *chosen = view.deviceItems()[0] == deviceItem(first.node()) ? &first : &second;
    VhidProcess *other = chosen == &first ? &second : &first;
    QCOMPARE(view.status(), connectedText(chosen->node()));
    QVERIFY(chosen->waitForLine("opened", waitMs) >= 0);
    QCOMPARE(other->waitForLine("opened", 500), -1);

    view.devices()->setCurrentIndex(1);
    QVERIFY(other->waitForLine("opened", waitMs) >= 0);
    QVERIFY(chosen->waitForLine("closed", waitMs) >= 0);
    QCOMPARE(view.status(), connectedText(other->node()));

    // Unplugging the chosen one falls back to the remaining device.
    const int before = chosen->lineCount();
    QVERIFY(other->unplug());
    QTRY_COMPARE_WITH_TIMEOUT(view.count(), QStringLiteral("[1]"), waitMs);
    QCOMPARE(view.status(), connectedText(chosen->node()));
    QVERIFY(chosen->waitForLine("opened", waitMs, before) >= 0);
}

void VmWindowTest::nodeWithoutPermissionIsNotAnnouncedAsConnected_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("status");

    QTest::newRow("root's node only") << 0600 << QStringLiteral("Не удалось открыть устройство ");
    QTest::newRow("node open to all") << 0666 << QStringLiteral("Подключено устройство ");
}

void VmWindowTest::nodeWithoutPermissionIsNotAnnouncedAsConnected()
{
    QFETCH(int, mode);
    QFETCH(QString, status);

    VhidProcess vhid;
    QVERIFY(vhid.start());
    QCOMPARE(::chmod(vhid.node().toLocal8Bit().constData(), mode_t(mode)), 0);

    WindowProbe probe;
    QVERIFY(probe.start({}));
    QVERIFY(probe.finish());
    QVERIFY2(probe.shows(QStringLiteral("count [1]")), qPrintable(probe.output()));
    QVERIFY2(probe.shows(QStringLiteral("status ") + plugSign + status + deviceItem(vhid.node())),
             qPrintable(probe.output()));
}

void VmWindowTest::nodeMadeAccessibleByUdevOpensRightAfterThePlug()
{
    // udevd gives the node its permissions (vm-udev.rules) before it tells the program of
    // the new device; hearing of it earlier, the program would find the node still closed.
    QVERIFY2(QFile::exists(QStringLiteral("/run/udev/control")), "needs udevd: vm-run --udev-rules");
    WindowProbe probe;
    QVERIFY(probe.start({QStringLiteral("--wait-for-device")}));
    QVERIFY(probe.waitUntilReady());

    VhidProcess vhid;
    QVERIFY(vhid.start());
    QVERIFY(probe.finish());
    QVERIFY2(probe.shows(QStringLiteral("count [1]")), qPrintable(probe.output()));
    QVERIFY2(probe.shows(QStringLiteral("status ") + connectedText(vhid.node())), qPrintable(probe.output()));
    QVERIFY(vhid.waitForLine("opened", waitMs) >= 0);
}

// The window first says the node cannot be opened; a chmod (no event of any kind) is enough.
void VmWindowTest::nodeOpenedToTheUserLaterOpensWithoutReplugging()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    const QByteArray node = vhid.node().toLocal8Bit();
    QCOMPARE(::chmod(node.constData(), 0600), 0);

    WindowProbe probe;
    QVERIFY(probe.start({QStringLiteral("--watch"), QStringLiteral("40")}));
    QVERIFY(probe.waitUntilReady());
    QVERIFY2(probe.shows(QStringLiteral("uid 65534")), qPrintable(probe.output()));
    const QString failed = QStringLiteral("status ") + plugSign + QStringLiteral("Не удалось открыть устройство ")
        + deviceItem(vhid.node());
    const int failedAt = probe.waitForLine(failed, waitMs);
    QVERIFY2(failedAt >= 0, qPrintable(probe.output()));
    const int before = vhid.lineCount();

    QCOMPARE(::chmod(node.constData(), 0666), 0);
    QVERIFY2(probe.waitForLine(QStringLiteral("status ") + connectedText(vhid.node()), waitMs, failedAt) >= 0,
             qPrintable(probe.output()));
    QVERIFY(vhid.waitForLine("opened", waitMs, before) >= 0);
}

// 160 unplug/plug cycles a few tens of milliseconds apart with telemetry flowing, as a loose
// connector makes them: the program survives and then shows and reads the one device.
void VmWindowTest::plugStormEndsWithTheOneDeviceShownAndRead()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    // Not shown: drawing plots on the guest's emulated processor would take most of the time.
    auto window = std::make_unique<MainWindow>();
    const WindowView view(window.get());
    QVERIFY(vhid.waitForLine("opened", waitMs) >= 0);

    const int cycles = 160;
    QRandomGenerator random(160);
    for (int i = 0; i < 2 * cycles; ++i) {
        vhid.send("toggle");
        QTest::qWait(5 + int(random.bounded(40)));
    }
    auto count = [&](const QByteArray &prefix) {
        int n = 0;
        for (const QByteArray &line : vhid.lines())
            n += line.startsWith(prefix) ? 1 : 0;
        return n;
    };
    // vhid names a node only once it has seen it, which a quick unplug may forestall: the storm
    // is over when every unplug is done and the last plug's node is named.
    QTRY_COMPARE_WITH_TIMEOUT(count("unplugged"), cycles, 4 * waitMs);
    int lastUnplug = -1;
    const QList<QByteArray> lines = vhid.lines();
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith("unplugged"))
            lastUnplug = i;
    }
    QVERIFY(vhid.waitForLine("plugged ", waitMs, lastUnplug) >= 0);

    QTRY_COMPARE_WITH_TIMEOUT(view.deviceItems(), QStringList{deviceItem(vhid.node())}, waitMs);
    QCOMPARE(view.count(), QStringLiteral("[1]"));
    QTRY_COMPARE_WITH_TIMEOUT(view.status(), connectedText(vhid.node()), waitMs);
    // Its reports are decoded again: the counter moves on, and on.
    const QString shown = view.valueColumn().value(0);
    QTRY_VERIFY_WITH_TIMEOUT(view.valueColumn().value(0) != shown, waitMs);
    const int now = view.valueColumn().value(0).toInt();
    QTRY_VERIFY_WITH_TIMEOUT(view.valueColumn().value(0).toInt() > now + 10, waitMs);
}

// In a user and network namespace of its own the program hears no kernel event: it still
// follows an unplug and a plug within 3 s.
void VmWindowTest::plugAndUnplugFollowedWhereNoKernelEventArrives()
{
    VhidProcess vhid;
    QVERIFY(vhid.start());
    WindowProbe probe;
    QVERIFY(probe.start({QStringLiteral("--watch"), QStringLiteral("60")}, WindowProbe::As::OwnNamespaces));
    QVERIFY(probe.waitUntilReady());
    QVERIFY2(probe.waitForLine(QStringLiteral("status ") + connectedText(vhid.node()), waitMs) >= 0,
             qPrintable(probe.output()));

    QElapsedTimer clock;
    clock.start();
    QVERIFY(vhid.unplug());
    const int gone = probe.waitForLine(QStringLiteral("count [0]"), waitMs);
    QVERIFY2(gone >= 0, qPrintable(probe.output()));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(probe.waitForLine(QStringLiteral("status ") + noDeviceText, waitMs, gone) >= 0,
             qPrintable(probe.output()));

    clock.restart();
    QVERIFY(vhid.plug());
    QVERIFY2(probe.waitForLine(QStringLiteral("status ") + connectedText(vhid.node()), waitMs, gone) >= 0,
             qPrintable(probe.output()));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(vhid.waitForLine("opened", waitMs) >= 0);
}

// After an unplug another kind of device (here a keyboard's vendor ID) takes the chosen
// device's node number: the window neither lists it nor writes to it, and an open of the
// stored node, as the window's retry makes, is refused.
void VmWindowTest::foreignDeviceOnTheChosenNodeIsRefused()
{
    VhidProcess ours;
    QVERIFY(ours.start());
    const QString node = ours.node();
    auto window = openWindow();
    const WindowView view(window.get());
    QCOMPARE(view.status(), connectedText(node));
    QVERIFY(ours.waitForLine("opened", waitMs) >= 0);
    QVERIFY(ours.unplug());
    QTRY_COMPARE_WITH_TIMEOUT(view.count(), QStringLiteral("[0]"), waitMs);

    VhidProcess foreign;
    QVERIFY(foreign.start(VhidProcess::defaultArguments() << QStringLiteral("--vendor") << QStringLiteral("046d")));
    QCOMPARE(foreign.node(), node);
    auto *commands = window->findChild<QComboBox *>(QStringLiteral("cbCommand"));
    commands->setCurrentIndex(commands->findText(QStringLiteral("Set threshold")));
    window->findChild<QPushButton *>(QStringLiteral("pbSend"))->click();
    QTest::qWait(2500); // past the window's once-a-second retries and list comparisons
    QCOMPARE(view.count(), QStringLiteral("[0]"));
    QCOMPARE(view.status(), noDeviceText);

    usbHID link;
    QVERIFY(!link.setDevice(node));
    QVERIFY(!link.isOpen());
    QVERIFY(foreign.linesAfter("output ").isEmpty());
}

QTEST_MAIN(VmWindowTest)
#include "tst_vm_window.moc"
