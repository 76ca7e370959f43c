// Measuring on the plots through the window: pause, hover readout, cursors, zoom and reset,
// and the CSV of the points in view.
#include "reports.h"
#include "windowrig.h"

#include "plotcursors.h"
#include "plotnavigation.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QMenu>
#include <QScrollArea>
#include <QTreeWidget>
#include <QtTest>

#include <qcustomplot.h>

namespace {

// The level plot gets one sample per report: sample k has the value 10 * (k + 1).
const char *const plotsConfig = R"({
  "settings": {"maxPlotXPoints": 5},
  "commands": [{"id": 0, "in": [{"name": "level", "type": "uint16", "units": "mV"}]}]})";

// Six plots: the window cannot show them all at once.
const char *const sixPlotsConfig = R"({
  "settings": {"maxPlotXPoints": 50},
  "commands": [{"id": 0, "in": [{"name": "a", "type": "uint16"}, {"name": "b", "type": "uint16"},
                                {"name": "c", "type": "uint16"}, {"name": "d", "type": "uint16"},
                                {"name": "e", "type": "uint16"}, {"name": "f", "type": "uint16"}]}]})";

QByteArray levelReport(int value)
{
    return inputReport(0, {static_cast<unsigned char>(value & 0xff), static_cast<unsigned char>(value >> 8)});
}

QList<double> graphKeys(QCustomPlot *plot)
{
    QList<double> keys;
    for (auto it = plot->graph(0)->data()->constBegin(); it != plot->graph(0)->data()->constEnd(); ++it)
        keys << it->key;
    return keys;
}

QPoint pixelOf(QCustomPlot *plot, double key, double value)
{
    return QPoint(int(plot->xAxis->coordToPixel(key)), int(plot->yAxis->coordToPixel(value)));
}

void hover(QCustomPlot *plot, const QPoint &position)
{
    QMouseEvent move(QEvent::MouseMove, position, plot->mapToGlobal(position), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
}

void wheel(QCustomPlot *plot, const QPoint &position, int steps)
{
    QWheelEvent event(position, plot->mapToGlobal(position), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &event);
}

// A double click as the operator makes it: a click, then the double click and its release.
void doubleClick(QCustomPlot *plot, const QPoint &position)
{
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, position);
    QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, position);
    QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, position);
}

QAction *actionNamed(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class TestPlotInteraction : public SimulatedWindowTest
{
    Q_OBJECT

private:
    QCustomPlot *plot() { return MainWindowProbe(*window).plots().at(0); }

    // Sends reports with the values 10, 20, ... (continuing from the samples sent before),
    // waits until they are decoded and handled, then runs one replot tick.
    void sendSamples(int count)
    {
        MainWindowProbe probe(*window);
        DataParser *parser = probe.parser();
        quint64 total = 0;
        {
            std::lock_guard<std::mutex> lock(parser->stateLock);
            total = parser->sampleCounter;
        }
        for (int i = 0; i < count; ++i)
            device->injectReport(levelReport(int(10 * (total + i + 1))));
        const QString last = QString::number(10 * (total + count));
        QTRY_COMPARE(probe.valueTexts().value(0), last);
        probe.replot();
    }

    QStringList logLines()
    {
        QFile file(workDir.filePath(QStringLiteral("level.csv")));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) // CR LF on Windows
            return {};
        return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(workDir.path()));
        writeConfig(plotsConfig);
    }
    void init()
    {
        QFile::remove(workDir.filePath(QStringLiteral("level.csv")));
        openWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        MainWindowProbe(*window).replotTimer()->stop(); // ticks by hand
    }
    void cleanup()
    {
        closeWindow();
        writeConfig(plotsConfig);
    }
    void cleanupTestCase() { removeConfig(); }

    void pauseFreezesThePlotsWhileValuesAndLogsGoOn()
    {
        sendSamples(2);
        QCOMPARE(graphKeys(plot()), (QList<double>{-4, -3, -2, -1, 0, 1}));

        // The space bar on a plot pauses every plot.
        plot()->setFocus();
        QTest::keyClick(plot(), Qt::Key_Space);
        auto *pause = window->findChild<QCheckBox *>(QStringLiteral("cbPause"));
        QVERIFY(pause->isChecked());

        // More samples than the window holds arrive while paused.
        sendSamples(7);
        QCOMPARE(graphKeys(plot()), (QList<double>{-4, -3, -2, -1, 0, 1}));
        QCOMPARE(window->findChild<QTreeWidget *>()->topLevelItem(0)->text(1), QStringLiteral("90"));
        QTRY_COMPARE(logLines().size(), 9);

        // Resuming shows the current window at once, without waiting for a tick.
        QTest::keyClick(plot(), Qt::Key_Space);
        QVERIFY(!pause->isChecked());
        QCOMPARE(graphKeys(plot()), (QList<double>{3, 4, 5, 6, 7, 8}));
        QCOMPARE(plot()->graph(0)->data()->at(5)->value, 90.0);
        QCOMPARE(plot()->xAxis->range(), QCPRange(3, 8));
    }

    void pauseStopsEveryPlotAtTheSameSample()
    {
        closeWindow();
        writeConfig(sixPlotsConfig);
        openWindow();
        window->resize(900, 500);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        MainWindowProbe probe(*window);
        const QVector<QCustomPlot *> &plots = probe.plots();
        QVERIFY(plots.last()->visibleRegion().isEmpty()); // out of view below
        probe.plotSwitches().at(2)->setChecked(false);    // and one hidden

        // Reports at 200 a second while the window ticks on its own.
        for (int i = 0; i < 400; ++i)
            device->injectReport(inputReport(0, {quint8(i), 0}), 5 * i);
        QTest::qWait(400);
        window->findChild<QCheckBox *>(QStringLiteral("cbPause"))->setChecked(true);
        QTest::qWait(200);

        // Brought into view one by one, shown again, every plot ends at the same sample.
        probe.plotSwitches().at(2)->setChecked(true);
        auto *area = window->findChild<QScrollArea *>(QStringLiteral("plotsArea"));
        QList<double> lastKeys;
        for (QCustomPlot *plot : plots) {
            area->ensureWidgetVisible(plot);
            QTRY_VERIFY(!plot->visibleRegion().isEmpty());
            QApplication::processEvents();
            QVERIFY(!plot->graph(0)->data()->isEmpty());
            lastKeys.append((plot->graph(0)->data()->constEnd() - 1)->key);
        }
        QCOMPARE(lastKeys.count(lastKeys.first()), plots.size());
        QVERIFY2(lastKeys.first() > 0, "the plots froze before any report");
    }

    void hoverShowsTheNearestSample()
    {
        sendSamples(4); // keys -2 .. 3
        PlotCursors *cursors = MainWindowProbe(*window).plotCursors(0);
        QCOMPARE(cursors->hoverText(), QString());
        // A little right of sample 2 (value 30): snapped to it.
        hover(plot(), pixelOf(plot(), 2.2, 33));
        QCOMPARE(cursors->hoverText(), QStringLiteral("замер 2: 30 mV"));
        // The data slides one sample under the still pointer: the readout follows.
        sendSamples(1);
        QCOMPARE(cursors->hoverText(), QStringLiteral("замер 3: 40 mV"));
        // Paused, it stays.
        window->findChild<QCheckBox *>(QStringLiteral("cbPause"))->setChecked(true);
        sendSamples(1);
        QCOMPARE(cursors->hoverText(), QStringLiteral("замер 3: 40 mV"));
        // Outside the axis rectangle the readout goes.
        hover(plot(), QPoint(1, 1));
        QCOMPARE(cursors->hoverText(), QString());
    }

    void cursorsShowValuesAndDifferences()
    {
        sendSamples(4);
        PlotCursors *cursors = MainWindowProbe(*window).plotCursors(0);
        QTest::mouseClick(plot(), Qt::LeftButton, Qt::NoModifier, pixelOf(plot(), 0.9, 15));
        QTest::mouseClick(plot(), Qt::LeftButton, Qt::ShiftModifier, pixelOf(plot(), 3, 35));
        QCOMPARE(cursors->cursorsText(), QStringLiteral("A: замер 1: 20 mV\nB: замер 3: 40 mV\n"
                                                        "Δ замеров: 2, Δ значения: 20 mV"));
        // Where the key is time, the difference is a time and the rate is shown.
        cursors->setTimeAxis(true);
        QCOMPARE(cursors->cursorsText(), QStringLiteral("A: 1 с: 20 mV\nB: 3 с: 40 mV\n"
                                                        "Δt: 2 с, Δ значения: 20 mV, скорость: 10 mV/с"));

        // A double click removes the cursors and leaves the plot following its data.
        doubleClick(plot(), pixelOf(plot(), 2, 30));
        QVERIFY(!cursors->hasCursors());
        QCOMPARE(cursors->cursorsText(), QString());
        QVERIFY(MainWindowProbe(*window).plotNavigation(0)->isFollowing());
    }

    void zoomThenResetFollowsAgain()
    {
        sendSamples(4);
        MainWindowProbe probe(*window);
        PlotNavigation *navigation = probe.plotNavigation(0);
        const QPoint middle = pixelOf(plot(), 2, 30);
        wheel(plot(), middle, 2);
        QVERIFY(!navigation->isFollowing());
        const QCPRange zoomed = plot()->xAxis->range();
        QVERIFY(zoomed.size() < 5);

        // Samples keep arriving into the zoomed view, which stays where the operator put it.
        sendSamples(2);
        QCOMPARE(graphKeys(plot()).last(), 5.0);
        QCOMPARE(plot()->xAxis->range(), zoomed);

        // A double click on the plot without cursors follows the data again.
        doubleClick(plot(), middle);
        QVERIFY(navigation->isFollowing());
        QVERIFY(!probe.plotCursors(0)->hasCursors());
        QCOMPARE(plot()->xAxis->range(), QCPRange(0, 5));
        QCOMPARE(plot()->yAxis->range(), QCPRange(10, 60));

        // The wheel over the value axis zooms that axis only; the menu's reset undoes it.
        wheel(plot(), QPoint(plot()->axisRect()->left() - 5, middle.y()), 1);
        QCOMPARE(plot()->xAxis->range(), QCPRange(0, 5));
        QVERIFY(plot()->yAxis->range().size() < 50);
        std::unique_ptr<QMenu> menu(probe.plotMenu(0));
        actionNamed(menu.get(), QStringLiteral("Сбросить масштаб"))->trigger();
        QVERIFY(navigation->isFollowing());
        QCOMPARE(plot()->yAxis->range(), QCPRange(10, 60));
    }

    void csvOfThePointsInView()
    {
        sendSamples(4);
        plot()->xAxis->setRange(0.5, 2.5); // as a zoom leaves it
        const QString path = workDir.filePath(QStringLiteral("view.csv"));
        QTimer::singleShot(0, this, [path] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->selectedFiles().value(0), QDir::current().filePath(QStringLiteral("level_view.csv")));
            dialog->selectFile(path);
            static_cast<QDialog *>(dialog)->accept(); // as the Save button does
        });
        std::unique_ptr<QMenu> menu(MainWindowProbe(*window).plotMenu(0));
        actionNamed(menu.get(), QStringLiteral("Сохранить точки в CSV…"))->trigger();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("замеры,\"level, mV\"\n1,20\n2,30\n"));
    }
};

QTEST_MAIN(TestPlotInteraction)
#include "tst_plotinteraction.moc"
