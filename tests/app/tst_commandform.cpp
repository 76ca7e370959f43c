#include "windowrig.h"

#include "simplatform.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char *const commandsConfig = R"({
  "commands": [
    {"id": 2, "name": "Set threshold",
     "out": [{"name": "channel", "type": "uint8", "default": "1"},
             {"name": "threshold", "type": "UInt16", "view": "hex", "default": "1F"},
             {"name": "mask", "type": "uint8", "view": "bin"}],
     "in":  [{"name": "channel", "type": "uint8"},
             {"name": "threshold", "type": "uint16", "view": "hex"}]},
    {"id": 1, "name": "Read version", "in": [{"name": "version", "type": "string", "view": "str"}]},
    {"id": 3, "name": "Odd", "out": [{"name": "Threshold", "type": "single", "default": 5}]},
    {"id": 4, "name": "Nothing"}
  ]})";

struct Field
{
    QString label;
    QLineEdit *editor;
};

// The field frames of a group, in layout order.
QVector<Field> fields(QGroupBox *group)
{
    QVector<Field> result;
    QLayout *layout = group->layout();
    for (int i = 0; i < layout->count(); ++i) {
        auto *frame = qobject_cast<QFrame *>(layout->itemAt(i)->widget());
        if (!frame || frame->frameStyle() != 6)
            qFatal("field %d is not a styled panel", i);
        QLayout *inner = frame->layout();
        auto *label = qobject_cast<QLabel *>(inner->itemAt(0)->widget());
        auto *editor = qobject_cast<QLineEdit *>(inner->itemAt(1)->widget());
        if (!label || !editor)
            qFatal("field %d is not a label above an editor", i);
        result.append({label->text(), editor});
    }
    return result;
}

QStringList labels(const QVector<Field> &group)
{
    QStringList texts;
    for (const Field &field : group)
        texts << field.label;
    return texts;
}

QStringList texts(const QVector<Field> &group)
{
    QStringList result;
    for (const Field &field : group)
        result << field.editor->text();
    return result;
}

} // namespace

class TestCommandForm : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir workDir;

private slots:
    void initTestCase()
    {
        static SimPlatform sim;
        HidPlatform::install(&sim);
        QVERIFY(QDir::setCurrent(workDir.path()));
    }
    void cleanupTestCase() { removeConfig(); }

    void firstCommandIsShownAfterLoading()
    {
        writeConfig(commandsConfig);
        MainWindow window;
        MainWindowProbe probe(window);
        auto *request = window.findChild<QGroupBox *>(QStringLiteral("gbOut"));
        auto *answer = window.findChild<QGroupBox *>(QStringLiteral("gbIn"));

        const QVector<Field> out = fields(request);
        QCOMPARE(labels(out), (QStringList{"channel (uint8, num)", "threshold (uint16, hex)", "mask (uint8, bin)"}));
        QCOMPARE(texts(out), (QStringList{"1", "1F", ""}));
        for (const Field &field : out)
            QVERIFY(!field.editor->isReadOnly());
        QCOMPARE(probe.requestEdits().size(), 3);
        QCOMPARE(probe.requestEdits().at(1), out.at(1).editor);

        const QVector<Field> in = fields(answer);
        QCOMPARE(labels(in), (QStringList{"channel (uint8, num)", "threshold (uint16, hex)"}));
        QCOMPARE(texts(in), (QStringList{"", ""}));
        for (const Field &field : in)
            QVERIFY(field.editor->isReadOnly());
        QCOMPARE(probe.answerEdits().size(), 2);
        QCOMPARE(probe.answerEdits().at(0), in.at(0).editor);
    }

    void switchingRebuildsAndRestoresDefaults()
    {
        writeConfig(commandsConfig);
        MainWindow window;
        MainWindowProbe probe(window);
        auto *command = window.findChild<QComboBox *>(QStringLiteral("cbCommand"));
        auto *request = window.findChild<QGroupBox *>(QStringLiteral("gbOut"));
        auto *answer = window.findChild<QGroupBox *>(QStringLiteral("gbIn"));

        QPointer<QLineEdit> edited = probe.requestEdits().at(0);
        edited->setText(QStringLiteral("9"));
        probe.answerEdits().at(0)->setText(QStringLiteral("old answer"));

        command->setCurrentIndex(1); // Read version: no request fields, one answer field
        QVERIFY(!edited); // the old fields are gone with their frames
        QCOMPARE(request->layout()->count(), 0);
        QVERIFY(probe.requestEdits().isEmpty());
        QCOMPARE(labels(fields(answer)), QStringList{"version (string, str)"});
        QCOMPARE(probe.answerEdits().size(), 1);

        command->setCurrentIndex(0);
        QCOMPARE(texts(fields(request)), (QStringList{"1", "1F", ""}));
        QCOMPARE(texts(fields(answer)), (QStringList{"", ""}));

        command->setCurrentIndex(3); // Nothing: both groups emptied of the previous fields
        QCOMPARE(request->layout()->count(), 0);
        QCOMPARE(answer->layout()->count(), 0);
        QVERIFY(probe.requestEdits().isEmpty());
        QVERIFY(probe.answerEdits().isEmpty());
    }

    void unrecognisedTypeHasAnEmptyTypeName()
    {
        writeConfig(commandsConfig);
        MainWindow window;
        window.findChild<QComboBox *>(QStringLiteral("cbCommand"))->setCurrentIndex(2);
        const QVector<Field> out = fields(window.findChild<QGroupBox *>(QStringLiteral("gbOut")));
        QCOMPARE(labels(out), QStringList{"Threshold (, num)"});
        QCOMPARE(texts(out), QStringList{""}); // a numeric default is no default
    }

    void fieldsWrapInANarrowGroup()
    {
        writeConfig(commandsConfig);
        MainWindow window;
        auto *request = window.findChild<QGroupBox *>(QStringLiteral("gbOut"));
        QLayout *layout = request->layout();
        const int oneField = layout->itemAt(0)->sizeHint().width();
        layout->setGeometry(QRect(0, 0, oneField * 3 + 100, 400));
        QCOMPARE(layout->itemAt(2)->geometry().y(), layout->itemAt(0)->geometry().y());
        layout->setGeometry(QRect(0, 0, oneField + 30, 400));
        QVERIFY(layout->itemAt(1)->geometry().y() > layout->itemAt(0)->geometry().y());
        QVERIFY(layout->itemAt(2)->geometry().y() > layout->itemAt(1)->geometry().y());
    }

    void noCommandLeavesTheFormEmptyAndSendsNothing()
    {
        writeConfig(R"({"commands": [{"id": 0, "in": [{"name": "t"}]}]})");
        MainWindow window;
        MainWindowProbe probe(window);
        auto *command = window.findChild<QComboBox *>(QStringLiteral("cbCommand"));
        QCOMPARE(command->currentIndex(), -1);
        QCOMPARE(window.findChild<QGroupBox *>(QStringLiteral("gbOut"))->layout()->count(), 0);
        QCOMPARE(window.findChild<QGroupBox *>(QStringLiteral("gbIn"))->layout()->count(), 0);

        QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("pbSend")), Qt::LeftButton);
        QCOMPARE(window.findChild<QPlainTextEdit *>(QStringLiteral("pte"))->toPlainText(), QString());
        QCOMPARE(probe.expectedAnswerId(), -1);
        QVERIFY(!probe.exchangeTimer()->isActive());
        QVERIFY(window.findChild<QPushButton *>(QStringLiteral("pbSend"))->isEnabled());
    }
};

QTEST_MAIN(TestCommandForm)
#include "tst_commandform.moc"
