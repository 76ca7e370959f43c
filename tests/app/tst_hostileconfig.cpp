// The window under a configuration that misbehaves: a script that never ends, names of any
// length, log files that cannot be written.
#include "reports.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <qcustomplot.h>

namespace {

const char *const runawayConfig = R"({
  "settings": {"maxPlotXPoints": 10},
  "commands": [
    {"id": 0, "in": [{"name": "count", "type": "uint16"},
                     {"name": "stuck", "type": "uint8", "script": "while (true) {}"}]},
    {"id": 5, "name": "Ask", "in": [{"name": "answer", "type": "uint8"}]}
  ]})";

// Every text the configuration gives the window, each as long as asked.
QByteArray namedConfig(const QString &text)
{
    const QJsonObject field{{"name", text}, {"units", text}, {"type", "uint8"}};
    const QJsonObject telemetry{{"id", 0}, {"in", QJsonArray{field}}};
    const QJsonObject command{{"id", 5}, {"name", text}, {"out", QJsonArray{field}},
                              {"in", QJsonArray{field}}};
    const QJsonObject root{{"commands", QJsonArray{telemetry, command}}};
    return QJsonDocument(root).toJson();
}

} // namespace

class TestHostileConfig : public SimulatedWindowTest
{
    Q_OBJECT

private:
    template <typename Widget>
    Widget *child(const char *name) { return window->findChild<Widget *>(QLatin1String(name)); }

    quint64 decodedSamples()
    {
        DataParser *parser = MainWindowProbe(*window).parser();
        std::lock_guard<std::mutex> lock(parser->stateLock);
        return parser->sampleCounter;
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir.path())); }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { removeConfig(); }

    void runawayScriptCostsTheOtherValuesNothing()
    {
        writeConfig(runawayConfig);
        openWindow();
        device->setResponder([](SimDevice &d, const QByteArray &request) {
            if (request.at(1) == 5)
                d.injectReport(inputReport(5, {42}));
        });
        auto *answer = MainWindowProbe(*window).answerEdits().value(0);
        QVERIFY(answer);

        // One second of telemetry at 100 reports per second; a command in the middle of it.
        const int reports = 100;
        for (int i = 0; i < reports; ++i) {
            device->injectReport(inputReport(0, {static_cast<unsigned char>(i), 0, 1}));
            if (i == reports / 2)
                child<QPushButton>("pbSend")->click();
            QTest::qWait(10);
        }
        // The answer came in time ("не отвечает..." would stay), and the values kept up.
        QTRY_COMPARE(answer->text(), QStringLiteral("42"));
        QTRY_COMPARE(decodedSamples(), quint64(reports));
        auto *tree = child<QTreeWidget>("treeWidget");
        QTRY_COMPARE(tree->topLevelItem(0)->text(1), QString::number(reports - 1));
        QCOMPARE(tree->topLevelItem(1)->text(1), QStringLiteral("nan"));

        closeWindow(); // writes what the logs still hold
        QStringList counted{"", "", ""};
        QStringList stuck{"", "", ""};
        for (int i = 0; i < reports; ++i) {
            counted << QString::number(i);
            stuck << QStringLiteral("nan");
        }
        QFile countLog(QStringLiteral("count.csv"));
        QVERIFY(countLog.open(QIODevice::ReadOnly | QIODevice::Text)); // lines end in CR LF on Windows
        QCOMPARE(QString::fromLatin1(countLog.readAll()), counted.join('\n') + '\n');
        QFile stuckLog(QStringLiteral("stuck.csv"));
        QVERIFY(stuckLog.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(QString::fromLatin1(stuckLog.readAll()), stuck.join('\n') + '\n');
    }

    void longTextsLeaveTheWindowsSizeAlone()
    {
        writeConfig(namedConfig(QStringLiteral("w")));
        openWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QSize usual = window->size();
        closeWindow();

        const QString longText = QString(100000, QLatin1Char('W'));
        writeConfig(namedConfig(longText));
        openWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), usual);
        QVERIFY(!window->grab().isNull()); // every part paints

        // Each place shows the text cut, and the whole text on hovering.
        const auto cut = [&](const QString &shown, const QString &toolTip) {
            return shown.size() < 200 && shown.startsWith(QStringLiteral("WWW"))
                   && toolTip.contains(QString(1000, QLatin1Char('W')));
        };
        MainWindowProbe probe(*window);
        QCustomPlot *plot = probe.plots().at(0);
        auto *title = qobject_cast<QCPTextElement *>(plot->plotLayout()->element(0, 0));
        QVERIFY(title->text().size() < 1000 && plot->toolTip().contains(QString(1000, QLatin1Char('W'))));
        QVERIFY(cut(plot->yAxis->label(), plot->toolTip()));
        // The title asks for no width: the plot fits the space it gets.
        QVERIFY(static_cast<QWidget *>(plot)->minimumSizeHint().width() < 200);
        QVERIFY(cut(probe.plotSwitches().at(0)->text(), probe.plotSwitches().at(0)->toolTip()));
        QTreeWidgetItem *row = child<QTreeWidget>("treeWidget")->topLevelItem(0);
        QVERIFY(cut(row->text(0), row->toolTip(0)));
        QVERIFY(cut(row->text(2), row->toolTip(2)));
        auto *commands = child<QComboBox>("cbCommand");
        QVERIFY(cut(commands->itemText(0), commands->itemData(0, Qt::ToolTipRole).toString()));
        QCOMPARE(commands->toolTip(), commands->itemData(0, Qt::ToolTipRole).toString());
        for (const char *group : {"gbOut", "gbIn"}) {
            auto *label = child<QGroupBox>(group)->findChild<QLabel *>();
            QVERIFY(cut(label->text(), label->toolTip()));
        }
    }

    void unwritableLogFilesAreNamedOnce()
    {
        writeConfig(R"({"commands": [{"id": 0, "in": [{"name": "a"}, {"name": "b"}, {"name": "c"}]}]})");
        QDir here;
        QVERIFY(here.mkdir(QStringLiteral("a.csv"))); // cannot be opened as a file
        QString expected = QStringLiteral("Не удалось записать журнал: a.csv");
#ifdef Q_OS_LINUX
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), QStringLiteral("b.csv"))); // a full disk
        expected += QStringLiteral(", b.csv");
#endif
        openWindow();
        auto *notice = child<QLabel>("lbLogFileNotice");
        QVERIFY(notice);
        QCOMPARE(notice->text(), expected);
        QCOMPARE(child<QWidget>("scrollAreaWidgetContents")->layout()->itemAt(0)->widget(), notice);
        device->injectReport(inputReport(0, {1, 2, 3}));
        QTRY_COMPARE(decodedSamples(), quint64(1));
        QTest::qWait(int(DataParser::logFlushInterval.count()) + 200);
        QCOMPARE(notice->text(), expected); // said once
        closeWindow();
        QVERIFY(here.rmdir(QStringLiteral("a.csv")));
        QFile::remove(QStringLiteral("b.csv"));
        QFile::remove(QStringLiteral("c.csv"));
    }
};

QTEST_MAIN(TestHostileConfig)
#include "tst_hostileconfig.moc"
