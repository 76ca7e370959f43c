#include "recordingformat.h"

#include <QtEndian>

#include <array>
#include <limits>

namespace RecordingFormat {

namespace {

void appendU16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendU32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendI64(QByteArray &out, qint64 value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, 8);
}

void appendText(QByteArray &out, const QByteArray &utf8)
{
    appendU32(out, quint32(utf8.size()));
    out.append(utf8);
}

// The first bytes of utf8, at most limit of them, ending at a character's boundary.
QByteArray cutUtf8(const QByteArray &utf8, int limit)
{
    if (utf8.size() <= limit)
        return utf8;
    int end = qMax(0, limit);
    while (end > 0 && (quint8(utf8.at(end)) & 0xc0) == 0x80)
        --end;
    return utf8.left(end);
}

} // namespace

QByteArray encodeDevice(const QString &product, const QString &path)
{
    const QByteArray pathBytes = cutUtf8(path.toUtf8(), maxRecordData - 1);
    return cutUtf8(product.toUtf8(), maxRecordData - 1 - pathBytes.size()) + '\0' + pathBytes;
}

void decodeDevice(const QByteArray &data, QString *product, QString *path)
{
    const int zero = data.indexOf('\0');
    *product = QString::fromUtf8(zero < 0 ? data : data.left(zero));
    *path = zero < 0 ? QString() : QString::fromUtf8(data.mid(zero + 1));
}

quint64 maxRunningUs(qint64 startMsUtc)
{
    const quint64 nanosecondsFit = quint64(std::numeric_limits<qint64>::max()) / 1000;
    if (startMsUtc < earliestMsUtc || startMsUtc > latestMsUtc)
        return 0;
    return qMin(nanosecondsFit, quint64(latestMsUtc - startMsUtc) * 1000 + 999);
}

quint16 checksum(const char *data, int size)
{
    // CRC-16/CCITT-FALSE (polynomial 0x1021, initial 0xffff), a byte at a time.
    static const auto table = [] {
        std::array<quint16, 256> entries{};
        for (int byte = 0; byte < 256; ++byte) {
            quint16 crc = quint16(byte << 8);
            for (int bit = 0; bit < 8; ++bit)
                crc = quint16((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
            entries[size_t(byte)] = crc;
        }
        return entries;
    }();
    quint16 crc = 0xffff;
    for (int i = 0; i < size; ++i)
        crc = quint16((crc << 8) ^ table[((crc >> 8) ^ quint8(data[i])) & 0xff]);
    return crc;
}

QByteArray encodeHeader(const Header &header)
{
    QByteArray body;
    appendI64(body, header.startMsUtc);
    appendU32(body, quint32(header.utcOffsetS));
    appendText(body, header.product.toUtf8());
    appendText(body, header.path.toUtf8());
    appendText(body, header.tag.toUtf8());
    appendText(body, header.configuration);

    QByteArray out(magic, sizeof magic);
    appendU16(out, version);
    appendU16(out, 0);
    appendU32(out, quint32(body.size()));
    out.append(body);
    appendU16(out, checksum(body.constData(), body.size()));
    return out;
}

void appendRecord(QByteArray &out, RecordKind kind, quint64 timeDeltaUs, const QByteArray &data)
{
    int length = qMin(data.size(), kind == RecordKind::Device ? maxRecordData : reportSize);
    while (length > 0 && data.at(length - 1) == '\0')
        --length;

    const int start = out.size();
    out.append(char(kind));
    do {
        const quint8 low = quint8(timeDeltaUs & 0x7f);
        timeDeltaUs >>= 7;
        out.append(char(timeDeltaUs ? (low | 0x80) : low));
    } while (timeDeltaUs);
    out.append(char(length));
    out.append(data.constData(), length);
    appendU16(out, checksum(out.constData() + start, out.size() - start));
}

} // namespace RecordingFormat
