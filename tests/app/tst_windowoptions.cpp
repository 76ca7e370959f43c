// The window's command-line options: --config FILE and --device TAG|PATH.

#include "devicetag.h"
#include "windowrig.h"

#include "simplatform.h"

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

class TestWindowOptions : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    static QStringList comboItems(const MainWindow &window, const char *name)
    {
        const auto *box = window.findChild<QComboBox *>(QLatin1String(name));
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(QDir::setCurrent(dir.path())); // the telemetry log files land here
        static SimPlatform sim;
        HidPlatform::install(&sim);
    }

    void configOptionReadsThatFile()
    {
        writeConfig(R"({"commands": [{"name": "Beside", "id": 1}]})");
        QFile other(dir.filePath(QStringLiteral("other.json")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(R"({"commands": [{"name": "Elsewhere", "id": 1}, {"name": "Too", "id": 2}]})");
        other.close();

        WindowOptions options;
        options.configPath = other.fileName();
        MainWindow window(options);
        QCOMPARE(comboItems(window, "cbCommand"), (QStringList{"Elsewhere", "Too"}));

        options.configPath = dir.filePath(QStringLiteral("missing.json"));
        MainWindow without(options);
        QCOMPARE(comboItems(without, "cbCommand"), QStringList());
        auto *contents = without.findChild<QWidget *>(QStringLiteral("scrollAreaWidgetContents"));
        QCOMPARE(contents->findChild<QLabel *>()->text(), QStringLiteral("Couldn't open config file."));

        MainWindow plain;
        QCOMPARE(comboItems(plain, "cbCommand"), QStringList{"Beside"});
        removeConfig();
    }

    void deviceOptionOpensThatDeviceWheneverItIsListed()
    {
        auto *sim = static_cast<SimPlatform *>(HidPlatform::instance());
        auto first = sim->plug(QStringLiteral("Tolvex probe"), QStringLiteral("/sim/a"));
        auto second = std::make_shared<SimDevice>(QStringLiteral("Tolvex probe"), QStringLiteral("/sim/b"));
        const QString secondTag = deviceTag(second->product(), second->path());

        WindowOptions options;
        options.device = secondTag;
        {
            // Not there yet: the first device is opened, as without the option.
            MainWindow window(options);
            QVERIFY(first->isOpen());
            // Plugged later, it is taken (listed after the first one).
            sim->plug(second);
            QVERIFY(second->isOpen());
            QVERIFY(!first->isOpen());
            QCOMPARE(window.statusBar()->currentMessage(),
                     QString::fromUtf8("\xF0\x9F\x94\x8C ") + QStringLiteral("Подключено устройство Tolvex probe [")
                         + secondTag + QLatin1Char(']'));
            QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cbCurrentDevice"))->currentIndex(), 1);

            // The operator's choice holds over the option from then on.
            window.findChild<QComboBox *>(QStringLiteral("cbCurrentDevice"))->setCurrentIndex(0);
            QVERIFY(first->isOpen());
            sim->unplug(second);
            sim->plug(second);
            QVERIFY(first->isOpen());
            QVERIFY(!second->isOpen());
        }
        {
            // By path, at start.
            options.device = QStringLiteral("/sim/b");
            MainWindow window(options);
            QVERIFY(second->isOpen());
            QVERIFY(!first->isOpen());
        }
        sim->unplug(first);
        sim->unplug(second);
    }

    void usageErrorEndsTheProgramWithStatus2()
    {
        QProcess program;
        program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/" TOLVEX_CLIENT_NAME),
                      {QStringLiteral("--device")});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardError().contains("--device"));
    }
};

QTEST_MAIN(TestWindowOptions)
#include "tst_windowoptions.moc"
