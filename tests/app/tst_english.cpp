// The window in English: every text it shows has a translation, and asking for English leaves
// no Russian text anywhere the operator looks.

#include "democontrolwindow.h"
#include "plotcursors.h"
#include "simconfig.h"
#include "simplatform.h"
#include "windowlanguage.h"
#include "windowrig.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <QtTest>

#include <qcustomplot.h>

#include <memory>

namespace {

bool hasCyrillic(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF)
            return true;
    }
    return false;
}

// Every text a widget and its children show: titles, labels, buttons, items, headers, tool
// tips, status messages, the plots' axis labels and text items.
QStringList shownTexts(QWidget *root)
{
    QStringList texts;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : qAsConst(widgets)) {
        texts << widget->windowTitle() << widget->toolTip();
        for (const QAction *action : widget->actions())
            texts << action->text() << action->toolTip();
        if (auto *label = qobject_cast<QLabel *>(widget))
            texts << label->text();
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            texts << button->text();
        if (auto *group = qobject_cast<QGroupBox *>(widget))
            texts << group->title();
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            texts << edit->text() << edit->placeholderText();
        if (auto *spin = qobject_cast<QSpinBox *>(widget))
            texts << spin->prefix() << spin->suffix();
        if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        }
        if (auto *status = qobject_cast<QStatusBar *>(widget))
            texts << status->currentMessage();
        if (auto *tree = qobject_cast<QTreeWidget *>(widget)) {
            for (int column = 0; column < tree->columnCount(); ++column) {
                texts << tree->headerItem()->text(column);
                for (int row = 0; row < tree->topLevelItemCount(); ++row)
                    texts << tree->topLevelItem(row)->text(column);
            }
        }
        if (auto *plot = qobject_cast<QCustomPlot *>(widget)) {
            texts << plot->xAxis->label() << plot->yAxis->label();
            for (int i = 0; i < plot->itemCount(); ++i) {
                if (auto *item = qobject_cast<QCPItemText *>(plot->item(i)))
                    texts << item->text();
            }
            for (QCPLayoutElement *element : plot->plotLayout()->elements(true)) {
                if (auto *title = qobject_cast<QCPTextElement *>(element))
                    texts << title->text();
            }
        }
    }
    return texts;
}

QPoint pixelOf(QCustomPlot *plot, double key, double value)
{
    return QPoint(int(plot->xAxis->coordToPixel(key)), int(plot->yAxis->coordToPixel(value)));
}

} // namespace

class EnglishTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QStringList russian; // texts seen in Russian, with where they were seen

    void collect(const QString &where, const QStringList &texts)
    {
        for (const QString &text : texts) {
            if (hasCyrillic(text))
                russian << where + QStringLiteral(": ") + text;
        }
    }

    QString writeFile(const QString &name, const QByteArray &contents)
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(file.fileName()));
        file.write(contents);
        return file.fileName();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(QDir::setCurrent(dir.path())); // the log and session files land here
    }

    // The configuration chooses the language, the command line overrides it, and anything
    // else keeps the window Russian; Qt's standard buttons follow the window.
    void languageIsChosenByConfigurationAndCommandLine()
    {
        WindowOptions options;
        options.configPath = writeFile(QStringLiteral("en.json"), R"({"settings": {"language": "en"}})");
        QCOMPARE(windowLanguage(options), QStringLiteral("en"));
        options.language = QStringLiteral("ru");
        QCOMPARE(windowLanguage(options), QStringLiteral("ru"));
        options = WindowOptions();
        options.configPath = writeFile(QStringLiteral("de.json"), R"({"settings": {"language": "de"}})");
        QCOMPARE(windowLanguage(options), QStringLiteral("ru"));
        options.configPath = dir.filePath(QStringLiteral("missing.json"));
        QCOMPARE(windowLanguage(options), QStringLiteral("ru"));

        const auto cancelText = [] {
            QDialogButtonBox box(QDialogButtonBox::Cancel);
            return box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&'));
        };
        QVERIFY(installWindowLanguage(QStringLiteral("ru")));
        QCOMPARE(cancelText(), QStringLiteral("Отмена"));
        QVERIFY(installWindowLanguage(QStringLiteral("en")));
        QCOMPARE(cancelText(), QStringLiteral("Cancel"));
        QCOMPARE(QCoreApplication::translate("MainWindow", "ждём..."), QStringLiteral("waiting..."));
        QVERIFY(installWindowLanguage(QStringLiteral("ru")));
        QCOMPARE(QCoreApplication::translate("MainWindow", "ждём..."), QStringLiteral("ждём..."));

        // An unknown language on the command line is a usage error.
        QProcess program;
        program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/" TOLVEX_CLIENT_NAME),
                      {QStringLiteral("--language"), QStringLiteral("de")});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardError().contains("--language de"));
    }

#ifdef TOLVEX_LUPDATE
    // Every text of the window's sources, as lupdate finds them today, has an English
    // translation in the tree.
    void everyTextHasATranslation()
    {
        const QString ts = dir.filePath(QStringLiteral("tolvex_en.ts"));
        QFile::remove(ts);
        QVERIFY(QFile::copy(QStringLiteral(TOLVEX_SOURCE_DIR "/translations/tolvex_en.ts"), ts));
        QFile::setPermissions(ts, QFile::ReadOwner | QFile::WriteOwner);
        QProcess lupdate;
        lupdate.start(QStringLiteral(TOLVEX_LUPDATE),
                      {QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                       QStringLiteral("-no-obsolete"), QStringLiteral(TOLVEX_SOURCE_DIR "/app"),
                       QStringLiteral("-ts"), ts});
        QVERIFY(lupdate.waitForFinished(60000));
        QCOMPARE(lupdate.exitCode(), 0);

        QFile file(ts);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QStringList untranslated;
        QString context;
        QString source;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                ++messages;
                const bool unfinished = xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
                if (unfinished || xml.readElementText().isEmpty())
                    untranslated << context + QStringLiteral(": ") + source;
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(messages > 50);
        QVERIFY2(untranslated.isEmpty(), qPrintable(QStringLiteral("no English translation for:\n")
                                                   + untranslated.join(QLatin1Char('\n'))));
    }
#endif

    // The demo's windows asked for English, driven through the states an operator meets.
    void windowShowsNoRussianInEnglish()
    {
        russian.clear();
        WindowOptions options;
        options.language = QStringLiteral("en");
        QVERIFY(installWindowLanguage(windowLanguage(options)));
        // A log file that cannot be written, for the notice above the plots.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("armed.csv")));

        SimPlatform sim;
        HidPlatform::install(&sim);
        {
            DemoControlWindow control(sim, SimConfig::read(SimConfig::besideExecutable()));
            MainWindow window(options);
            window.show();
            control.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            MainWindowProbe probe(window);
            auto *statusBar = window.findChild<QStatusBar *>();
            auto *commands = window.findChild<QComboBox *>(QStringLiteral("cbCommand"));
            auto *send = window.findChild<QAbstractButton *>(QStringLiteral("pbSend"));
            const auto answer = [&] { return probe.answerEdits().value(0)->text(); };
            const auto look = [&](const QString &where) {
                collect(where, shownTexts(&window));
                collect(where, shownTexts(&control));
            };

            QTRY_VERIFY(statusBar->currentMessage().contains(QStringLiteral("Connected to")));
            QTRY_VERIFY(!probe.valueTexts().isEmpty() && !probe.valueTexts().first().isEmpty());
            look(QStringLiteral("connected"));

            commands->setCurrentIndex(commands->findText(QStringLiteral("Set threshold")));
            control.findChild<QAbstractButton *>(QStringLiteral("cbAnswer"))->setChecked(false);
            send->click();
            QCOMPARE(answer(), QStringLiteral("waiting..."));
            look(QStringLiteral("waiting"));
            probe.timeOut();
            QCOMPARE(answer(), QStringLiteral("no answer..."));
            look(QStringLiteral("no answer"));

            // Menus and readouts of a paused plot with two cursors.
            QCustomPlot *plot = probe.plots().value(0);
            QTRY_VERIFY(plot->graph(0)->dataCount() > 20);
            window.findChild<QAbstractButton *>(QStringLiteral("cbPause"))->setChecked(true);
            const double key = plot->xAxis->range().center();
            const double value = plot->yAxis->range().center();
            QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, pixelOf(plot, key - 5, value));
            QTest::mouseClick(plot, Qt::LeftButton, Qt::ShiftModifier, pixelOf(plot, key + 5, value));
            QVERIFY(probe.plotCursors(0)->cursorsText().contains(QStringLiteral("samples")));
            QMouseEvent move(QEvent::MouseMove, pixelOf(plot, key, value), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(plot, &move);
            QVERIFY(!probe.plotCursors(0)->hoverText().isEmpty());
            collect(QStringLiteral("cursors"), {probe.plotCursors(0)->cursorsText(), probe.plotCursors(0)->hoverText()});
            std::unique_ptr<QMenu> menu(probe.plotMenu(0));
            collect(QStringLiteral("plot menu"), shownTexts(menu.get()));
            // The file dialog of "save as PNG", looked at and closed.
            bool sawDialog = false;
            QTimer closer;
            connect(&closer, &QTimer::timeout, this, [&] {
                if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                    collect(QStringLiteral("save dialog"), shownTexts(dialog));
                    sawDialog = true;
                    dialog->reject();
                }
            });
            closer.start(50);
            menu->actions().first()->trigger();
            closer.stop();
            QVERIFY(sawDialog);
            look(QStringLiteral("paused with cursors"));

            window.findChild<QAbstractButton *>(QStringLiteral("cbRecord"))->setChecked(true);
            look(QStringLiteral("recording"));
            window.findChild<QAbstractButton *>(QStringLiteral("cbRecord"))->setChecked(false);
            look(QStringLiteral("recording saved"));

            // The device gone, an earlier request still held: busy.
            control.findChild<QAbstractButton *>(QStringLiteral("pbPlug"))->click();
            QVERIFY(statusBar->currentMessage().contains(QStringLiteral("No device found")));
            QVERIFY(probe.usb()->queueRequest(QByteArray("\x02\x07", 2)));
            send->click();
            QCOMPARE(answer(), QStringLiteral("busy, try again later..."));
            look(QStringLiteral("unplugged"));

            control.findChild<QAbstractButton *>(QStringLiteral("pbSecond"))->click();
            look(QStringLiteral("second device"));
        }
        {
            // A configuration that is not JSON: the message above the plots.
            options.configPath = writeFile(QStringLiteral("broken.json"), "{\n  \"settings\": {\n");
            MainWindow window(options);
            const QStringList texts = shownTexts(&window);
            QVERIFY(texts.join(QLatin1Char('\n')).contains(QStringLiteral("Error in the configuration file")));
            collect(QStringLiteral("broken configuration"), texts);
        }
        HidPlatform::install(nullptr);
        installWindowLanguage(QStringLiteral("ru"));

        russian.removeDuplicates();
        QVERIFY2(russian.isEmpty(), qPrintable(QStringLiteral("Russian texts in the English window:\n")
                                              + russian.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(EnglishTest)
#include "tst_english.moc"
