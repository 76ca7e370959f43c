// Device tags: expected values are worked out by hand with h = 31 * h + c (mod 2^32) per UTF-16
// unit, tag = rotl16(h(product)) ^ h(path), lower-case hexadecimal.
#include "devicetag.h"

#include <QtTest>

class DeviceTagTest : public QObject
{
    Q_OBJECT

private slots:
    void knownTags_data();
    void knownTags();
    void sameProductDifferentPaths();
};

void DeviceTagTest::knownTags_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("tag");

    // Both empty: 0.
    QTest::newRow("empty") << "" << "" << "0";
    // h("a") = 0x61, rotated left by 16: 0x610000; h("") = 0.
    QTest::newRow("product only") << "a" << "" << "610000";
    // h("ab") = 31 * 97 + 98 = 3105 = 0xc21.
    QTest::newRow("path only") << "" << "ab" << "c21";
    // 0xc21 rotated: 0x0c210000, xor h("a") = 0x61: no leading zero in the text.
    QTest::newRow("both") << "ab" << "a" << "c210061";
    // h("abc") = 3105 * 31 + 99 = 96354 = 0x00017862, rotated: 0x78620001;
    // h("/x") = 47 * 31 + 120 = 1577 = 0x629; 0x78620001 ^ 0x629 = 0x78620628.
    QTest::newRow("rotation wraps") << "abc" << "/x" << "78620628";
    // UTF-16 units, not UTF-8 bytes: h("П") = 0x41f.
    QTest::newRow("cyrillic") << QString::fromUtf8("П") << "" << "41f0000";
    // A character outside the BMP counts as its two surrogates 0xd83d, 0xdd0c:
    // 55357 * 31 + 56588 = 1772655 = 0x1b0c6f.
    QTest::newRow("surrogate pair") << "" << QString::fromUtf8("\xF0\x9F\x94\x8C") << "1b0c6f";
    // Modulo 2^32: h("zzzzzz") = 3609181632, then 3609181632 * 31 + 122 = 111884630714,
    // which is 0x1a0cd7faba; its low 32 bits are 0xcd7faba.
    QTest::newRow("overflow") << "" << "zzzzzzz" << "cd7faba";
}

void DeviceTagTest::knownTags()
{
    QFETCH(QString, product);
    QFETCH(QString, path);
    QFETCH(QString, tag);
    QCOMPARE(deviceTag(product, path), tag);
}

void DeviceTagTest::sameProductDifferentPaths()
{
    const QString a = deviceTag("Tolvex probe", "/dev/hidraw0");
    const QString b = deviceTag("Tolvex probe", "/dev/hidraw1");
    QVERIFY(a != b);
    QVERIFY(!a.isEmpty());
    QCOMPARE(a, a.toLower());
}

QTEST_APPLESS_MAIN(DeviceTagTest)
#include "tst_devicetag.moc"
