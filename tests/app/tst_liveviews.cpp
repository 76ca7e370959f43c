#include "reports.h"
#include "windowrig.h"

#include "simplatform.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <qcustomplot.h>

namespace {

const char *const viewsConfig = R"({
  "settings": {"maxPlotXPoints": 5, "maxConsoleLines": 6},
  "commands": [
    {"id": 0, "in": [{"name": "level", "type": "uint16", "units": "mV"},
                     {"name": "state", "type": "uint8", "view": "hex"}]},
    {"id": 4, "name": "Status", "in": [{"name": "code", "type": "uint8"}]}
  ]})";

} // namespace

class TestLiveViews : public SimulatedWindowTest
{
    Q_OBJECT

private:

    QTreeWidget *tree() { return window->findChild<QTreeWidget *>(QStringLiteral("treeWidget")); }
    QStringList shownValues()
    {
        QStringList texts;
        for (int i = 0; i < tree()->topLevelItemCount(); ++i)
            texts << tree()->topLevelItem(i)->text(1);
        return texts;
    }
    QPlainTextEdit *console() { return window->findChild<QPlainTextEdit *>(QStringLiteral("pte")); }
    // Waits until the parser has decoded as many telemetry reports.
    bool waitForSamples(quint64 count)
    {
        DataParser *parser = MainWindowProbe(*window).parser();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            {
                std::lock_guard<std::mutex> lock(parser->stateLock);
                if (parser->sampleCounter >= count)
                    return true;
            }
            QTest::qWait(1);
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(workDir.path()));
        writeConfig(viewsConfig);
    }
    void init()
    {
        openWindow();
        QVERIFY(device->isOpen());
        window->show(); // plots are drawn while they are in view
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { removeConfig(); }

    void treeFollowsTelemetryWhileTheDeviceIsOpen()
    {
        MainWindowProbe probe(*window);
        QVERIFY(probe.replotTimer()->isActive());
        QCOMPARE(probe.replotTimer()->interval(), 50);
        device->injectReport(inputReport(0, {0x34, 0x12, 0xff}));
        QTRY_COMPARE(shownValues(), (QStringList{"4660", "ff"}));
        QCOMPARE(tree()->topLevelItem(0)->text(2), QStringLiteral("mV"));
    }

    void onlyTheLastReportOfATickIsShown()
    {
        MainWindowProbe probe(*window);
        probe.replotTimer()->stop(); // ticks by hand from here on
        device->injectReport(inputReport(0, {0x01, 0x00, 0x01}));
        device->injectReport(inputReport(0, {0x02, 0x00, 0x02}));
        QVERIFY(waitForSamples(2));
        QTRY_COMPARE(probe.valueTexts(), (QStringList{"2", "2"}));
        QCOMPARE(shownValues(), (QStringList{"", ""})); // not before the tick
        probe.replot();
        QCOMPARE(shownValues(), (QStringList{"2", "2"}));
    }

    void answersNeverTouchTheValues()
    {
        MainWindowProbe probe(*window);
        probe.replotTimer()->stop();
        device->injectReport(inputReport(0, {0x07, 0x00, 0x01}));
        QVERIFY(waitForSamples(1));
        QTRY_COMPARE(probe.valueTexts(), (QStringList{"7", "1"}));
        device->injectReport(inputReport(4, {0x63, 0x63, 0x63}));
        QTRY_VERIFY(console()->toPlainText().contains(hexOf({0x01, 0x04, 0x63, 0x63, 0x63})));
        probe.replot();
        QCOMPARE(probe.valueTexts(), (QStringList{"7", "1"}));
        QCOMPARE(shownValues(), (QStringList{"7", "1"}));
    }

    void plotsHoldTheWindowPlusOnePoint()
    {
        MainWindowProbe probe(*window);
        probe.replotTimer()->stop();
        probe.replot();
        QCPGraph *level = probe.plots().at(0)->graph(0);
        QCOMPARE(level->dataCount(), 5);
        for (int i = 0; i < 7; ++i)
            device->injectReport(inputReport(0, {static_cast<unsigned char>(10 + i), 0x00, 0x00}));
        QVERIFY(waitForSamples(7));
        probe.replot();
        QCOMPARE(level->dataCount(), 6);
        QCOMPARE(level->data()->at(0)->key, 1.0);
        QCOMPARE(level->data()->at(5)->key, 6.0);
        QCOMPARE(level->data()->at(5)->value, 16.0);
        // The axes follow the data.
        QCOMPARE(probe.plots().at(0)->xAxis->range(), QCPRange(1, 6));
        QCOMPARE(probe.plots().at(0)->yAxis->range(), QCPRange(11, 16));
    }

    void plotOutOfViewCatchesUpWhenScrolledIntoView()
    {
        writeConfig(R"({"settings": {"maxPlotXPoints": 5}, "commands": [{"id": 0, "in": [
            {"name": "p0"}, {"name": "p1"}, {"name": "p2"}, {"name": "p3"}, {"name": "p4"},
            {"name": "p5", "type": "uint8"}]}]})");
        cleanup();
        init();
        writeConfig(viewsConfig);
        MainWindowProbe probe(*window);
        probe.replotTimer()->stop();
        QCustomPlot *last = probe.plots().at(5);
        QVERIFY(last->visibleRegion().isEmpty());

        for (int i = 0; i < 3; ++i)
            device->injectReport(inputReport(0, {static_cast<unsigned char>(20 + i)}));
        QVERIFY(waitForSamples(3));
        probe.replot();
        QCOMPARE(probe.plots().at(0)->graph(0)->dataCount(), 6);
        QCOMPARE(last->graph(0)->dataCount(), 0); // out of view: not drawn

        auto *area = window->findChild<QScrollArea *>(QStringLiteral("plotsArea"));
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        QTRY_COMPARE(last->graph(0)->dataCount(), 6); // at once, no tick in between
        QCOMPARE(last->graph(0)->data()->at(5)->key, 2.0);
        QCOMPARE(last->graph(0)->data()->at(5)->value, 22.0);
        QCOMPARE(last->xAxis->range(), QCPRange(-3, 2));
    }

    void consoleEchoesTelemetryOnlyWhenAsked()
    {
        auto *showAll = window->findChild<QCheckBox *>(QStringLiteral("cbShowAll"));
        device->injectReport(inputReport(0, {0x01}));
        QVERIFY(waitForSamples(1));
        QTest::qWait(50);
        QCOMPARE(console()->toPlainText(), QString());

        showAll->setChecked(true);
        QVERIFY(MainWindowProbe(*window).showAllData());
        device->injectReport(inputReport(0, {0x02}));
        const QString record = QStringLiteral("Ответ:\n") + hexOf({0x01, 0x00, 0x02}) + QStringLiteral("\n");
        QTRY_VERIFY(console()->toPlainText().startsWith(record));

        showAll->setChecked(false);
        const QString shown = console()->toPlainText();
        device->injectReport(inputReport(0, {0x03}));
        QVERIFY(waitForSamples(3));
        QTest::qWait(50);
        QCOMPARE(console()->toPlainText(), shown);
    }

    void consoleKeepsItsLastLines()
    {
        for (unsigned char code : {0x0a, 0x0b, 0x0c})
            device->injectReport(inputReport(4, {code}));
        const QString last = hexOf({0x01, 0x04, 0x0c});
        QTRY_VERIFY(console()->toPlainText().contains(last));
        QCOMPARE(console()->document()->blockCount(), 6);
        QCOMPARE(console()->toPlainText(), QStringLiteral("Ответ:\n") + hexOf({0x01, 0x04, 0x0b})
                                               + QStringLiteral("\n\nОтвет:\n") + last + QStringLiteral("\n"));
    }
};

QTEST_MAIN(TestLiveViews)
#include "tst_liveviews.moc"
