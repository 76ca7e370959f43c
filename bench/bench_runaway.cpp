// One value's script never ends, among the benchmark configuration's values, at 100 reports/s
// for 10 s, with a command every 100 ms, through the real window (offscreen) and its threads:
//   runaway.gui_max_block_ms       the longest event the GUI thread handled
//   runaway.lost_log_lines         reports sent minus lines, in the log file that lost most
//   runaway.lost_answers           answers sent minus answers shown
//   runaway.max_backlog_reports    the most reports waiting for the parser at any 50 ms look
//   runaway.rss_growth_mb          resident memory at the end less after the first 2 s
#include "commandanswerer.h"
#include "configlocation.h"
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
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using bench::print;

using bench::TimedApplication;
using bench::residentMb;
using bench::runFor;



// The base configuration with the first telemetry value's script replaced by one that never
// ends, written where the window looks for its configuration.
bool writeRunawayConfig(const QString &basePath)
{
    QFile base(basePath);
    if (!base.open(QIODevice::ReadOnly))
        return false;
    QJsonObject root = QJsonDocument::fromJson(base.readAll()).object();
    QJsonArray commands = root.value(QStringLiteral("commands")).toArray();
    for (int i = 0; i < commands.size(); ++i) {
        QJsonObject entry = commands.at(i).toObject();
        QJsonArray in = entry.value(QStringLiteral("in")).toArray();
        if (entry.value(QStringLiteral("id")).toInt(-1) != 0 || in.isEmpty())
            continue;
        QJsonObject first = in.at(0).toObject();
        first.insert(QStringLiteral("script"), QStringLiteral("while (true) {}"));
        in.replace(0, first);
        entry.insert(QStringLiteral("in"), in);
        commands.replace(i, entry);
    }
    root.insert(QStringLiteral("commands"), commands);
    QFile config(configPathBesideExecutable());
    return config.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && config.write(QJsonDocument(root).toJson()) > 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    // bench_runaway [CONFIGURATION]: another base configuration than the benchmark one.
    const QString basePath = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TOLVEX_RUNAWAY_BASE);
    if (!writeRunawayConfig(basePath)) {
        std::fprintf(stderr, "bench_runaway: cannot make a configuration from %s\n", qPrintable(basePath));
        return 1;
    }
    const SimConfig config = SimConfig::read(SimConfig::besideExecutable());
    const CommandDescription *command = nullptr;
    for (const CommandDescription &c : config.commands) {
        if (!c.inTypes.isEmpty()) {
            command = &c;
            break;
        }
    }
    if (config.telemetry.inTypes.isEmpty() || !command) {
        std::fprintf(stderr, "bench_runaway: no telemetry or no command with an answer\n");
        return 1;
    }
    QTemporaryDir logDir; // the log files land in the working directory
    QDir::setCurrent(logDir.path());

    SimulatedWindow rig;
    rig.plugDevice(QStringLiteral("Runaway probe"));
    auto device = rig.device;
    CommandAnswerer answerer(config.commands);
    answerer.attachTo(*device);
    auto generator = std::make_unique<TelemetryGenerator>(device, config.telemetry);

    rig.openWindow();
    std::unique_ptr<MainWindow> &window = rig.window;
    window->show();
    DataParser *parser = MainWindowProbe(*window).parser();

    auto *commands = window->findChild<QComboBox *>(QStringLiteral("cbCommand"));
    commands->setCurrentIndex(commands->findText(command->name));
    auto *send = window->findChild<QPushButton *>(QStringLiteral("pbSend"));
    QLineEdit *firstAnswer = window->findChild<QGroupBox *>(QStringLiteral("gbIn"))->findChild<QLineEdit *>();
    const QString waiting = QCoreApplication::translate("MainWindow", "ждём...");
    const QString noAnswer = QCoreApplication::translate("MainWindow", "не отвечает...");
    quint64 answersShown = 0;
    QObject::connect(firstAnswer, &QLineEdit::textChanged, [&](const QString &text) {
        if (text != waiting && text != noAnswer && !text.isEmpty())
            ++answersShown;
    });
    QTimer commandTimer;
    QObject::connect(&commandTimer, &QTimer::timeout, [&] {
        if (send->isEnabled())
            send->click();
    });
    int backlog = 0;
    QTimer backlogTimer;
    QObject::connect(&backlogTimer, &QTimer::timeout,
                     [&] { backlog = std::max(backlog, parser->queuedReports()); });

    // The window settles (first layout and paint) before the telemetry starts.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    double rssWarm = 0;
    QTimer::singleShot(2000, [&] { rssWarm = residentMb(); });
    generator->setRate(100);
    commandTimer.start(100);
    backlogTimer.start(50);
    app.measuring = true;
    clock.restart();
    while (clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    generator->setRate(0);
    commandTimer.stop();
    const quint64 sent = generator->reportsSent();

    // Let every report through, and the last answer come or time out.
    QElapsedTimer drain;
    drain.start();
    while ((parser->queuedReports() > 0 || device->pendingReports() > 0) && drain.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    drain.restart();
    while (drain.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    app.measuring = false;
    backlogTimer.stop();
    const double rssEnd = residentMb();
    const QStringList logNames = DataParser::logFileNames(config.telemetry.inNames);
    window.reset(); // writes what the logs still hold

    qint64 worstLoss = 0;
    for (const QString &name : logNames) {
        QFile log(name);
        if (!log.open(QIODevice::ReadOnly)) {
            worstLoss = qint64(sent);
            continue;
        }
        QList<QByteArray> lines = log.readAll().split('\n');
        lines.removeAll(QByteArray());
        worstLoss = std::max(worstLoss, qint64(sent) - qint64(lines.size()));
    }

    print("runaway.gui_max_block_ms", app.longestTickMs, "ms");
    std::fprintf(stderr, "bench_runaway: longest: %s\n", qPrintable(app.longestTickWhat));
    print("runaway.lost_log_lines", double(worstLoss), "lines");
    print("runaway.lost_answers", double(answerer.answersSent()) - double(answersShown), "answers");
    print("runaway.max_backlog_reports", backlog, "reports");
    print("runaway.rss_growth_mb", rssEnd - rssWarm, "MB");
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        print("runaway.host_load_1min", load[0], "runnable");

    generator.reset();
    device->setResponder(nullptr);
    HidPlatform::install(nullptr);
    return 0;
}
