// plotshot: the picture of a paused plot with two cursors for the README. Runs the window on a
// simulated device sending the configuration's telemetry, pauses the plots, places cursors A
// and B and the crosshair on one plot as the operator would, and saves the plots area.
//   plotshot OUTPUT.png [PLOT_NAME]
#include "darkpalette.h"
#include "mainwindow.h"
#include "simconfig.h"
#include "simplatform.h"
#include "telemetrygenerator.h"

#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QScrollArea>
#include <QStyleFactory>
#include <QTest>

#include <qcustomplot.h>

#include <cstdio>

namespace {

void click(QCustomPlot *plot, const QPoint &position, Qt::KeyboardModifiers modifiers)
{
    QTest::mouseClick(plot, Qt::LeftButton, modifiers, position);
}

void hover(QCustomPlot *plot, const QPoint &position)
{
    QMouseEvent move(QEvent::MouseMove, position, plot->mapToGlobal(position), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: plotshot OUTPUT.png [PLOT_NAME]\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString plotName = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("temperature");

    SimPlatform platform;
    int status = 0;
    {
        const SimConfig config = SimConfig::read(SimConfig::besideExecutable());
        auto device = platform.plug(QStringLiteral("Tolvex demo"));
        TelemetryGenerator generator(device, config.telemetry);

        QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
        QApplication::setPalette(darkPalette());
        MainWindow window(WindowOptions(), &platform);
        window.resize(1500, 760);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "plotshot: the window was not shown\n");
        generator.setRate(200);
        QTest::qWait(6000);

        const int index = config.telemetry.inNames.indexOf(plotName);
        auto *area = window.findChild<QScrollArea *>(QStringLiteral("plotsArea"));
        const QList<QCustomPlot *> plots =
            area->widget()->findChildren<QCustomPlot *>(QString(), Qt::FindDirectChildrenOnly);
        if (index < 0 || index >= plots.size()) {
            std::fprintf(stderr, "plotshot: no plot named %s\n", qPrintable(plotName));
            status = 1;
        } else {
            QCustomPlot *plot = plots.at(index);
            area->ensureWidgetVisible(plot, 0, 0);
            window.findChild<QCheckBox *>(QStringLiteral("cbPause"))->setChecked(true);
            QTest::qWait(200);
            const QRect rect = plot->axisRect()->rect();
            const auto at = [&rect](double share) {
                return QPoint(rect.left() + int(rect.width() * share), rect.center().y());
            };
            click(plot, at(0.3), Qt::NoModifier);
            click(plot, at(0.72), Qt::ShiftModifier);
            hover(plot, at(0.55));
            QTest::qWait(100);
            if (!window.centralWidget()->grab().save(output)) {
                std::fprintf(stderr, "plotshot: cannot write %s\n", qPrintable(output));
                status = 1;
            }
        }
        generator.setRate(0);
    }
    return status;
}
