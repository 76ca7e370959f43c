#include "commanddescription.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

CommandDescription describe(const char *json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(json), &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad fixture: %s", qPrintable(error.errorString()));
    return CommandDescription(document.object());
}

} // namespace

class TestCommandDescription : public QObject
{
    Q_OBJECT

private slots:
    void defaultDescriptionIsNone()
    {
        const CommandDescription none;
        QCOMPARE(none.id, -1);
        QVERIFY(none.name.isEmpty());
        QVERIFY(none.inNames.isEmpty() && none.outNames.isEmpty());
        QCOMPARE(none.typeName.value(TypeUInt16), QStringLiteral("uint16"));
        QCOMPARE(none.viewName.value(ViewBin), QStringLiteral("bin"));
    }

    void entryWithOnlyName()
    {
        const CommandDescription entry = describe(R"({"name": "Ping"})");
        QCOMPARE(entry.id, -1);
        QCOMPARE(entry.name, QStringLiteral("Ping"));
        QCOMPARE(entry.inNames.size(), 0);
        QCOMPARE(entry.outNames.size(), 0);
    }

    void types_data()
    {
        QTest::addColumn<QString>("typeJson");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("width");
        QTest::newRow("bool") << R"("bool")" << 1 << 1;
        QTest::newRow("int8") << R"("int8")" << 2 << 1;
        QTest::newRow("uint16 mixed case") << R"("UInt16")" << 5 << 2;
        QTest::newRow("uint32") << R"("uint32")" << 7 << 4;
        QTest::newRow("uint64") << R"("uint64")" << 9 << 8;
        QTest::newRow("double is 10") << R"("double")" << 10 << 8;
        QTest::newRow("FLOAT upper case is 11") << R"("FLOAT")" << 11 << 4;
        QTest::newRow("string is 62 wide") << R"("string")" << 12 << 62;
        QTest::newRow("unknown name") << R"("single")" << 0 << 0;
        QTest::newRow("not a string") << "4" << 0 << 0;
    }
    void types()
    {
        QFETCH(QString, typeJson);
        QFETCH(int, type);
        QFETCH(int, width);
        const QByteArray json = R"({"id": 1, "in": [{"name": "v", "type": )" + typeJson.toUtf8() + "}]}";
        const CommandDescription entry = describe(json.constData());
        QCOMPARE(int(entry.inTypes.value(0)), type);
        QCOMPARE(entry.typeSize.value(entry.inTypes.value(0)), width);
        QCOMPARE(CommandDescription::widthOf(entry.inTypes.value(0)), width);
    }

    void views_data()
    {
        QTest::addColumn<QString>("viewJson");
        QTest::addColumn<int>("view");
        QTest::newRow("Hex mixed case") << R"("Hex")" << 1;
        QTest::newRow("bin") << R"("bin")" << 2;
        QTest::newRow("STR") << R"("STR")" << 3;
        QTest::newRow("dec is num") << R"("dec")" << 0;
        QTest::newRow("not a string") << "1" << 0;
    }
    void views()
    {
        QFETCH(QString, viewJson);
        QFETCH(int, view);
        const QByteArray json = R"({"out": [{"name": "v", "view": )" + viewJson.toUtf8() + "}]}";
        QCOMPARE(int(describe(json.constData()).outViews.value(0)), view);
    }

    void parameterKeysPerDirection()
    {
        const CommandDescription entry = describe(R"({
            "id": 3, "name": "Calibrate",
            "in":  [{"name": "gain", "type": "float", "units": "dB", "script": "x * 2",
                     "default": "ignored", "view": "hex"}],
            "out": [{"name": "offset", "type": "int16", "units": "mV", "script": "ignored",
                     "default": "-5"},
                    {"name": "count", "default": 3}]
        })");
        QCOMPARE(entry.id, 3);
        QCOMPARE(entry.name, QStringLiteral("Calibrate"));
        QCOMPARE(entry.inNames, QStringList{QStringLiteral("gain")});
        QCOMPARE(entry.inUnits, QStringList{QStringLiteral("dB")});
        QCOMPARE(entry.inScripts, QStringList{QStringLiteral("x * 2")});
        QCOMPARE(entry.inViews.value(0), ViewHex);
        QCOMPARE(entry.outNames, (QStringList{QStringLiteral("offset"), QStringLiteral("count")}));
        QCOMPARE(entry.outUnits, (QStringList{QStringLiteral("mV"), QString()}));
        // Only a string default is taken: the number 3 gives an empty default.
        QCOMPARE(entry.outDefaults, (QStringList{QStringLiteral("-5"), QString()}));
        QCOMPARE(entry.outTypes.value(1), TypeUnknown);
    }

    void generatedNames_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QStringList>("inNames");
        QTest::addColumn<QStringList>("outNames");
        QTest::newRow("numbered from the id, in then out")
            << R"({"id": 7, "in": [{}, {"type": "uint8"}], "out": [{}]})"
            << QStringList{"Unknown_param_7", "Unknown_param_8"} << QStringList{"Unknown_param_9"};
        QTest::newRow("named parameters do not count")
            << R"({"id": 2, "in": [{"name": "a"}, {}], "out": [{"name": "b"}, {}]})"
            << QStringList{"a", "Unknown_param_2"} << QStringList{"b", "Unknown_param_3"};
        QTest::newRow("numbers go on past the int range")
            << R"({"id": 2147483647, "in": [{}, {}]})"
            << QStringList{"Unknown_param_2147483647", "Unknown_param_2147483648"} << QStringList{};
        QTest::newRow("no id starts at -1")
            << R"({"in": [{}, {}]})" << QStringList{"Unknown_param_-1", "Unknown_param_0"}
            << QStringList{};
        QTest::newRow("a numeric name is empty, not generated")
            << R"({"id": 1, "in": [{"name": 12}]})" << QStringList{""} << QStringList{};
        QTest::newRow("non-object elements keep their place")
            << R"({"id": 4, "in": [5, "x", {"name": "c"}], "out": [null]})"
            << QStringList{"Unknown_param_4", "Unknown_param_5", "c"}
            << QStringList{"Unknown_param_6"};
        QTest::newRow("in given as an object is empty")
            << R"({"id": 1, "in": {"name": "a"}})" << QStringList{} << QStringList{};
    }
    void generatedNames()
    {
        QFETCH(QString, json);
        QFETCH(QStringList, inNames);
        QFETCH(QStringList, outNames);
        const CommandDescription entry = describe(json.toUtf8().constData());
        QCOMPARE(entry.inNames, inNames);
        QCOMPARE(entry.outNames, outNames);
        // The parallel lists of a direction always have one entry per parameter.
        QCOMPARE(entry.inTypes.size(), inNames.size());
        QCOMPARE(entry.inViews.size(), inNames.size());
        QCOMPARE(entry.inUnits.size(), inNames.size());
        QCOMPARE(entry.inScripts.size(), inNames.size());
        QCOMPARE(entry.outDefaults.size(), outNames.size());
        QCOMPARE(entry.outViews.size(), outNames.size());
    }

    void idOfAnotherType_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<int>("id");
        QTest::newRow("string id") << R"({"id": "5"})" << -1;
        QTest::newRow("zero is telemetry") << R"({"id": 0})" << 0;
        QTest::newRow("large id kept") << R"({"id": 261})" << 261;
        QTest::newRow("largest int") << R"({"id": 2147483647})" << 2147483647;
        QTest::newRow("smallest int") << R"({"id": -2147483648})" << int(-2147483647 - 1);
        QTest::newRow("fraction truncated") << R"({"id": -2.9})" << -2;
        QTest::newRow("beyond int") << R"({"id": 1e10})" << -1;
        QTest::newRow("just beyond int") << R"({"id": 2147483648})" << -1;
        QTest::newRow("below int") << R"({"id": -2147483649})" << -1;
    }
    void idOfAnotherType()
    {
        QFETCH(QString, json);
        QFETCH(int, id);
        QCOMPARE(describe(json.toUtf8().constData()).id, id);
    }

    void copiesAreIndependent()
    {
        CommandDescription original = describe(R"({"id": 1, "in": [{"name": "a"}]})");
        CommandDescription copy = original;
        copy.inNames[0] = QStringLiteral("changed");
        QCOMPARE(original.inNames.value(0), QStringLiteral("a"));
        QCOMPARE(copy.typeByName.value(QStringLiteral("double")), TypeDouble);
    }
};

QTEST_MAIN(TestCommandDescription)
#include "tst_commanddescription.moc"
