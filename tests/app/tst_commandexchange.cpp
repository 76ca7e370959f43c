#include "reports.h"
#include "windowrig.h"

#include "simplatform.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <thread>

namespace {

const char *const exchangeConfig = R"({
  "settings": {"maxPlotXPoints": 10, "maxConsoleLines": 0},
  "commands": [
    {"id": 0, "in": [{"name": "level", "type": "uint16"}]},
    {"id": 5, "name": "Set threshold",
     "out": [{"name": "channel", "type": "uint8", "default": "7"},
             {"name": "threshold", "type": "uint16", "view": "hex", "default": "1F"}],
     "in":  [{"name": "channel", "type": "uint8"},
             {"name": "threshold", "type": "uint16", "view": "hex"}]},
    {"id": 261, "name": "Wide id", "out": [{"name": "v", "type": "uint8", "default": "3"}],
     "in": [{"name": "v", "type": "uint8"}]},
    {"id": 6, "name": "Gain", "out": [{"name": "gain", "type": "double", "view": "hex", "default": "1.5"}],
     "in": [{"name": "ok", "type": "bool"}]},
    {"id": 7, "name": "Offset", "out": [{"name": "offset", "type": "int8", "view": "hex"}],
     "in": [{"name": "offset", "type": "int8", "view": "hex"}]},
    {"id": 256, "name": "Zero byte", "in": [{"name": "x", "type": "uint8"}]},
    {"id": 8, "name": "Long answer", "in": [{"name": "a", "type": "uint8"}, {"name": "b", "type": "uint8"},
                                             {"name": "c", "type": "uint8"}]},
    {"id": 264, "name": "Short answer", "in": [{"name": "a", "type": "uint8"}]},
    {"id": 9, "name": "Too wide",
     "out": [{"type": "double", "default": "1"}, {"type": "double", "default": "2"},
             {"type": "double", "default": "3"}, {"type": "double", "default": "4"},
             {"type": "double", "default": "5"}, {"type": "double", "default": "6"},
             {"type": "double", "default": "7"}, {"type": "double", "default": "8"},
             {"type": "uint32", "default": "4294967295"}]}
  ]})";

// Sleeps without running the event loop, so that reports pile up before the window looks.
template <typename Condition>
bool waitWithoutEvents(Condition condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

class TestCommandExchange : public SimulatedWindowTest
{
    Q_OBJECT

private:

    QComboBox *commandBox() { return window->findChild<QComboBox *>(QStringLiteral("cbCommand")); }
    QPushButton *sendButton() { return window->findChild<QPushButton *>(QStringLiteral("pbSend")); }
    QString console() { return window->findChild<QPlainTextEdit *>(QStringLiteral("pte"))->toPlainText(); }
    QStringList answerTexts()
    {
        QStringList texts;
        for (QLineEdit *editor : MainWindowProbe(*window).answerEdits())
            texts << editor->text();
        return texts;
    }
    void choose(const QString &name)
    {
        const int index = commandBox()->findText(name);
        QVERIFY(index >= 0);
        commandBox()->setCurrentIndex(index);
    }
    QByteArray sendAndCapture()
    {
        const int before = device->writtenReports().size();
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        if (!device->waitForWriteAttempts(before + 1, 5000))
            return QByteArray();
        return device->writtenReports().value(before);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(workDir.path()));
        writeConfig(exchangeConfig);
    }
    void init()
    {
        openWindow();
        QVERIFY(device->isOpen());
    }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { removeConfig(); }

    void requestBytes_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("hex");
        QTest::newRow("uint8 7 and hex uint16 1F")
            << "Set threshold" << hexOf({0x02, 0x05, 0x07, 0x1f, 0x00});
        QTest::newRow("id 261 travels as 5") << "Wide id" << hexOf({0x02, 0x05, 0x03});
        QTest::newRow("double in hex view ignores the base")
            << "Gain" << hexOf({0x02, 0x06, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f});
    }
    void requestBytes()
    {
        QFETCH(QString, command);
        QFETCH(QString, hex);
        choose(command);
        const QByteArray request = sendAndCapture();
        QCOMPARE(QString::fromLatin1(request.toHex()), hex);
        QCOMPARE(console(), QStringLiteral("Запрос:\n") + hex + QStringLiteral("\n"));
    }

    void requestWiderThanTheReportStopsAtItsEnd()
    {
        choose(QStringLiteral("Too wide"));
        const QByteArray request = sendAndCapture();
        QCOMPARE(request.size(), 64);
        double seventh = 0;
        memcpy(&seventh, request.constData() + 2 + 6 * 8, 8);
        QCOMPARE(seventh, 7.0);
        QCOMPARE(MainWindowProbe(*window).expectedAnswerId(), 9);
    }

    void waitThenAnswer()
    {
        device->setResponder([](SimDevice &d, const QByteArray &request) {
            if (request.at(1) == 5)
                d.injectReport(inputReport(5, {0x07, 0x1f, 0x00}), 100);
        });
        MainWindowProbe probe(*window);
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        QCOMPARE(answerTexts(), (QStringList{"ждём...", "ждём..."}));
        QVERIFY(!sendButton()->isEnabled());
        QVERIFY(!commandBox()->isEnabled());
        QCOMPARE(probe.expectedAnswerId(), 5);
        QVERIFY(probe.exchangeTimer()->isActive());
        QCOMPARE(probe.exchangeTimer()->interval(), 1000);

        QTRY_COMPARE(answerTexts(), (QStringList{"7", "1f"}));
        QVERIFY(sendButton()->isEnabled());
        QVERIFY(commandBox()->isEnabled());
        QCOMPARE(probe.expectedAnswerId(), -1);
        QVERIFY(!probe.exchangeTimer()->isActive());
        QVERIFY(console().endsWith(QStringLiteral("Ответ:\n") + hexOf({0x01, 0x05, 0x07, 0x1f}) + QStringLiteral("\n")));
    }

    void wideIdIsAnsweredAsItsLowByte()
    {
        device->setResponder([](SimDevice &d, const QByteArray &) { d.injectReport(inputReport(5, {0x2a})); });
        choose(QStringLiteral("Wide id"));
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        QTRY_COMPARE(answerTexts(), QStringList{"42"});
        QCOMPARE(MainWindowProbe(*window).expectedAnswerId(), -1);
    }

    void noAnswerTimesOutAfterOneSecond()
    {
        MainWindowProbe probe(*window);
        QElapsedTimer clock;
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        clock.start();
        QTest::qWait(700);
        QCOMPARE(answerTexts(), (QStringList{"ждём...", "ждём..."}));
        QTRY_COMPARE_WITH_TIMEOUT(answerTexts(), (QStringList{"не отвечает...", "не отвечает..."}), 3000);
        QVERIFY(clock.elapsed() >= 950);
        QVERIFY(sendButton()->isEnabled());
        QVERIFY(commandBox()->isEnabled());
        QCOMPARE(probe.expectedAnswerId(), -1);

        // A late answer no longer matches, but it is still logged.
        device->injectReport(inputReport(5, {0x01, 0x02}));
        QTRY_VERIFY(console().contains(QStringLiteral("Ответ:\n") + hexOf({0x01, 0x05, 0x01, 0x02})));
        QCOMPARE(answerTexts(), (QStringList{"не отвечает...", "не отвечает..."}));
    }

    void busyWhileAnEarlierRequestIsHeld()
    {
        // With no device open the exchange thread keeps a request it took.
        sim->unplug(device);
        QTRY_VERIFY(!device->isOpen());
        MainWindowProbe probe(*window);
        QVERIFY(probe.usb()->queueRequest(QByteArray("\x02\x07", 2)));
        const QString logged = console();

        QTest::mouseClick(sendButton(), Qt::LeftButton);
        QCOMPARE(answerTexts(), (QStringList{"занят, повторить позже...", "занят, повторить позже..."}));
        QCOMPARE(console(), logged); // a refused request is not logged
        QCOMPARE(probe.expectedAnswerId(), -1);
        QVERIFY(!probe.exchangeTimer()->isActive());
        QVERIFY(sendButton()->isEnabled());
    }

    void requestGivenUpOnIsNeverWrittenLater()
    {
        // Sent while no device is open, it times out; the device plugged in afterwards never
        // receives it, and the next request is taken at once.
        sim->unplug(device);
        QTRY_VERIFY(!device->isOpen());
        device->clearWrites();
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(answerTexts(), (QStringList{"не отвечает...", "не отвечает..."}), 3000);

        sim->plug(device);
        QTRY_VERIFY(device->isOpen());
        QTest::qWait(300);
        QCOMPARE(device->writeAttempts(), 0);

        QCOMPARE(QString::fromLatin1(sendAndCapture().toHex()), hexOf({0x02, 0x05, 0x07, 0x1f, 0x00}));
        QCOMPARE(device->writeAttempts(), 1);
    }

    void refusedValueSendsNothingAndMarksItsField()
    {
        MainWindowProbe probe(*window);
        const QVector<QLineEdit *> &fields = probe.requestEdits();
        QCOMPARE(fields.size(), 2);
        fields[0]->setText(QString()); // empty: 0
        fields[1]->setText(QStringLiteral("1FFFF"));
        const QString logged = console();

        QTest::mouseClick(sendButton(), Qt::LeftButton);
        QTest::qWait(200);
        QCOMPARE(device->writeAttempts(), 0);
        QCOMPARE(console(), logged);
        QCOMPARE(answerTexts(), (QStringList{"", ""}));
        QCOMPARE(probe.expectedAnswerId(), -1);
        QVERIFY(sendButton()->isEnabled());
        // The refused field says what it takes; the other keeps its text, unmarked.
        auto reasonOf = [](QLineEdit *field) {
            const QLabel *label = field->parentWidget()->findChild<QLabel *>(QStringLiteral("lbRefusedValue"));
            return label ? label->text() : QString();
        };
        QCOMPARE(reasonOf(fields[1]), QStringLiteral("Не отправлено: допустимо 0..ffff"));
        QVERIFY(!fields[1]->styleSheet().isEmpty());
        QCOMPARE(fields[1]->text(), QStringLiteral("1FFFF"));
        QCOMPARE(reasonOf(fields[0]), QString());
        QVERIFY(fields[0]->styleSheet().isEmpty());
        QCOMPARE(fields[0]->text(), QString());

        // Editing the field takes the mark away; the empty field goes as 0.
        fields[1]->selectAll();
        QTest::keyClicks(fields[1], QStringLiteral("ff"));
        QCOMPARE(reasonOf(fields[1]), QString());
        QVERIFY(fields[1]->styleSheet().isEmpty());
        QCOMPARE(QString::fromLatin1(sendAndCapture().toHex()), hexOf({0x02, 0x05, 0x00, 0xff, 0x00}));
        probe.timeOut();

        // A signed field typed in hex: the bits as shown, a negative number, nothing beyond.
        choose(QStringLiteral("Offset"));
        probe.requestEdits().at(0)->setText(QStringLiteral("-81"));
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        QCOMPARE(reasonOf(probe.requestEdits().at(0)), QStringLiteral("Не отправлено: допустимо 0..ff или -80..-1"));
    }

    void otherReportsDuringTheWait()
    {
        MainWindowProbe probe(*window);
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        device->injectReport(inputReport(0, {0x34, 0x12}));
        QTRY_COMPARE(probe.valueTexts(), QStringList{"4660"});
        device->injectReport(inputReport(6, {0x01}));
        QTRY_VERIFY(console().contains(QStringLiteral("Ответ:\n") + hexOf({0x01, 0x06, 0x01})));
        QCOMPARE(answerTexts(), (QStringList{"ждём...", "ждём..."}));
        QCOMPARE(probe.expectedAnswerId(), 5);
        QVERIFY(probe.exchangeTimer()->isActive());
        QVERIFY(!sendButton()->isEnabled());
    }

    void answerOvertakenByTelemetryStillFillsTheFields()
    {
        MainWindowProbe probe(*window);
        device->setResponder([](SimDevice &d, const QByteArray &) {
            d.injectReport(inputReport(5, {0x09, 0xcd, 0xab}));
            for (int i = 1; i <= 10; ++i)
                d.injectReport(inputReport(0, {static_cast<unsigned char>(i), 0x00}));
        });
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        // Let all eleven reports reach the window's queue, then the parser, before the window
        // handles any of them: the answer is no longer the parser's latest report.
        QVERIFY(waitWithoutEvents([&] { return device->pendingReports() == 0; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QCoreApplication::sendPostedEvents(probe.parser());
        QVERIFY(waitWithoutEvents([&] { return probe.parser()->queuedReports() == 0; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        {
            std::lock_guard<std::mutex> lock(probe.parser()->stateLock);
            QCOMPARE(probe.parser()->lastId, 0);
        }
        QTRY_COMPARE(answerTexts(), (QStringList{"9", "abcd"}));
        QCOMPARE(probe.expectedAnswerId(), -1);
        QTRY_COMPARE(probe.valueTexts(), QStringList{"10"});
    }

    void idOfAMultipleOf256IsEndedByTelemetry()
    {
        MainWindowProbe probe(*window);
        choose(QStringLiteral("Zero byte"));
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        QCOMPARE(probe.expectedAnswerId(), 0);
        device->injectReport(inputReport(0, {0x05, 0x00}));
        QTRY_COMPARE(probe.expectedAnswerId(), -1);
        QCOMPARE(probe.valueTexts(), QStringList{"5"});
        QCOMPARE(answerTexts(), QStringList{"ждём..."});
        QVERIFY(sendButton()->isEnabled());
        QVERIFY(!probe.exchangeTimer()->isActive());
    }

    void surplusAnswerValuesAreDropped()
    {
        // "Short answer" (id 264) is answered under id 8, which the parser decodes with the
        // three fields of "Long answer".
        device->setResponder([](SimDevice &d, const QByteArray &) { d.injectReport(inputReport(8, {1, 2, 3})); });
        choose(QStringLiteral("Short answer"));
        QTest::mouseClick(sendButton(), Qt::LeftButton);
        QTRY_COMPARE(answerTexts(), QStringList{"1"});
        QCOMPARE(MainWindowProbe(*window).expectedAnswerId(), -1);
    }
};

QTEST_MAIN(TestCommandExchange)
#include "tst_commandexchange.moc"
