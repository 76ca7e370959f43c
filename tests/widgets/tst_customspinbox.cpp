#include "customspinbox.h"

#include <QLineEdit>
#include <QtTest>

namespace {

class Probe : public CustomSpinBox
{
public:
    using CustomSpinBox::CustomSpinBox;
    using CustomSpinBox::textFromValue;
    using CustomSpinBox::valueFromText;
    using QSpinBox::lineEdit;
};

} // namespace

class TestCustomSpinBox : public QObject
{
    Q_OBJECT

private slots:
    void withoutConversions()
    {
        Probe box;
        box.setRange(0, 1000);
        box.setValue(42);
        QCOMPARE(box.valueFromText(QStringLiteral("42")), -1);
        QCOMPARE(box.valueFromText(QString()), -1);
        QCOMPARE(box.textFromValue(42), QString());
        QCOMPARE(box.lineEdit()->text(), QString());
    }

    void affixesAndNoBreakSpacesAreStripped()
    {
        QString seen;
        Probe box([&seen](const QString &text) { seen = text; return text.toInt(); },
                  [](int value) { return QString::number(value); });
        box.setPrefix(QStringLiteral("n="));
        box.setSuffix(QStringLiteral(" Hz"));
        const QChar nbsp(0x00A0);
        QCOMPARE(box.valueFromText(QStringLiteral("n=1") + nbsp + QStringLiteral("234") + nbsp
                                   + QStringLiteral("567 Hz")),
                 1234567);
        QCOMPARE(seen, QStringLiteral("1234567"));
        // Case-sensitive: an affix in another case is left for textToValue.
        box.valueFromText(QStringLiteral("N=5 hz"));
        QCOMPARE(seen, QStringLiteral("N=5 hz"));
    }

    void typedTextReachesValueThroughConversion()
    {
        Probe box([](const QString &text) { return text.toInt(nullptr, 16); },
                  [](int value) { return QString::number(value, 16); });
        box.setRange(0, 4095);
        box.setValue(255);
        QCOMPARE(box.lineEdit()->text(), QStringLiteral("ff"));
        box.lineEdit()->setText(QStringLiteral("1f"));
        box.interpretText();
        QCOMPARE(box.value(), 31);
    }

    void conversionsSetLaterAreUsed()
    {
        Probe box;
        box.setRange(0, 100);
        box.setValue(7);
        box.setValueToText([](int value) { return QStringLiteral("#%1").arg(value); });
        QCOMPARE(box.lineEdit()->text(), QStringLiteral("#7"));
        box.setTextToValue([](const QString &text) { return text.mid(1).toInt(); });
        QCOMPARE(box.valueFromText(QStringLiteral("#9")), 9);
    }

    void validatorAcceptsAnything_data()
    {
        QTest::addColumn<QString>("input");
        QTest::newRow("letters") << QStringLiteral("abc");
        QTest::newRow("empty") << QString();
        QTest::newRow("symbols") << QStringLiteral("%$#-+.");
    }
    void validatorAcceptsAnything()
    {
        QFETCH(QString, input);
        CustomSpinBox box;
        QString text = input;
        int pos = 2;
        QCOMPARE(box.validate(text, pos), QValidator::Acceptable);
        QCOMPARE(text, input);
        QCOMPARE(pos, 2);
    }
};

QTEST_MAIN(TestCustomSpinBox)
#include "tst_customspinbox.moc"
