// The window (offscreen) on a simulated device that holds one request's write for 5 s, as the
// kernel does for a device whose endpoint does not take the report, while telemetry comes at
// 1,000 reports/s and the system keeps at most 64 unread reports:
//   stall.gui_max_block_ms  the longest the GUI thread spent on one event from the request on,
//                           a device re-listing and closing the window during a second such
//                           write included
//   stall.lost_reports      telemetry reports sent but never decoded
#include "commandanswerer.h"
#include "dataparser.h"
#include "mainwindow.h"
#include "simconfig.h"
#include "simplatform.h"
#include "telemetrygenerator.h"
#include "timedapplication.h"
#include "windowrig.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using bench::print;

using bench::TimedApplication;
using bench::residentMb;
using bench::runFor;


quint64 decoded(DataParser *parser)
{
    std::lock_guard<std::mutex> state(parser->stateLock);
    return parser->sampleCounter;
}


} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    const SimConfig config = SimConfig::read(SimConfig::besideExecutable());
    if (config.telemetry.inTypes.isEmpty() || config.commands.isEmpty()) {
        std::fprintf(stderr, "bench_stall: no telemetry or commands in %s\n",
                     qPrintable(SimConfig::besideExecutable()));
        return 1;
    }
    QTemporaryDir logDir; // the log files land in the working directory
    QDir::setCurrent(logDir.path());

    SimulatedWindow rig;
    rig.plugDevice(QStringLiteral("Stall probe"));
    SimPlatform &sim = *rig.sim;
    auto device = rig.device;
    device->setInputLimit(64);
    CommandAnswerer answerer(config.commands);
    answerer.attachTo(*device);
    auto generator = std::make_unique<TelemetryGenerator>(device, config.telemetry);

    rig.openWindow();
    std::unique_ptr<MainWindow> &window = rig.window;
    window->show();
    DataParser *parser = MainWindowProbe(*window).parser();
    auto *send = window->findChild<QPushButton *>(QStringLiteral("pbSend"));
    auto *commands = window->findChild<QComboBox *>(QStringLiteral("cbCommand"));
    commands->setCurrentIndex(commands->findText(config.commands.first().name));

    generator->setRate(1000);
    runFor(1000);
    const int droppedBefore = device->droppedReports();

    // One request whose write the device holds for 5 s; a device notice half-way.
    app.measuring = true;
    device->holdNextWrite(5000);
    send->click();
    runFor(2500);
    emit sim.devicesChanged();
    runFor(2600);
    const int droppedDuring = device->droppedReports() - droppedBefore; // the write held 5 s
    runFor(900);
    generator->setRate(0);
    QElapsedTimer drain;
    drain.start();
    while ((parser->queuedReports() > 0 || device->pendingReports() > 0) && drain.elapsed() < 30000)
        runFor(50);
    runFor(200);
    const quint64 lost = generator->reportsSent() - decoded(parser);

    // Closing the window while another write is held.
    device->holdNextWrite(5000);
    runFor(1100); // the last request has timed out: the button is enabled again
    send->click();
    device->waitForWriteAttempts(2, 1000);
    QElapsedTimer closing;
    closing.start();
    window.reset();
    const double closeMs = double(closing.nsecsElapsed()) / 1e6;
    app.measuring = false;

    print("stall.gui_max_block_ms", std::max(app.longestTickMs, closeMs), "ms");
    print("stall.lost_reports", double(lost), "reports");
    std::fprintf(stderr, "bench_stall: longest event %.1f ms (%s); closing took %.1f ms; %llu reports sent; "
                 "dropped for a full queue: %d before the request, %d while its write was held, %d in all\n",
                 app.longestTickMs, qPrintable(app.longestTickWhat), closeMs,
                 static_cast<unsigned long long>(generator->reportsSent()), droppedBefore, droppedDuring,
                 device->droppedReports());
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        print("stall.host_load_1min", load[0], "runnable");

    generator.reset();
    sim.unplug(device); // ends the held write
    device->setResponder(nullptr);
    HidPlatform::install(nullptr);
    return 0;
}
