#include "plotfeed.h"

#include <QtTest>

#include <qcustomplot.h>

namespace {

using Points = QList<double>;

// The window of keys first .. last (inclusive), each valued ten times its key.
void window(double first, double last, Points &keys, Points &values)
{
    keys.clear();
    values.clear();
    for (double key = first; key <= last; ++key) {
        keys << key;
        values << key * 10;
    }
}

Points graphKeys(QCPGraph *graph)
{
    Points keys;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        keys << it->key;
    return keys;
}

Points graphValues(QCPGraph *graph)
{
    Points values;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        values << it->value;
    return values;
}

} // namespace

class TestPlotFeed : public QObject
{
    Q_OBJECT

private:
    QCustomPlot plot;
    QCPGraph *graph = nullptr;

private slots:
    void init()
    {
        plot.clearGraphs();
        graph = plot.addGraph();
    }

    // Whatever happened between two updates, the graph ends equal to the parser's window.
    void graphEqualsTheWindow_data()
    {
        QTest::addColumn<double>("firstBefore");
        QTest::addColumn<double>("lastBefore");
        QTest::addColumn<double>("firstAfter");
        QTest::addColumn<double>("lastAfter");
        QTest::newRow("nothing new") << -5.0 << -1.0 << -5.0 << -1.0;
        QTest::newRow("one sample slid in") << -5.0 << -1.0 << -4.0 << 0.0;
        QTest::newRow("a few slid in") << 10.0 << 20.0 << 13.0 << 23.0;
        QTest::newRow("more than the window: nothing in common") << 0.0 << 10.0 << 40.0 << 50.0;
        QTest::newRow("history reset: keys went back") << 90.0 << 100.0 << -10.0 << -1.0;
        QTest::newRow("window grew from empty prefill") << 0.0 << 0.0 << 0.0 << 3.0;
    }
    void graphEqualsTheWindow()
    {
        QFETCH(double, firstBefore);
        QFETCH(double, lastBefore);
        QFETCH(double, firstAfter);
        QFETCH(double, lastAfter);
        PlotFeed feed;
        Points keys, values;
        window(firstBefore, lastBefore, keys, values);
        feed.update(graph, keys, values);
        QCOMPARE(graphKeys(graph), keys);

        window(firstAfter, lastAfter, keys, values);
        feed.update(graph, keys, values);
        QCOMPARE(graphKeys(graph), keys);
        QCOMPARE(graphValues(graph), values);
    }

    void invalidatedFeedCopiesEverything()
    {
        // A reset followed by so many samples that the keys overlap the old ones again: only
        // invalidate() can tell, and the old values must not survive.
        PlotFeed feed;
        Points keys, values;
        window(0, 10, keys, values);
        feed.update(graph, keys, values);
        feed.invalidate();
        window(5, 12, keys, values);
        for (double &value : values)
            value = -1;
        feed.update(graph, keys, values);
        QCOMPARE(graphKeys(graph), keys);
        QCOMPARE(graphValues(graph), values);
    }

    void shorterListDecides()
    {
        PlotFeed feed;
        feed.update(graph, {1, 2, 3}, {10, 20});
        QCOMPARE(graphKeys(graph), (Points{1, 2}));
        feed.update(graph, {}, {});
        QCOMPARE(graph->dataCount(), 0);
        feed.update(graph, {7}, {70});
        QCOMPARE(graphKeys(graph), Points{7});
        QCOMPARE(graphValues(graph), Points{70});
    }
};

QTEST_MAIN(TestPlotFeed)
#include "tst_plotfeed.moc"
