#include "fieldcodec.h"

#include "reportlayout.h"

#include <array>
#include <charconv>
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

// The values an integer field holds: as a signed number where the type is signed, and as bits.
struct IntegerLimits
{
    bool isSigned = false;
    qint64 lowest = 0;
    qint64 highest = 0;
    quint64 highestBits = 0;
};

IntegerLimits integerLimits(ParamType type)
{
    IntegerLimits limits;
    const int bits = 8 * width(type);
    limits.highestBits = type == TypeBool ? 1 : bits >= 64 ? ~quint64(0) : (quint64(1) << bits) - 1;
    limits.isSigned = type == TypeInt8 || type == TypeInt16 || type == TypeInt32 || type == TypeInt64;
    if (limits.isSigned) {
        limits.highest = qint64(limits.highestBits >> 1);
        limits.lowest = -limits.highest - 1;
    }
    return limits;
}

// The bits of an integer field from its request text in base; false when the text does not
// convert or the value does not fit. Qt's conversions decide what a number looks like
// (surrounding spaces, a sign, "0x" before hex digits), so that every text taken before the
// range was checked still gives the same bytes.
bool integerBits(ParamType type, int base, const QString &text, quint64 *bits)
{
    const IntegerLimits limits = integerLimits(type);
    bool ok = false;
    if (limits.isSigned) {
        const qint64 value = text.toLongLong(&ok, base);
        if (ok && value >= limits.lowest && value <= limits.highest) {
            *bits = quint64(value) & limits.highestBits;
            return true;
        }
        // Hex and bin show a signed field's bits: those are typed back as they are shown.
        if (base == 10)
            return false;
    }
    const quint64 value = text.toULongLong(&ok, base);
    if (!ok || value > limits.highestBits)
        return false;
    *bits = value;
    return true;
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

// Writes the digits of value in base (2, 10 or 16, lower-case) before end; returns where they
// start.
char *unsignedDigits(quint64 value, int base, char *end)
{
    static const char digitChars[] = "0123456789abcdef";
    char *p = end;
    do {
        *--p = digitChars[value % unsigned(base)];
        value /= unsigned(base);
    } while (value > 0);
    return p;
}

// 'g' with 6 significant digits, exactly as QString::number(value, 'g', 6) writes it
// (exponent of at least two digits, trailing zeros dropped, "nan", "inf"). Returns the length
// written to out, which holds at least numberTextCapacity characters. The general conversion
// is most of the cost of decoding, so the digits are rounded here from a 17-digit conversion;
// only a value lying on or next to a rounding tie (which Qt rounds away from zero) goes the
// general way.
constexpr int numberTextCapacity = 32;

int numberText(double value, char *out)
{
    if (value > -1e6 && value < 1e6 && value == std::trunc(value)) {
        // Whole numbers below a million: their own digits.
        char *end = out + numberTextCapacity;
        const bool negative = value < 0;
        char *p = unsignedDigits(quint64(negative ? -value : value), 10, end);
        if (negative)
            *--p = '-';
        const int length = int(end - p);
        std::memmove(out, p, size_t(length));
        return length;
    }
    if (std::isnan(value)) {
        std::memcpy(out, "nan", 3);
        return 3;
    }
    if (std::isinf(value)) {
        std::memcpy(out, value < 0 ? "-inf" : "inf", value < 0 ? 4 : 3);
        return value < 0 ? 4 : 3;
    }

    // "-d.dddddddddddddddde+XX": 17 significant digits, correctly rounded.
    char scientific[40];
    const auto converted = std::to_chars(scientific, scientific + sizeof scientific, value,
                                         std::chars_format::scientific, 16);
    const bool negative = scientific[0] == '-';
    const char *mantissa = scientific + (negative ? 1 : 0);
    char digits[7];
    digits[0] = mantissa[0];
    std::memcpy(digits + 1, mantissa + 2, 6);
    int exponent = 0;
    std::from_chars(mantissa + 19 + (mantissa[19] == '+' ? 1 : 0), converted.ptr, exponent);

    if (digits[6] == '5' && std::memcmp(mantissa + 8, "0000000000", 10) == 0) {
        const QByteArray text = QString::number(value, 'g', 6).toLatin1();
        std::memcpy(out, text.constData(), size_t(text.size()));
        return text.size();
    }
    if (digits[6] >= '5') {
        int i = 5;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits[0] = '1';
            ++exponent;
        }
    }
    int significant = 6;
    while (significant > 1 && digits[significant - 1] == '0')
        --significant;

    char *p = out;
    if (negative)
        *p++ = '-';
    if (exponent < -4 || exponent >= 6) {
        *p++ = digits[0];
        if (significant > 1) {
            *p++ = '.';
            std::memcpy(p, digits + 1, size_t(significant - 1));
            p += significant - 1;
        }
        *p++ = 'e';
        *p++ = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10)
            *p++ = '0';
        char exponentDigits[8];
        char *end = exponentDigits + sizeof exponentDigits;
        const char *start = unsignedDigits(quint64(magnitude), 10, end);
        std::memcpy(p, start, size_t(end - start));
        p += end - start;
    } else if (exponent >= 0) {
        for (int i = 0; i <= exponent; ++i)
            *p++ = i < significant ? digits[i] : '0';
        if (significant > exponent + 1) {
            *p++ = '.';
            std::memcpy(p, digits + exponent + 1, size_t(significant - exponent - 1));
            p += significant - exponent - 1;
        }
    } else {
        *p++ = '0';
        *p++ = '.';
        for (int i = 0; i < -exponent - 1; ++i)
            *p++ = '0';
        std::memcpy(p, digits, size_t(significant));
        p += significant;
    }
    return int(p - out);
}

// The text of a number, hex or bin view in out (at least 64 characters); returns its length.
int plainText(const Field &field, ParamView view, char *out)
{
    if (view == ViewHex || view == ViewBin) {
        char *end = out + 64;
        const char *start = unsignedDigits(field.rawValue, view == ViewHex ? 16 : 2, end);
        const int length = int(end - start);
        std::memmove(out, start, size_t(length));
        return length;
    }
    return numberText(field.value, out);
}

// The bytes of a str field that are present, up to the first zero.
QByteArray strBytes(const QByteArray &report, int pos, ParamType type)
{
    if (pos < 0 || pos >= report.size())
        return QByteArray();
    const int available = qMin(width(type), report.size() - pos);
    const char *start = report.constData() + pos;
    const void *zero = std::memchr(start, 0, available);
    return QByteArray::fromRawData(start, zero ? int(static_cast<const char *>(zero) - start) : available);
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
    if (view == ViewStr)
        return QString::fromUtf8(strBytes(report, pos, type));
    char buffer[64];
    return QString::fromLatin1(buffer, plainText(field, view, buffer));
}

void appendText(QByteArray &utf8, const Field &field, ParamView view, const QByteArray &report, int pos,
                ParamType type)
{
    if (view == ViewStr) {
        const QByteArray bytes = strBytes(report, pos, type);
        // Bytes that are not UTF-8 become U+FFFD, as in the text the window shows.
        bool ascii = true;
        for (const char c : bytes)
            ascii = ascii && quint8(c) < 0x80;
        utf8 += ascii ? bytes : QString::fromUtf8(bytes).toUtf8();
        return;
    }
    char buffer[64];
    utf8.append(buffer, plainText(field, view, buffer));
}

int encodeText(QByteArray &report, int pos, ParamType type, ParamView view, const QString &text,
               bool *accepted)
{
    const int fieldWidth = width(type);
    bool ok = true;
    if (type == TypeString) {
        const QByteArray bytes = text.toLocal8Bit();
        // A character the system's code page cannot hold would go out as '?' or as a look-alike
        // (Windows): refused rather than sent as another text.
        ok = bytes.size() <= payloadSize && QString::fromLocal8Bit(bytes.constData(), bytes.size()) == text;
        if (ok)
            putString(report, bytes);
    } else if (fieldWidth > 0) {
        quint64 bits = 0;
        switch (type) {
        case TypeDouble:
            bits = doubleBits(text.toDouble(&ok));
            break;
        case TypeFloat:
            bits = floatBits(text.toFloat(&ok));
            break;
        default:
            ok = integerBits(type, conversionBase(view), text, &bits);
            break;
        }
        if (ok && liesWithin(report, pos, fieldWidth))
            putLittleEndian(report, pos, fieldWidth, bits);
    }
    if (accepted)
        *accepted = ok;
    return fieldWidth;
}

Accepted accepted(ParamType type, ParamView view)
{
    Accepted result;
    switch (type) {
    case TypeUnknown:
        break;
    case TypeString:
        result.maxBytes = payloadSize;
        break;
    case TypeFloat:
    case TypeDouble: {
        const double largest = type == TypeFloat ? double(std::numeric_limits<float>::max())
                                                 : std::numeric_limits<double>::max();
        result.ranges << QString::number(-largest, 'g', 6) + QStringLiteral("..")
                             + QString::number(largest, 'g', 6);
        break;
    }
    default: {
        const int base = conversionBase(view);
        const IntegerLimits limits = integerLimits(type);
        // Qt writes a negative number in another base than 10 as its two's complement.
        auto number = [base](qint64 value) {
            const QString digits = QString::number(value < 0 ? 0 - quint64(value) : quint64(value), base);
            return value < 0 ? QLatin1Char('-') + digits : digits;
        };
        const QString allBits = QStringLiteral("0..") + QString::number(limits.highestBits, base);
        if (!limits.isSigned)
            result.ranges << allBits;
        else if (base == 10)
            result.ranges << number(limits.lowest) + QStringLiteral("..") + number(limits.highest);
        else
            result.ranges << allBits << number(limits.lowest) + QStringLiteral("..-1");
        break;
    }
    }
    return result;
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
