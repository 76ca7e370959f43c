// The GUI thread's cost of one replot tick, with the real window on the simulated platform:
// 16 telemetry plots stacked in the plots area with four of them in view, telemetry arriving
// at 100 reports per second (five per 50 ms tick).
//   replot.ms_per_tick.1k     mean time of replotGraphs() with 1,001 points per plot
//   replot.ms_per_tick.10k    the same with 10,001 points
//   replot.ms_per_tick.100k   the same with 100,001 points
// each with values that change slowly (three waves per window), and
//   replot.ms_per_tick.dense.10k, replot.ms_per_tick.dense.100k
// with a wave every 500 samples, so that every pixel column of the line spans its full height;
//   replot.ms_per_tick.cursors.1k  as .1k with cursors A and B placed on every plot and the
//                                  crosshair shown on the first
//   replot.ms_per_tick.paused      as .1k with the plots paused ("Пауза")
//   replot.cpu_ms_per_tick.*       the GUI thread's processor time of the same ticks, which a
//                                  busy machine disturbs less than their wall time
//   replot.paint_cpu_ms_per_tick.* the GUI thread's processor time of painting the window after
//                                  each tick (what the tick left to paint: plots, values), so
//                                  that a tick that leaves its painting to the window is not
//                                  counted as cheaper than one that paints at once
//   replot.host_load_1min          the machine's load while the figures were taken.
// bench_views [NAME...] takes only the figures named (replot.ms_per_tick.1k ...), in the order
// above, so that one figure can be taken again and again.
#include "fieldcodec.h"
#include "timedapplication.h"
#include "windowrig.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <qcustomplot.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <cstdlib>

namespace {

using bench::threadCpuMs;

struct TickCost
{
    double wallMs;
    double cpuMs;
    double paintCpuMs;
};

constexpr int plotsInView = 4;
constexpr int reportsPerTick = 5;
constexpr int warmUpTicks = 5;
constexpr int measuredTicks = 40;

QJsonObject benchConfig(int points)
{
    QFile file(QStringLiteral(TOLVEX_BENCH_CONFIG));
    QJsonObject root;
    if (file.open(QIODevice::ReadOnly))
        root = QJsonDocument::fromJson(file.readAll()).object();
    if (root.value(QStringLiteral("commands")).toArray().isEmpty()) {
        // Without the shared configuration: sixteen plain values.
        QJsonArray in;
        for (int i = 0; i < 16; ++i)
            in.append(QJsonObject{{"name", QStringLiteral("value%1").arg(i)}, {"type", "uint16"}});
        root.insert(QStringLiteral("commands"), QJsonArray{QJsonObject{{"id", 0}, {"in", in}}});
    }
    root.insert(QStringLiteral("settings"), QJsonObject{{"maxPlotXPoints", points}, {"maxConsoleLines", 1000}});
    return root;
}

// The signal of value i at a sample: a wave of the given period, so that every plot moves.
// A period of a third of the window is a slowly changing value; a period of 500 samples packs
// whole waves into each pixel column of a long window, the costliest line to draw.
double signal(int i, qint64 sample, int period)
{
    return 50 + 40 * std::sin(double(sample) * 2 * M_PI / period + i);
}

// A telemetry report carrying the signal of every value.
QByteArray telemetryReport(const CommandDescription &telemetry, quint64 sample, int period)
{
    QByteArray report(64, '\0');
    report[0] = 1;
    int position = 2;
    for (int i = 0; i < telemetry.inTypes.size(); ++i) {
        position += FieldCodec::encodeValue(report, position, telemetry.inTypes.at(i), signal(i, qint64(sample), period));
    }
    return report;
}

// Fills the whole history with a varying signal, as after a long run.
void fillHistory(DataParser *parser, int period)
{
    std::lock_guard<std::mutex> lock(parser->stateLock);
    for (int i = 0; i < parser->yValues.size(); ++i) {
        QList<double> &values = parser->yValues[i];
        for (int k = 0; k < values.size(); ++k)
            values[k] = signal(i, k - values.size(), period);
    }
}

bool waitForSamples(DataParser *parser, quint64 count)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        {
            std::lock_guard<std::mutex> lock(parser->stateLock);
            if (parser->sampleCounter >= count)
                return true;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return false;
}

enum class Mode { Live, Cursors, Paused };

// Cursors A and B on a plot, and the crosshair if asked (the pointer is over one plot at a
// time), placed as the operator places them.
void placeCursors(QCustomPlot *plot, bool crosshair)
{
    plot->replot();
    const QRect rect = plot->axisRect()->rect();
    const int y = rect.center().y();
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, QPoint(rect.left() + rect.width() / 4, y));
    QTest::mouseClick(plot, Qt::LeftButton, Qt::ShiftModifier, QPoint(rect.left() + rect.width() * 3 / 4, y));
    if (!crosshair)
        return;
    const QPoint hover(rect.center());
    QMouseEvent move(QEvent::MouseMove, hover, plot->mapToGlobal(hover), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
}

TickCost msPerTick(int points, int period, Mode mode)
{
    writeConfig(QJsonDocument(benchConfig(points)).toJson());
    SimulatedWindow rig;
    rig.openWindow(QStringLiteral("Tolvex bench"));
    MainWindow &window = *rig.window;
    SimDevice *device = rig.device.get();
    MainWindowProbe probe(window);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qFatal("the window was not shown");
    probe.replotTimer()->stop(); // ticks are driven and timed here

    // Make the plots area tall enough for four plots.
    auto *area = window.findChild<QScrollArea *>(QStringLiteral("plotsArea"));
    const QVector<QCustomPlot *> &plots = probe.plots();
    const int pitch = plots.at(1)->y() - plots.at(0)->y();
    window.resize(window.width(), window.height() + plotsInView * pitch - area->viewport()->height() - 4);
    QCoreApplication::processEvents();

    fillHistory(probe.parser(), period);
    if (mode == Mode::Cursors) {
        for (QCustomPlot *plot : plots)
            placeCursors(plot, plot == plots.constFirst());
    } else if (mode == Mode::Paused) {
        window.findChild<QCheckBox *>(QStringLiteral("cbPause"))->setChecked(true);
    }
    quint64 sample = 0;
    double totalMs = 0;
    double totalCpuMs = 0;
    double totalPaintCpuMs = 0;
    for (int tick = 0; tick < warmUpTicks + measuredTicks; ++tick) {
        for (int r = 0; r < reportsPerTick; ++r)
            device->injectReport(telemetryReport(probe.telemetry(), sample++, period));
        if (!waitForSamples(probe.parser(), sample))
            qFatal("telemetry did not arrive");
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        probe.replot();
        const double cpuMs = threadCpuMs() - cpuStart;
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        // The window paints what the tick marked for painting, as the event loop would next.
        const double paintStart = threadCpuMs();
        QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
        const double paintCpuMs = threadCpuMs() - paintStart;
        if (tick >= warmUpTicks) {
            totalMs += ms;
            totalCpuMs += cpuMs;
            totalPaintCpuMs += paintCpuMs;
        }
        // Halfway, scroll so that other plots come into view.
        if (tick == warmUpTicks + measuredTicks / 2)
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum() / 2);
        QCoreApplication::processEvents();
    }
    return TickCost{totalMs / measuredTicks, totalCpuMs / measuredTicks, totalPaintCpuMs / measuredTicks};
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // Telemetry log files land in the working directory.
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());

    const struct { const char *name; int points; int period; Mode mode; } cases[] = {
        {"replot.ms_per_tick.1k", 1000, 333, Mode::Live},
        {"replot.ms_per_tick.10k", 10000, 3333, Mode::Live},
        {"replot.ms_per_tick.100k", 100000, 33333, Mode::Live},
        {"replot.ms_per_tick.dense.10k", 10000, 500, Mode::Live},
        {"replot.ms_per_tick.dense.100k", 100000, 500, Mode::Live},
        {"replot.ms_per_tick.cursors.1k", 1000, 333, Mode::Cursors},
        {"replot.ms_per_tick.paused", 1000, 333, Mode::Paused},
    };
    const QStringList wanted = application.arguments().mid(1);
    for (const auto &c : cases) {
        if (!wanted.isEmpty() && !wanted.contains(QLatin1String(c.name)))
            continue;
        const TickCost cost = msPerTick(c.points, c.period, c.mode);
        std::printf("%s: %.3f ms\n", c.name, cost.wallMs);
        std::printf("%s: %.3f ms\n", QByteArray(c.name).replace("ms_per_tick", "cpu_ms_per_tick").constData(),
                    cost.cpuMs);
        std::printf("%s: %.3f ms\n", QByteArray(c.name).replace("ms_per_tick", "paint_cpu_ms_per_tick").constData(),
                    cost.paintCpuMs);
        std::fflush(stdout);
    }
    // The machine may be shared: figures taken under load elsewhere read worse.
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        std::printf("replot.host_load_1min: %.2f runnable\n", load[0]);
    return 0;
}
