// The demo's simulated device through the real window: its answers reach the answer fields,
// and its control window plugs and unplugs through the same path as the system's notices.
#include "democontrolwindow.h"
#include "mainwindow.h"
#include "simconfig.h"
#include "simplatform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class DemoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void answersFillAnswerFields();
    void stoppedAnswersTimeOut();
    void controlWindowPlugsAndUnplugs();
    void telemetryReachesTheValues();

private:
    template <typename T> T *in(QWidget *w, const char *name) const
    {
        return w->findChild<T *>(QString::fromLatin1(name));
    }
    QStringList answerTexts() const;
    void send(const QString &command);

    QTemporaryDir logDir;
    std::unique_ptr<SimPlatform> sim;
    std::unique_ptr<DemoControlWindow> control;
    std::unique_ptr<MainWindow> window;
};

void DemoTest::initTestCase()
{
    QVERIFY(logDir.isValid());
    QVERIFY(QDir::setCurrent(logDir.path()));
}

void DemoTest::init()
{
    sim = std::make_unique<SimPlatform>();
    HidPlatform::install(sim.get());
    const SimConfig config = SimConfig::read(SimConfig::besideExecutable());
    QVERIFY(!config.commands.isEmpty());
    control = std::make_unique<DemoControlWindow>(*sim, config);
    window = std::make_unique<MainWindow>();
}

void DemoTest::cleanup()
{
    window.reset();
    control.reset();
    HidPlatform::install(nullptr);
    sim.reset();
}

QStringList DemoTest::answerTexts() const
{
    QStringList texts;
    for (QLineEdit *edit : in<QGroupBox>(window.get(), "gbIn")->findChildren<QLineEdit *>())
        texts << edit->text();
    return texts;
}

void DemoTest::send(const QString &command)
{
    QComboBox *commands = in<QComboBox>(window.get(), "cbCommand");
    const int index = commands->findText(command);
    QVERIFY(index >= 0);
    commands->setCurrentIndex(index);
    in<QPushButton>(window.get(), "pbSend")->click();
}

// The example configuration's "Set threshold" sends channel 1, threshold 1F (hex) and mask 101
// (bin) by default; the device answers with the same three values.
void DemoTest::answersFillAnswerFields()
{
    send("Set threshold");
    QTRY_COMPARE(answerTexts().size(), 3);
    QTRY_COMPARE(answerTexts().value(0), QString("1"));
    QCOMPARE(answerTexts().value(1).toLower(), QString("1f"));
    QCOMPARE(answerTexts().value(2), QString("101"));

    send("Read version");
    QTRY_COMPARE(answerTexts(), QStringList{"Tolvex demo 1.7"});
}

void DemoTest::stoppedAnswersTimeOut()
{
    in<QCheckBox>(control.get(), "cbAnswer")->setChecked(false);
    send("Set threshold");
    QTRY_COMPARE_WITH_TIMEOUT(answerTexts().value(0), QString::fromUtf8("не отвечает..."), 3000);
    QVERIFY(in<QPushButton>(window.get(), "pbSend")->isEnabled());

    in<QCheckBox>(control.get(), "cbAnswer")->setChecked(true);
    send("Set threshold");
    QTRY_COMPARE(answerTexts().value(0), QString("1"));
}

void DemoTest::controlWindowPlugsAndUnplugs()
{
    QLabel *count = in<QLabel>(window.get(), "lbDeviceCount");
    QComboBox *box = in<QComboBox>(window.get(), "cbCurrentDevice");
    QCOMPARE(count->text(), QString("[1]"));
    QVERIFY(control->firstDevice()->isOpen());

    in<QPushButton>(control.get(), "pbPlug")->click();
    QCOMPARE(count->text(), QString("[0]"));
    QVERIFY(window->statusBar()->currentMessage().contains(QString::fromUtf8("Устройство не обнаружено")));
    QVERIFY(!control->firstDevice()->isOpen());

    in<QPushButton>(control.get(), "pbPlug")->click();
    QCOMPARE(count->text(), QString("[1]"));
    QVERIFY(control->firstDevice()->isOpen());

    // A second device with the same product string: listed with its own tag, not opened.
    in<QPushButton>(control.get(), "pbSecond")->click();
    QCOMPARE(count->text(), QString("[2]"));
    QVERIFY(box->itemText(0) != box->itemText(1));
    QVERIFY(control->firstDevice()->isOpen());
    QVERIFY(!control->secondDevice()->isOpen());

    in<QPushButton>(control.get(), "pbSecond")->click();
    QCOMPARE(count->text(), QString("[1]"));
    QVERIFY(!control->secondDevice());
}

void DemoTest::telemetryReachesTheValues()
{
    QSpinBox *rate = in<QSpinBox>(control.get(), "sbRate");
    QCOMPARE(rate->value(), DemoControlWindow::initialRate);
    // The replot timer copies the decoded texts into the current values tree.
    QTreeWidget *tree = in<QTreeWidget>(window.get(), "treeWidget");
    QVERIFY(tree->topLevelItemCount() > 0);
    const int uptimeRow = 6; // "uptime", a report counter
    QTRY_VERIFY(tree->topLevelItem(uptimeRow)->text(1).toInt() > 5);
    const int before = tree->topLevelItem(uptimeRow)->text(1).toInt();
    QTRY_VERIFY(tree->topLevelItem(uptimeRow)->text(1).toInt() > before);
}

QTEST_MAIN(DemoTest)
#include "tst_demo.moc"
