#include "fieldcodec.h"

#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

// A 64-byte report with the given bytes from offset 2 on.
QByteArray reportWith(const QByteArray &payload)
{
    QByteArray report(64, '\0');
    report.replace(2, payload.size(), payload);
    return report.left(64);
}

QByteArray bytesOf(const char *hex)
{
    return QByteArray::fromHex(hex);
}

} // namespace

class FieldCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void readsAndShowsEveryType_data();
    void readsAndShowsEveryType();
    void numViewMatchesQtFormatting();
    void readsAtAnyAlignment();
    void fieldOutsideTheReportDecodesAsZero_data();
    void fieldOutsideTheReportDecodesAsZero();
    void stringAndUnknownTypesShowNoBits();
    void encodesRequestTexts_data();
    void encodesRequestTexts();
    void stringFillsThePayload();
    void encodingNeverWritesOutsideTheReport();
    void encodedValuesReadBack_data();
    void encodedValuesReadBack();
};

void FieldCodecTest::readsAndShowsEveryType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("num");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("bin");
    QTest::addColumn<QString>("str");

    QTest::newRow("uint16 low byte first")
        << int(TypeUInt16) << bytesOf("3412") << "4660" << "1234" << "1001000110100" << "4\x12";
    QTest::newRow("int8 FF") << int(TypeInt8) << bytesOf("ff") << "-1" << "ff" << "11111111"
                             << QString::fromUtf8("\xef\xbf\xbd");
    QTest::newRow("float 1.5") << int(TypeFloat) << bytesOf("0000c03f") << "1.5" << "3fc00000"
                               << "111111110000000000000000000000" << "";
    QTest::newRow("double 1.0") << int(TypeDouble) << bytesOf("000000000000f03f") << "1"
                                << "3ff0000000000000"
                                << "11111111110000000000000000000000000000000000000000000000000000"
                                << "";
    QTest::newRow("uint64 all ones")
        << int(TypeUInt64) << bytesOf("ffffffffffffffff") << "1.84467e+19" << "ffffffffffffffff"
        << QString(64, '1') << QString::fromUtf8(QByteArray(8, '\xff'));
    QTest::newRow("int64 -2") << int(TypeInt64) << bytesOf("feffffffffffffff") << "-2"
                              << "fffffffffffffffe" << QString(63, '1') + "0"
                              << QString::fromUtf8(QByteArray("\xfe\xff\xff\xff\xff\xff\xff\xff"));
    QTest::newRow("int32 -100000") << int(TypeInt32) << bytesOf("6079feff") << "-100000"
                                   << "fffe7960" << "11111111111111100111100101100000"
                                   << QString::fromUtf8("`y\xfe\xff");
    QTest::newRow("uint32 1234567") << int(TypeUInt32) << bytesOf("87d61200") << "1.23457e+06"
                                    << "12d687" << "100101101011010000111" << QString::fromUtf8("\x87\xd6\x12");
    QTest::newRow("int16 str view") << int(TypeInt16) << bytesOf("4100") << "65" << "41"
                                    << "1000001" << "A";
    QTest::newRow("bool 02 not reduced") << int(TypeBool) << bytesOf("02") << "2" << "2" << "10"
                                         << "\x02";
    QTest::newRow("uint8 zero") << int(TypeUInt8) << bytesOf("00") << "0" << "0" << "0" << "";
    QTest::newRow("double small") << int(TypeDouble) << bytesOf("f168e388b5f8e43e") << "1e-05"
                                  << "3ee4f8b588e368f1"
                                  << "11111011100100111110001011010110001000111000110110100011110001"
                                  << QString::fromUtf8("\xf1h\xe3\x88\xb5\xf8\xe4>");
    QTest::newRow("double nan") << int(TypeDouble) << bytesOf("000000000000f87f") << "nan"
                                << "7ff8000000000000" << "111111111111000000000000000000000000000000000000000000000000000"
                                << "";
    QTest::newRow("string AB") << int(TypeString) << bytesOf("414200") << "0" << "0" << "0"
                               << "AB";
    QTest::newRow("string UTF-8 without terminator")
        << int(TypeString) << QByteArray(60, 'x') + "\xc3\xa9" << "0" << "0" << "0"
        << QString(60, 'x') + QString::fromUtf8("\xc3\xa9");
    QTest::newRow("unknown type") << int(TypeUnknown) << bytesOf("4142") << "0" << "0" << "0"
                                  << "";
}

void FieldCodecTest::readsAndShowsEveryType()
{
    QFETCH(int, type);
    QFETCH(QByteArray, payload);
    QFETCH(QString, num);
    QFETCH(QString, hex);
    QFETCH(QString, bin);
    QFETCH(QString, str);

    const QByteArray report = reportWith(payload);
    const auto t = ParamType(type);
    const FieldCodec::Field field = FieldCodec::read(report, 2, t);
    QCOMPARE(FieldCodec::text(field, ViewNum, report, 2, t), num);
    QCOMPARE(FieldCodec::text(field, ViewHex, report, 2, t), hex);
    QCOMPARE(FieldCodec::text(field, ViewBin, report, 2, t), bin);
    QCOMPARE(FieldCodec::text(field, ViewStr, report, 2, t), str);
    // A view number outside the table shows like num.
    QCOMPARE(FieldCodec::text(field, ParamView(7), report, 2, t), num);
    // Files get the same texts as UTF-8.
    for (int view = ViewNum; view <= ViewStr; ++view) {
        QByteArray utf8("prefix");
        FieldCodec::appendText(utf8, field, ParamView(view), report, 2, t);
        QCOMPARE(QString::fromUtf8(utf8), QStringLiteral("prefix") + FieldCodec::text(field, ParamView(view), report, 2, t));
    }
}

void FieldCodecTest::numViewMatchesQtFormatting()
{
    // Numbers are formatted without Qt's general conversion; the texts must stay those of
    // Qt's 'g' with 6 digits, including its rounding of exact halves away from zero
    // (1234565 shows as 1.23457e+06, 4199.125 as 4199.13), carries (999999.5) and exponents.
    QVector<double> numbers = {0.0, -0.0, 1.0, -1.0, 999999.0, -999999.0, 1e6, -1e6, 1234565.0,
                               123456.5, 0.5, -0.5, 1e-5, 2.5, 99999.95, 4294967295.0,
                               -2147483648.0, 1e300, std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::denorm_min(),
                               4199.125, -45843.25, 7599925.0, 0.0000015, 999999.5, 9999995.0,
                               -0.00001, 0.000123456789, 1.7976931348623157e308, 45.300000000000004};
    QRandomGenerator random(7);
    for (int i = 0; i < 20000; ++i) {
        numbers.append(double(qint32(random.generate())) / (1 << random.bounded(12)));
        numbers.append(double(random.bounded(2000001) - 1000000));
        numbers.append((random.generateDouble() - 0.5) * std::pow(10.0, int(random.bounded(40)) - 20));
        numbers.append(double(random.bounded(100000000)) / 8 * 0.1);
    }
    for (double number : qAsConst(numbers)) {
        FieldCodec::Field field;
        field.value = number;
        QCOMPARE(FieldCodec::text(field, ViewNum, QByteArray(), 0, TypeDouble),
                 QString::number(number, 'g', 6));
    }
}

void FieldCodecTest::readsAtAnyAlignment()
{
    // Three uint16 back to back, then a double at an odd offset.
    const QByteArray report = reportWith(bytesOf("341278563412") + bytesOf("000000000000f0bf"));
    QCOMPARE(FieldCodec::read(report, 2, TypeUInt16).value, 4660.0);
    QCOMPARE(FieldCodec::read(report, 4, TypeUInt16).value, 22136.0);
    QCOMPARE(FieldCodec::read(report, 6, TypeUInt16).value, 4660.0);
    QCOMPARE(FieldCodec::read(report, 8, TypeDouble).value, -1.0);
    QCOMPARE(FieldCodec::read(report, 3, TypeUInt32).rawValue, quint64(0x34567812));
}

void FieldCodecTest::fieldOutsideTheReportDecodesAsZero_data()
{
    QTest::addColumn<int>("reportSize");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("str");

    QTest::newRow("uint32 over the last byte") << 64 << 62 << int(TypeUInt32) << "AB";
    QTest::newRow("string not at offset 2") << 64 << 10 << int(TypeString) << QString(53, 'A') + "B";
    QTest::newRow("past the end") << 64 << 64 << int(TypeUInt8) << "";
    QTest::newRow("far past the end") << 64 << 200 << int(TypeDouble) << "";
    QTest::newRow("short report") << 5 << 2 << int(TypeUInt32) << "AAB";
    QTest::newRow("empty report") << 0 << 2 << int(TypeUInt8) << "";
    QTest::newRow("negative position") << 64 << -4 << int(TypeUInt32) << "";
}

void FieldCodecTest::fieldOutsideTheReportDecodesAsZero()
{
    QFETCH(int, reportSize);
    QFETCH(int, pos);
    QFETCH(int, type);
    QFETCH(QString, str);

    QByteArray report(reportSize, 'A');
    if (reportSize > 0)
        report[reportSize - 1] = 'B';
    const auto t = ParamType(type);
    const FieldCodec::Field field = FieldCodec::read(report, pos, t);
    QCOMPARE(field.value, 0.0);
    QCOMPARE(field.rawValue, quint64(0));
    QCOMPARE(FieldCodec::text(field, ViewNum, report, pos, t), QStringLiteral("0"));
    QCOMPARE(FieldCodec::text(field, ViewHex, report, pos, t), QStringLiteral("0"));
    QCOMPARE(FieldCodec::text(field, ViewStr, report, pos, t), str);
}

void FieldCodecTest::stringAndUnknownTypesShowNoBits()
{
    // A string or unrecognised field reads none of its neighbour's bits.
    const QByteArray report = reportWith(bytesOf("ffff"));
    for (ParamType type : {TypeString, TypeUnknown}) {
        const FieldCodec::Field field = FieldCodec::read(report, 2, type);
        QCOMPARE(FieldCodec::text(field, ViewHex, report, 2, type), QStringLiteral("0"));
        QCOMPARE(FieldCodec::text(field, ViewBin, report, 2, type), QStringLiteral("0"));
    }
}

void FieldCodecTest::encodesRequestTexts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("view");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes"); // empty for a refused text

    const QByteArray refused;
    QTest::newRow("uint8 num 7") << int(TypeUInt8) << int(ViewNum) << "7" << bytesOf("07");
    QTest::newRow("uint16 hex 1F") << int(TypeUInt16) << int(ViewHex) << "1F" << bytesOf("1f00");
    QTest::newRow("uint16 hex with 0x") << int(TypeUInt16) << int(ViewHex) << "0x1f" << bytesOf("1f00");
    QTest::newRow("spaces around") << int(TypeUInt16) << int(ViewNum) << " 513 " << bytesOf("0102");
    QTest::newRow("int8 -1") << int(TypeInt8) << int(ViewNum) << "-1" << bytesOf("ff");
    QTest::newRow("int16 -2") << int(TypeInt16) << int(ViewNum) << "-2" << bytesOf("feff");
    QTest::newRow("int32 bin") << int(TypeInt32) << int(ViewBin) << "101" << bytesOf("05000000");
    QTest::newRow("uint32 max") << int(TypeUInt32) << int(ViewNum) << "4294967295" << bytesOf("ffffffff");
    QTest::newRow("int64 min") << int(TypeInt64) << int(ViewNum) << "-9223372036854775808"
                               << bytesOf("0000000000000080");
    QTest::newRow("uint64 max") << int(TypeUInt64) << int(ViewNum) << "18446744073709551615"
                                << bytesOf("ffffffffffffffff");
    QTest::newRow("uint64 hex all ones") << int(TypeUInt64) << int(ViewHex) << "ffffffffffffffff"
                                         << bytesOf("ffffffffffffffff");
    // A signed field in hex or bin takes the bits its view shows, or a negative number.
    QTest::newRow("int8 hex bits") << int(TypeInt8) << int(ViewHex) << "c8" << bytesOf("c8");
    QTest::newRow("int8 hex negative") << int(TypeInt8) << int(ViewHex) << "-80" << bytesOf("80");
    QTest::newRow("int16 hex bits") << int(TypeInt16) << int(ViewHex) << "ffff" << bytesOf("ffff");
    QTest::newRow("int64 hex bits") << int(TypeInt64) << int(ViewHex) << "8000000000000000"
                                    << bytesOf("0000000000000080");
    QTest::newRow("int8 bin bits") << int(TypeInt8) << int(ViewBin) << "10000000" << bytesOf("80");
    QTest::newRow("double in hex view ignores base") << int(TypeDouble) << int(ViewHex) << "1.5"
                                                     << bytesOf("000000000000f83f");
    QTest::newRow("float 1.5") << int(TypeFloat) << int(ViewNum) << "1.5" << bytesOf("0000c03f");
    QTest::newRow("bool 1") << int(TypeBool) << int(ViewNum) << "1" << bytesOf("01");
    QTest::newRow("unknown type writes nothing") << int(TypeUnknown) << int(ViewNum) << "5" << QByteArray();

    QTest::newRow("uint8 300") << int(TypeUInt8) << int(ViewNum) << "300" << refused;
    QTest::newRow("uint8 256") << int(TypeUInt8) << int(ViewNum) << "256" << refused;
    QTest::newRow("uint8 negative") << int(TypeUInt8) << int(ViewNum) << "-1" << refused;
    QTest::newRow("int8 200") << int(TypeInt8) << int(ViewNum) << "200" << refused;
    QTest::newRow("int8 -129") << int(TypeInt8) << int(ViewNum) << "-129" << refused;
    QTest::newRow("int8 hex beyond its bits") << int(TypeInt8) << int(ViewHex) << "100" << refused;
    QTest::newRow("int8 hex below its range") << int(TypeInt8) << int(ViewHex) << "-81" << refused;
    QTest::newRow("int16 40000") << int(TypeInt16) << int(ViewNum) << "40000" << refused;
    QTest::newRow("uint16 hex 1FFFF") << int(TypeUInt16) << int(ViewHex) << "1FFFF" << refused;
    QTest::newRow("uint16 hex zz") << int(TypeUInt16) << int(ViewHex) << "zz" << refused;
    QTest::newRow("uint64 too large") << int(TypeUInt64) << int(ViewNum) << "18446744073709551616" << refused;
    QTest::newRow("int64 too large") << int(TypeInt64) << int(ViewNum) << "9223372036854775808" << refused;
    QTest::newRow("hex digits in num view") << int(TypeUInt8) << int(ViewNum) << "1F" << refused;
    QTest::newRow("0x in num view") << int(TypeUInt8) << int(ViewNum) << "0x10" << refused;
    QTest::newRow("abc in num view") << int(TypeInt32) << int(ViewNum) << "abc" << refused;
    QTest::newRow("fraction in an integer") << int(TypeInt32) << int(ViewNum) << "1.5" << refused;
    QTest::newRow("bin digit 2") << int(TypeUInt8) << int(ViewBin) << "12" << refused;
    QTest::newRow("bool 2") << int(TypeBool) << int(ViewNum) << "2" << refused;
    QTest::newRow("bool true") << int(TypeBool) << int(ViewNum) << "true" << refused;
    QTest::newRow("double comma") << int(TypeDouble) << int(ViewNum) << "1,5" << refused;
    QTest::newRow("float out of range") << int(TypeFloat) << int(ViewNum) << "1e39" << refused;
    QTest::newRow("empty text") << int(TypeInt32) << int(ViewNum) << "" << refused;
}

void FieldCodecTest::encodesRequestTexts()
{
    QFETCH(int, type);
    QFETCH(int, view);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    // Start from a report full of a marker byte so that a missed write shows.
    QByteArray report(64, '\x5a');
    bool accepted = false;
    const int advance = FieldCodec::encodeText(report, 3, ParamType(type), ParamView(view), text, &accepted);
    QCOMPARE(advance, CommandDescription::widthOf(ParamType(type)));
    const bool shouldBeTaken = !bytes.isEmpty() || type == TypeUnknown;
    QCOMPARE(accepted, shouldBeTaken);
    QCOMPARE(report.mid(3, bytes.size()), bytes);
    // Nothing around the field changes, nor anything at all for a refused text.
    QCOMPARE(report.left(3), QByteArray(3, '\x5a'));
    QCOMPARE(report.mid(3 + bytes.size()), QByteArray(61 - bytes.size(), '\x5a'));
}

void FieldCodecTest::stringFillsThePayload()
{
    QByteArray report(64, '\0');
    report[0] = 2;
    report[1] = 4;
    int pos = 2;
    pos += FieldCodec::encodeText(report, pos, TypeUInt16, ViewNum, QStringLiteral("513"));
    // A string clears what was written before it and starts at the first payload byte.
    const int advance = FieldCodec::encodeText(report, pos, TypeString, ViewStr, QStringLiteral("ab"));
    QCOMPARE(advance, 62);
    QCOMPARE(report, QByteArray("\x02\x04" "ab", 4) + QByteArray(60, '\0'));

    // Exactly 62 bytes: no terminator and nothing beyond the report.
    bool accepted = false;
    FieldCodec::encodeText(report, 2, TypeString, ViewStr, QString(62, QLatin1Char('y')), &accepted);
    QVERIFY(accepted);
    QCOMPARE(report, QByteArray("\x02\x04", 2) + QByteArray(62, 'y'));

    // One byte more is refused rather than cut: the report keeps what it had.
    FieldCodec::encodeText(report, 2, TypeString, ViewStr, QString(62, QLatin1Char('z')) + QChar(0x0416),
                           &accepted);
    QVERIFY(!accepted);
    QCOMPARE(report, QByteArray("\x02\x04", 2) + QByteArray(62, 'y'));

    // A character the system's code page lacks is refused, not sent as '?'.
    QTextCodec *systemCodec = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("Windows-1252"));
    FieldCodec::encodeText(report, 2, TypeString, ViewStr, QStringLiteral("caf\u00e9 \u0416"), &accepted);
    QVERIFY(!accepted);
    QCOMPARE(report, QByteArray("\x02\x04", 2) + QByteArray(62, 'y'));
    FieldCodec::encodeText(report, 2, TypeString, ViewStr, QStringLiteral("caf\u00e9?"), &accepted);
    QTextCodec::setCodecForLocale(systemCodec);
    QVERIFY(accepted);
    QCOMPARE(report, QByteArray("\x02\x04" "caf\xe9?", 7) + QByteArray(57, '\0'));
}

void FieldCodecTest::encodingNeverWritesOutsideTheReport()
{
    QByteArray report(64, '\x11');
    QCOMPARE(FieldCodec::encodeText(report, 60, TypeDouble, ViewNum, QStringLiteral("2")), 8);
    QCOMPARE(FieldCodec::encodeValue(report, 63, TypeUInt16, 7), 2);
    QCOMPARE(FieldCodec::encodeValue(report, -1, TypeUInt8, 7), 1);
    QCOMPARE(report, QByteArray(64, '\x11'));

    QByteArray shortReport(10, '\x11');
    FieldCodec::encodeText(shortReport, 2, TypeString, ViewStr, QString(20, QLatin1Char('q')));
    QCOMPARE(shortReport, QByteArray("\x11\x11", 2) + QByteArray(8, 'q'));
}

void FieldCodecTest::encodedValuesReadBack_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("readBack");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("int8 saturates high") << int(TypeInt8) << 1000.0 << 127.0;
    QTest::newRow("int8 saturates low") << int(TypeInt8) << -1000.0 << -128.0;
    QTest::newRow("uint8 negative") << int(TypeUInt8) << -3.0 << 0.0;
    QTest::newRow("bool keeps the byte") << int(TypeBool) << 7.0 << 7.0;
    QTest::newRow("int16 truncates") << int(TypeInt16) << -12.9 << -12.0;
    QTest::newRow("uint16 max") << int(TypeUInt16) << 65535.0 << 65535.0;
    QTest::newRow("uint16 one past") << int(TypeUInt16) << 65536.0 << 65535.0;
    QTest::newRow("int32 nan") << int(TypeInt32) << nan << 0.0;
    QTest::newRow("uint32 large") << int(TypeUInt32) << 4e9 << 4e9;
    QTest::newRow("int64 huge") << int(TypeInt64) << 1e30 << 9223372036854775807.0;
    QTest::newRow("uint64 huge") << int(TypeUInt64) << 1e30 << 18446744073709551615.0;
    QTest::newRow("uint64 2^63") << int(TypeUInt64) << 9223372036854775808.0 << 9223372036854775808.0;
    QTest::newRow("float") << int(TypeFloat) << 0.25 << 0.25;
    QTest::newRow("float overflow is infinite") << int(TypeFloat) << 1e300
                                                << std::numeric_limits<double>::infinity();
    QTest::newRow("double") << int(TypeDouble) << -1234.5678 << -1234.5678;
}

void FieldCodecTest::encodedValuesReadBack()
{
    QFETCH(int, type);
    QFETCH(double, value);
    QFETCH(double, readBack);

    QByteArray report(64, '\0');
    FieldCodec::encodeValue(report, 5, ParamType(type), value);
    QCOMPARE(FieldCodec::read(report, 5, ParamType(type)).value, readBack);
}

QTEST_GUILESS_MAIN(FieldCodecTest)
#include "tst_fieldcodec.moc"
