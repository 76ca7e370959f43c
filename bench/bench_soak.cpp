// The program under load, through its real threads and window (offscreen):
//   soak.reports_per_s                telemetry reports sent per second over 30 s at 24,000/s
//   soak.lost_log_lines               reports sent minus lines, in the log file that lost most
//   soak.out_of_order_lines           lines of the report-counter log that do not follow on
//   soak.lost_answers                 answers sent minus answers shown (a command every 100 ms)
//   soak.peak_rss_mb                  the process's peak resident memory
//   soak.rss_growth_mb                resident memory at the end less after the first 5 s
//   soak.max_tick_ms                  the longest event the GUI thread handled
//   soak.ticks_over_60ms              events of the GUI thread that took longer than 60 ms
//   soak.max_tick_cpu_ms              the most CPU time the GUI thread spent on one event
//   soak.max_sustained_reports_per_s  the highest rate, stepping up, with a bounded backlog
// Built as bench_record_soak (TOLVEX_SOAK_RECORDING), the same soak runs with "Записывать
// сеанс" on and its figures are named record.soak_* instead of soak.*, plus
//   record.soak_lost_recorded_reports  reports read (telemetry and answers) less those in the
//                                      recording; the stepping up is left out
#include "commandanswerer.h"
#include "dataparser.h"
#include "mainwindow.h"
#include "recordingreader.h"
#include "simconfig.h"
#include "simplatform.h"
#include "telemetrygenerator.h"
#include "timedapplication.h"
#include "windowrig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <memory>

namespace {

using bench::TimedApplication;
using bench::residentMb;
using bench::runFor;


#ifdef TOLVEX_SOAK_RECORDING
constexpr bool recording = true;
#else
constexpr bool recording = false;
#endif

// "soak.x", or "record.soak_x" for the soak with recording on.
void print(const char *name, double value, const char *unit)
{
    QByteArray figure(name);
    if (recording && figure == "soak.host_load_1min")
        figure = "record.host_load_1min";
    else if (recording && figure.startsWith("soak."))
        figure = "record.soak_" + figure.mid(5);
    std::printf("%s: %.6g %s\n", figure.constData(), value, unit);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    const SimConfig config = SimConfig::read(SimConfig::besideExecutable());
    if (config.telemetry.inTypes.isEmpty() || config.commands.isEmpty()) {
        std::fprintf(stderr, "bench_soak: no telemetry or commands in %s\n",
                     qPrintable(SimConfig::besideExecutable()));
        return 1;
    }
    QTemporaryDir logDir; // the log files land in the working directory
    QDir::setCurrent(logDir.path());

    SimulatedWindow rig;
    rig.plugDevice(QStringLiteral("Soak probe"));
    auto device = rig.device;
    CommandAnswerer answerer(config.commands);
    answerer.attachTo(*device);
    auto generator = std::make_unique<TelemetryGenerator>(device, config.telemetry);

    rig.openWindow();
    std::unique_ptr<MainWindow> &window = rig.window;
    window->show();
    DataParser *parser = MainWindowProbe(*window).parser();
    auto *record = window->findChild<QCheckBox *>(QStringLiteral("cbRecord"));
    if (recording)
        record->setChecked(true);

    // The command: the first one with answer values; its answers are counted as they show.
    const CommandDescription *command = nullptr;
    for (const CommandDescription &c : config.commands) {
        if (!c.inTypes.isEmpty()) {
            command = &c;
            break;
        }
    }
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

    // 30 s at 24,000 reports per second, a command every 100 ms.
    const int soakRate = 24000;
    // A shorter soak for trying changes: bench_soak SECONDS (at least 6).
    const int soakMs = argc > 1 ? std::max(6, QByteArray(argv[1]).toInt()) * 1000 : 30000;
    generator->setRate(soakRate);
    commandTimer.start(100);
    app.measuring = true;
    QElapsedTimer clock;
    clock.start();
    runFor(5000);
    const double rssWarm = residentMb("VmRSS:");
    runFor(soakMs - 5000);
    generator->setRate(0);
    const double elapsed = double(clock.elapsed()) / 1000.0;
    commandTimer.stop();
    const quint64 sent = generator->reportsSent();

    // Let every report through, and the last answer come or time out.
    QElapsedTimer drain;
    drain.start();
    while ((parser->queuedReports() > 0 || device->pendingReports() > 0) && drain.elapsed() < 60000)
        runFor(50);
    runFor(1500);
    app.measuring = false;
    const double rssEnd = residentMb("VmRSS:");

    print("soak.reports_per_s", double(sent) / elapsed, "reports/s");
    print("soak.max_tick_ms", app.longestTickMs, "ms");
    print("soak.ticks_over_60ms", app.ticksOver60Ms, "ticks");
    print("soak.max_tick_cpu_ms", app.longestTickCpuMs, "ms");
    std::fprintf(stderr, "bench_soak: longest tick: %s\n", qPrintable(app.longestTickWhat));
    print("soak.lost_answers", double(answerer.answersSent()) - double(answersShown), "answers");

    // Every report is one line in every log file (after the three empty lines of each start).
    qint64 worstLoss = 0;
    qint64 outOfOrder = -1;
    for (int k = 0; k < config.telemetry.inNames.size(); ++k) {
        QFile log(DataParser::logFileName(config.telemetry.inNames.at(k)));
        if (!log.open(QIODevice::ReadOnly)) {
            worstLoss = qint64(sent);
            continue;
        }
        QList<QByteArray> lines = log.readAll().split('\n');
        lines.removeAll(QByteArray());
        worstLoss = std::max(worstLoss, qint64(sent) - qint64(lines.size()));
        // The first 64-bit unsigned value counts the reports: its lines must follow on.
        if (outOfOrder < 0 && config.telemetry.inTypes.at(k) == TypeUInt64
            && config.telemetry.inScripts.value(k).isEmpty()) {
            const int base = config.telemetry.inViews.at(k) == ViewHex ? 16 : 10;
            outOfOrder = 0;
            for (int i = 1; i < lines.size(); ++i) {
                if (lines[i].toULongLong(nullptr, base) != lines[i - 1].toULongLong(nullptr, base) + 1)
                    ++outOfOrder;
            }
        }
    }
    print("soak.lost_log_lines", double(worstLoss), "lines");
    print("soak.out_of_order_lines", double(std::max<qint64>(outOfOrder, 0)), "lines");
    print("soak.rss_growth_mb", rssEnd - rssWarm, "MB");

    if (recording) {
        record->setChecked(false);
        const QStringList files = QDir::current().entryList({QStringLiteral("recording-*.tvxr")});
        RecordingReader reader;
        qint64 recorded = 0;
        if (!files.isEmpty() && reader.open(files.first())) {
            RecordingReader::Record item;
            while (reader.next(item))
                recorded += item.kind == RecordingFormat::RecordKind::Report;
        }
        if (!reader.errorString().isEmpty())
            std::fprintf(stderr, "bench_record_soak: %s\n", qPrintable(reader.errorString()));
        print("record.soak_lost_recorded_reports",
              double(sent + answerer.answersSent()) - double(recorded), "reports");
    }

    // Stepping up: a rate is sustained when the generator keeps it and the backlog (device
    // queue and parser queue) does not build up: over the last second of eight it stays under
    // half a second's worth of reports.
    int sustained = 0;
    for (int rate : {24000, 32000, 40000, 48000, 64000, 80000, 100000}) {
        if (recording)
            break;
        const quint64 before = generator->reportsSent();
        generator->setRate(rate);
        QElapsedTimer step;
        step.start();
        int backlog = 0;
        int deviceBacklog = 0;
        while (step.elapsed() < 8000) {
            runFor(100);
            if (step.elapsed() > 7000) {
                backlog = std::max(backlog, parser->queuedReports() + device->pendingReports());
                deviceBacklog = std::max(deviceBacklog, device->pendingReports());
            }
        }
        const double achieved = double(generator->reportsSent() - before) / (double(step.elapsed()) / 1000.0);
        generator->setRate(0);
        const bool kept = achieved >= 0.95 * rate && backlog < rate / 2;
        std::fprintf(stderr, "bench_soak: %d/s: %.0f/s sent, backlog up to %d (device %d)\n", rate,
                     achieved, backlog, deviceBacklog);
        drain.restart();
        while ((parser->queuedReports() > 0 || device->pendingReports() > 0) && drain.elapsed() < 60000)
            runFor(50);
        if (!kept)
            break;
        sustained = rate;
    }
    if (!recording)
        print("soak.max_sustained_reports_per_s", sustained, "reports/s");
    print("soak.peak_rss_mb", residentMb("VmHWM:"), "MB");
    // The machine may be shared: figures taken under load elsewhere read worse.
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        print("soak.host_load_1min", load[0], "runnable");

    generator.reset();
    window.reset();
    device->setResponder(nullptr);
    HidPlatform::install(nullptr);
    return 0;
}
