// Reports in a burst, faster than the window handles them one at a time: every answer still
// reaches the console once and in order, and the values show the last telemetry.
#include "reports.h"
#include "windowrig.h"

#include <QPlainTextEdit>
#include <QtTest>

class TestReportFlow : public SimulatedWindowTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(workDir.path()));
        writeConfig(R"({"settings": {"maxPlotXPoints": 5, "maxConsoleLines": 0}, "commands": [
            {"id": 0, "in": [{"name": "level", "type": "uint16"}]},
            {"id": 4, "name": "Status", "in": [{"name": "code", "type": "uint16"}]}]})");
    }
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { removeConfig(); }

    void everyAnswerOfABurstIsEchoedOnce()
    {
        constexpr int answers = 500;
        QStringList expected;
        for (int i = 0; i < answers; ++i) {
            const auto low = static_cast<unsigned char>(i & 0xff);
            const auto high = static_cast<unsigned char>(i >> 8);
            device->injectReport(inputReport(4, {low, high}));
            device->injectReport(inputReport(0, {low, high}));
            expected << hexOf({0x01, 0x04, low, high});
        }
        MainWindowProbe probe(*window);
        QTRY_COMPARE_WITH_TIMEOUT(probe.valueTexts().value(0), QString::number(answers - 1), 20000);
        auto *console = window->findChild<QPlainTextEdit *>(QStringLiteral("pte"));
        QTRY_COMPARE_WITH_TIMEOUT(console->toPlainText().count(QStringLiteral("Ответ:")), answers, 20000);
        QStringList echoed;
        for (const QString &line : console->toPlainText().split(QLatin1Char('\n'))) {
            if (line.size() == 128)
                echoed << line;
        }
        QCOMPARE(echoed, expected);
    }
};

QTEST_MAIN(TestReportFlow)
#include "tst_reportflow.moc"
