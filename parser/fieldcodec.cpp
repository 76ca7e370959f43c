#include "fieldcodec.h"

#include "reportlayout.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace FieldCodec {

namespace {

using ReportLayout::payloadSize;
using ReportLayout::payloadStart;

bool liesWithin(const QByteArray &report, int pos, int width)
{
    return pos >= 0 && width >= 0 && pos <= report.size() - width;
}

quint64 littleEndianBits(const QByteArray &report, int pos, int width)
{
    quint64 bits = 0;
    for (int i = width - 1; i >= 0; --i)
        bits = (bits << 8) | static_cast<quint8>(report[pos + i]);
    return bits;
}

void putLittleEndian(QByteArray &report, int pos, int width, quint64 bits)
{
    for (int i = 0; i < width; ++i) {
        report[pos + i] = static_cast<char>(bits & 0xff);
        bits >>= 8;
    }
}

template <typename Signed>
double signExtended(quint64 bits)
{
    using Unsigned = std::make_unsigned_t<Signed>;
    return static_cast<double>(static_cast<Signed>(static_cast<Unsigned>(bits)));
}

// Clamps a number into the range of an integer type; NaN gives 0, fractions are truncated.
template <typename Integer>
Integer saturated(double value)
{
    if (std::isnan(value))
        return 0;
    // The upper bound as a double is 2^(digits), one past the largest value, so test with >=.
    const double upper = std::ldexp(1.0, std::numeric_limits<Integer>::digits);
    if (value >= upper)
        return std::numeric_limits<Integer>::max();
    if (value <= static_cast<double>(std::numeric_limits<Integer>::min()))
        return std::numeric_limits<Integer>::min();
    return static_cast<Integer>(value);
}

quint64 floatBits(double value)
{
    float single;
    if (value > std::numeric_limits<float>::max())
        single = std::numeric_limits<float>::infinity();
    else if (value < -std::numeric_limits<float>::max())
        single = -std::numeric_limits<float>::infinity();
    else
        single = static_cast<float>(value);
    quint32 bits;
    std::memcpy(&bits, &single, sizeof bits);
    return bits;
}

quint64 doubleBits(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

int conversionBase(ParamView view)
{
    switch (view) {
    case ViewHex:
        return 16;
    case ViewBin:
        return 2;
    default:
        return 10;
    }
}

// Clears the payload and copies the bytes from its first byte on, as many as fit.
void putString(QByteArray &report, const QByteArray &bytes)
{
    const int end = qMin(report.size(), payloadStart + payloadSize);
    for (int i = payloadStart; i < end; ++i)
        report[i] = 0;
    const int count = qMax(0, qMin(bytes.size(), end - payloadStart));
    if (count > 0)
        std::memcpy(report.data() + payloadStart, bytes.constData(), count);
}

// 'g' with 6 significant digits. Whole numbers below a million come out as plain integers
// in that format; writing their digits directly skips the general conversion, which costs
// far more and dominates decoding.
QString numberText(double value)
{
    if (value > -1e6 && value < 1e6 && value == std::trunc(value)) {
        char digits[8];
        char *end = digits + sizeof digits;
        char *p = end;
        int n = int(value);
        const bool negative = n < 0;
        if (negative)
            n = -n;
        do {
            *--p = char('0' + n % 10);
            n /= 10;
        } while (n > 0);
        if (negative)
            *--p = '-';
        return QString::fromLatin1(p, int(end - p));
    }
    return QString::number(value, 'g', 6);
}

} // namespace

int width(ParamType type)
{
    static const auto widths = [] {
        std::array<int, TypeString + 1> table{};
        for (int type = 0; type <= TypeString; ++type)
            table[type] = CommandDescription::widthOf(ParamType(type));
        return table;
    }();
    return unsigned(type) < widths.size() ? widths[type] : 0;
}

Field read(const QByteArray &report, int pos, ParamType type)
{
    Field field;
    const int fieldWidth = width(type);
    if (type == TypeString || fieldWidth == 0 || !liesWithin(report, pos, fieldWidth))
        return field;

    const quint64 bits = littleEndianBits(report, pos, fieldWidth);
    field.rawValue = bits;
    switch (type) {
    case TypeInt8:
        field.value = signExtended<qint8>(bits);
        break;
    case TypeInt16:
        field.value = signExtended<qint16>(bits);
        break;
    case TypeInt32:
        field.value = signExtended<qint32>(bits);
        break;
    case TypeInt64:
        field.value = signExtended<qint64>(bits);
        break;
    case TypeFloat: {
        const quint32 bits32 = static_cast<quint32>(bits);
        float single;
        std::memcpy(&single, &bits32, sizeof single);
        field.value = single;
        break;
    }
    case TypeDouble:
        std::memcpy(&field.value, &bits, sizeof field.value);
        break;
    default: // bool and the unsigned types
        field.value = static_cast<double>(bits);
        break;
    }
    return field;
}

QString text(const Field &field, ParamView view, const QByteArray &report, int pos, ParamType type)
{
    switch (view) {
    case ViewHex:
        return QString::number(field.rawValue, 16);
    case ViewBin:
        return QString::number(field.rawValue, 2);
    case ViewStr: {
        if (pos < 0 || pos >= report.size())
            return QString();
        const int available = qMin(width(type), report.size() - pos);
        const char *start = report.constData() + pos;
        const void *zero = std::memchr(start, 0, available);
        const int length = zero ? int(static_cast<const char *>(zero) - start) : available;
        return QString::fromUtf8(start, length);
    }
    default:
        return numberText(field.value);
    }
}

int encodeText(QByteArray &report, int pos, ParamType type, ParamView view, const QString &text)
{
    const int fieldWidth = width(type);
    if (type == TypeString) {
        putString(report, text.toLocal8Bit());
        return fieldWidth;
    }
    if (fieldWidth == 0 || !liesWithin(report, pos, fieldWidth))
        return fieldWidth;

    const int base = conversionBase(view);
    bool ok = false;
    quint64 bits = 0;
    switch (type) {
    case TypeBool:
    case TypeUInt8:
    case TypeUInt32:
        bits = text.toUInt(&ok, base);
        break;
    case TypeInt8:
    case TypeInt32:
        bits = static_cast<quint32>(text.toInt(&ok, base));
        break;
    case TypeInt16:
        bits = static_cast<quint16>(text.toShort(&ok, base));
        break;
    case TypeUInt16:
        bits = text.toUShort(&ok, base);
        break;
    case TypeInt64:
        bits = static_cast<quint64>(text.toLongLong(&ok, base));
        break;
    case TypeUInt64:
        bits = text.toULongLong(&ok, base);
        break;
    case TypeDouble:
        bits = doubleBits(text.toDouble(&ok));
        break;
    case TypeFloat:
        bits = floatBits(text.toFloat(&ok));
        break;
    default:
        break;
    }
    // Writing only the low bytes keeps the low 8 bits of the 8-bit types.
    putLittleEndian(report, pos, fieldWidth, ok ? bits : 0);
    return fieldWidth;
}

int encodeValue(QByteArray &report, int pos, ParamType type, double value)
{
    const int fieldWidth = width(type);
    if (type == TypeString) {
        // The number's text, filling the field's bytes that lie within the report.
        if (pos < 0 || pos >= report.size())
            return fieldWidth;
        const QByteArray digits = QString::number(value, 'g', 6).toLatin1();
        const int room = qMin(fieldWidth, report.size() - pos);
        for (int i = 0; i < room; ++i)
            report[pos + i] = i < digits.size() ? digits[i] : '\0';
        return fieldWidth;
    }
    if (fieldWidth == 0 || !liesWithin(report, pos, fieldWidth))
        return fieldWidth;

    quint64 bits = 0;
    switch (type) {
    case TypeBool:
    case TypeUInt8:
        bits = saturated<quint8>(value);
        break;
    case TypeInt8:
        bits = static_cast<quint8>(saturated<qint8>(value));
        break;
    case TypeInt16:
        bits = static_cast<quint16>(saturated<qint16>(value));
        break;
    case TypeUInt16:
        bits = saturated<quint16>(value);
        break;
    case TypeInt32:
        bits = static_cast<quint32>(saturated<qint32>(value));
        break;
    case TypeUInt32:
        bits = saturated<quint32>(value);
        break;
    case TypeInt64:
        bits = static_cast<quint64>(saturated<qint64>(value));
        break;
    case TypeUInt64:
        bits = saturated<quint64>(value);
        break;
    case TypeDouble:
        bits = doubleBits(value);
        break;
    case TypeFloat:
        bits = floatBits(value);
        break;
    default:
        break;
    }
    putLittleEndian(report, pos, fieldWidth, bits);
    return fieldWidth;
}

} // namespace FieldCodec
