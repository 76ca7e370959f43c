#include "windowrig.h"

#include "simplatform.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

QStringList comboItems(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList headerTexts(const QTreeWidget *tree)
{
    QStringList texts;
    for (int i = 0; i < tree->columnCount(); ++i)
        texts << tree->headerItem()->text(i);
    return texts;
}

QStringList buttonTexts(const QWidget *parent)
{
    QStringList texts;
    for (const QPushButton *button : parent->findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly))
        texts << button->text();
    return texts;
}

QString messageText(const QWidget &window)
{
    auto *contents = window.findChild<QWidget *>(QStringLiteral("scrollAreaWidgetContents"));
    const auto labels = contents->findChildren<QLabel *>();
    return labels.isEmpty() ? QString() : labels.first()->text();
}

const char *const listCommandsOption = "--list-commands";

} // namespace

class TestConfigLoading : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir workDir;

private slots:
    void initTestCase()
    {
        static SimPlatform sim;
        HidPlatform::install(&sim);
        // Telemetry log files are written to the working directory.
        QVERIFY(QDir::setCurrent(workDir.path()));
    }
    void cleanupTestCase() { removeConfig(); }

    void missingFileShowsMessageAndKeepsDefaults()
    {
        removeConfig();
        MainWindow window;
        MainWindowProbe probe(window);

        QCOMPARE(messageText(window), QStringLiteral("Couldn't open config file."));
        auto *label = window.findChild<QWidget *>(QStringLiteral("scrollAreaWidgetContents"))->findChild<QLabel *>();
        QCOMPARE(label->alignment(), Qt::AlignCenter);
        QCOMPARE(label->font().family(), QStringLiteral("Helvetica [Cronyx]"));
        QCOMPARE(label->font().pointSize(), 12);

        QCOMPARE(probe.maxPlotXPoints(), 1000);
        QCOMPARE(probe.maxConsoleLines(), 1000);
        QCOMPARE(probe.telemetry().id, -1);
        auto *tree = window.findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
        QCOMPARE(tree->topLevelItemCount(), 0);
        QCOMPARE(headerTexts(tree), (QStringList{"1", "2", "3"}));
        auto *frame = window.findChild<QGroupBox *>(QStringLiteral("frame"));
        QVERIFY(frame->layout());
        QCOMPARE(frame->layout()->count(), 0); // no buttons either
        QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cbCommand"))->count(), 0);
        QVERIFY(!window.findChild<QGroupBox *>(QStringLiteral("gbOut"))->layout());
        QVERIFY(!window.findChild<QGroupBox *>(QStringLiteral("gbIn"))->layout());
        QCOMPARE(window.findChild<QPlainTextEdit *>(QStringLiteral("pte"))->document()->maximumBlockCount(), 0);
        // Everything else still runs.
        QCOMPARE(window.windowTitle(), QStringLiteral("Tolvex_Client 1.7 - Программа управления ТРЕМ"));
        QVERIFY(probe.parser()->isRunning());
        QVERIFY(probe.usb()->isRunning());
    }

    void unreadableDocumentGivesEmptyState_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("not JSON") << QByteArray("{ \"settings\": ")
            << QStringLiteral("Ошибка в файле конфигурации: объект не закрыт (строка 1, столбец 14).");
        // Columns count characters, not bytes.
        QTest::newRow("comma missing on line 3")
            << QByteArray("{\n  \"commands\": [\n    {\"name\": \"Запуск\" \"id\": 1}\n  ]\n}")
            << QStringLiteral("Ошибка в файле конфигурации: объект не закрыт (строка 3, столбец 24).");
        QTest::newRow("top-level array") << QByteArray("[{\"id\": 0}]") << QString();
        QTest::newRow("empty file") << QByteArray()
            << QStringLiteral("Ошибка в файле конфигурации: недопустимое значение (строка 1, столбец 1).");
    }
    void unreadableDocumentGivesEmptyState()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        writeConfig(json);
        MainWindow window;
        MainWindowProbe probe(window);

        QCOMPARE(messageText(window), message);
        QCOMPARE(probe.maxPlotXPoints(), 0);
        QCOMPARE(probe.maxConsoleLines(), 0);
        QCOMPARE(headerTexts(window.findChild<QTreeWidget *>(QStringLiteral("treeWidget"))),
                 (QStringList{"Параметр", "Значение", "Ед. изм"}));
        QCOMPARE(buttonTexts(window.findChild<QGroupBox *>(QStringLiteral("frame"))),
                 (QStringList{"Скрыть все", "Показывать все"}));
        QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cbCommand"))->count(), 0);
        QVERIFY(window.findChild<QGroupBox *>(QStringLiteral("gbOut"))->layout());
        QCOMPARE(window.findChild<QGroupBox *>(QStringLiteral("gbOut"))->layout()->count(), 0);
        QCOMPARE(window.findChild<QGroupBox *>(QStringLiteral("gbIn"))->layout()->count(), 0);
        QVERIFY(probe.requestEdits().isEmpty());
    }

    void limits_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("plotPoints");
        QTest::addColumn<int>("consoleLines");
        QTest::newRow("both given") << QByteArray(R"({"maxPlotXPoints": 250, "maxConsoleLines": 6})") << 250 << 6;
        QTest::newRow("console limit absent") << QByteArray(R"({"maxPlotXPoints": 250})") << 250 << 0;
        QTest::newRow("plot points absent") << QByteArray(R"({"maxConsoleLines": 9})") << 0 << 9;
        QTest::newRow("plot points as a string") << QByteArray(R"({"maxPlotXPoints": "1000", "maxConsoleLines": 9})") << 0 << 9;
        QTest::newRow("negative plot points read as none") << QByteArray(R"({"maxPlotXPoints": -5})") << 0 << 0;
        QTest::newRow("plot points beyond the cap") << QByteArray(R"({"maxPlotXPoints": 2147483000})") << 1000000 << 0;
        QTest::newRow("settings not an object") << QByteArray(R"([1, 2])") << 0 << 0;
    }
    void limits()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, plotPoints);
        QFETCH(int, consoleLines);
        writeConfig(R"({"settings": )" + settings + R"(, "commands": [
            {"id": 0, "in": [{"name": "t", "type": "uint8"}]}]})");
        MainWindow window;
        MainWindowProbe probe(window);
        QCOMPARE(probe.maxPlotXPoints(), plotPoints);
        QCOMPARE(probe.maxConsoleLines(), consoleLines);
        QCOMPARE(window.findChild<QPlainTextEdit *>(QStringLiteral("pte"))->document()->maximumBlockCount(), consoleLines);
        // The parser's plot window follows the setting from the start.
        std::lock_guard<std::mutex> lock(probe.parser()->stateLock);
        QCOMPARE(probe.parser()->xValues.size(), plotPoints);
        QCOMPARE(probe.parser()->yValues.value(0).size(), plotPoints);
    }

    void commandsInFileOrderWithoutTelemetry()
    {
        writeConfig(R"({"commands": [
            {"id": 3, "name": "Third"},
            {"id": 0, "name": "Telemetry A", "in": [{"name": "a"}]},
            {"id": 1, "name": "First"},
            7,
            {"id": 0, "name": "Telemetry B", "in": [{"name": "b1"}, {"name": "b2"}]},
            {"id": 2, "name": "Second"}
        ]})");
        MainWindow window;
        MainWindowProbe probe(window);
        // A non-object element is a command without id and name.
        QCOMPARE(comboItems(window.findChild<QComboBox *>(QStringLiteral("cbCommand"))),
                 (QStringList{"Third", "First", "", "Second"}));
        QCOMPARE(probe.commands().size(), 4);
        QCOMPARE(probe.commands().at(2)->id, -1);
        // The later telemetry entry wins.
        QCOMPARE(probe.telemetry().name, QStringLiteral("Telemetry B"));
        QCOMPARE(window.findChild<QTreeWidget *>(QStringLiteral("treeWidget"))->topLevelItemCount(), 2);
        QCOMPARE(probe.plots().size(), 2);
        // The first command's form is on screen after loading.
        QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cbCommand"))->currentIndex(), 0);
    }

    void parserGetsEveryDescription()
    {
        writeConfig(R"({"commands": [
            {"id": 0, "in": [{"name": "t"}]},
            {"id": 5, "name": "Old five", "in": [{"name": "x"}]},
            {"id": 6, "name": "Six"},
            {"id": 5, "name": "New five"}
        ]})");
        MainWindow window;
        MainWindowProbe probe(window);
        const auto &descriptions = probe.parser()->descriptions;
        QCOMPARE(descriptions.keys(), (QList<int>{0, 5, 6}));
        QCOMPARE(descriptions.value(5).name, QStringLiteral("New five"));
        QCOMPARE(descriptions.value(0).inNames, QStringList{QStringLiteral("t")});
    }

    void noTelemetryEntry()
    {
        writeConfig(R"({"settings": {"maxPlotXPoints": 10}, "commands": [{"id": 4, "name": "Only"}]})");
        MainWindow window;
        MainWindowProbe probe(window);
        QCOMPARE(probe.telemetry().id, -1);
        QVERIFY(probe.plots().isEmpty());
        QCOMPARE(window.findChild<QTreeWidget *>(QStringLiteral("treeWidget"))->topLevelItemCount(), 0);
        QCOMPARE(buttonTexts(window.findChild<QGroupBox *>(QStringLiteral("frame"))),
                 (QStringList{"Скрыть все", "Показывать все"}));
        QCOMPARE(comboItems(window.findChild<QComboBox *>(QStringLiteral("cbCommand"))), QStringList{"Only"});
    }

    void configurationIsNamedAfterTheExecutable_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("expected");
#ifdef Q_OS_WIN
        // On Windows the name is the file name up to its last dot.
        QTest::newRow("other") << QStringLiteral("other.exe") << QStringLiteral("from other.json");
        QTest::newRow("a.b") << QStringLiteral("a.b.exe") << QStringLiteral("from a.b.json");
#else
        QTest::newRow("other") << QStringLiteral("other") << QStringLiteral("from other.json");
        QTest::newRow("a.b") << QStringLiteral("a.b") << QStringLiteral("from a.b.json");
#endif
    }
    void configurationIsNamedAfterTheExecutable()
    {
        QFETCH(QString, executable);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString copy = dir.filePath(executable);
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QVERIFY(QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOwner));
        auto writeNamed = [&dir](const QString &file, const QString &commandName) {
            QFile json(dir.filePath(file));
            QVERIFY(json.open(QIODevice::WriteOnly));
            json.write(QStringLiteral(R"({"commands": [{"id": 1, "name": "%1"}]})").arg(commandName).toUtf8());
        };
        writeNamed(QStringLiteral("other.json"), QStringLiteral("from other.json"));
        writeNamed(QStringLiteral("a.b.json"), QStringLiteral("from a.b.json"));
        writeNamed(QStringLiteral("a.json"), QStringLiteral("from a.json"));

        QProcess process;
        process.setWorkingDirectory(dir.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(copy, {QString::fromLatin1(listCommandsOption)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).trimmed(), expected);
    }
};

// Run as a renamed copy with --list-commands: build the window and print its command list.
int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], listCommandsOption) == 0) {
        QApplication application(argc, argv);
        SimPlatform sim;
        HidPlatform::install(&sim);
        MainWindow window;
        auto *commands = window.findChild<QComboBox *>(QStringLiteral("cbCommand"));
        for (const QString &item : comboItems(commands))
            printf("%s\n", item.toUtf8().constData());
        return 0;
    }
    QApplication application(argc, argv);
    TestConfigLoading test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_configloading.moc"
