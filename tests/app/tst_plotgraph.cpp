// What a plot shows of its line and its crosshair, pixel by pixel: the window's faster ways of
// drawing them must draw the picture QCustomPlot draws.
#include "plotcursors.h"
#include "plotgraph.h"

#include <QtTest>

#include <qcustomplot.h>

#include <cmath>
#include <memory>

namespace {

// A plot as the window sets one up, 2-pixel line included, with a wave of a thousand samples
// and a gap (a NaN, as a failed script gives) in it.
std::unique_ptr<QCustomPlot> wavePlot(bool ownGraph, bool antialiased)
{
    auto plot = std::make_unique<QCustomPlot>();
    plot->setPlottingHint(QCP::phFastPolylines, true);
    plot->resize(700, 220);
    QCPGraph *graph = ownGraph ? new PlotGraph(plot->xAxis, plot->yAxis) : plot->addGraph();
    graph->setPen(QPen(Qt::darkGreen, 2));
    graph->setAntialiased(antialiased);
    QVector<double> keys;
    QVector<double> values;
    for (int k = 0; k < 1001; ++k) {
        keys << k;
        values << (k == 400 || k == 401 ? qQNaN() : 50 + 40 * std::sin(k * 0.03));
    }
    graph->setData(keys, values, true);
    plot->rescaleAxes();
    plot->replot();
    return plot;
}

QImage pictureOf(QCustomPlot *plot)
{
    return plot->grab().toImage();
}

} // namespace

class TestPlotGraph : public QObject
{
    Q_OBJECT

private slots:
    void lineIsDrawnAsQCustomPlotDrawsIt_data()
    {
        QTest::addColumn<bool>("antialiased");
        QTest::newRow("antialiased") << true;
        QTest::newRow("on whole pixels") << false;
    }

    void lineIsDrawnAsQCustomPlotDrawsIt()
    {
        QFETCH(bool, antialiased);
        const auto stock = wavePlot(false, antialiased);
        const auto own = wavePlot(true, antialiased);
        const QImage expected = pictureOf(stock.get());
        QVERIFY(!expected.isNull());
        QCOMPARE(pictureOf(own.get()), expected);
    }

    // The crosshair's layer has a buffer of its own only while it shows something.
    void crosshairComesAndGoes()
    {
        const auto plot = wavePlot(true, true);
        PlotCursors cursors(plot.get(), QStringLiteral("mV"));
        plot->replot();
        const QImage plain = pictureOf(plot.get());

        const QPoint middle = plot->axisRect()->rect().center();
        QMouseEvent move(QEvent::MouseMove, middle, plot->mapToGlobal(middle), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(plot.get(), &move);
        QVERIFY(!cursors.hoverText().isEmpty());
        QVERIFY(pictureOf(plot.get()) != plain);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(plot.get(), &leave);
        QVERIFY(cursors.hoverText().isEmpty());
        QCOMPARE(pictureOf(plot.get()), plain);
    }
};

QTEST_MAIN(TestPlotGraph)
#include "tst_plotgraph.moc"
