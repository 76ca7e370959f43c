#ifndef RECORDINGFORMAT_H
#define RECORDINGFORMAT_H

#include <QByteArray>
#include <QString>

// The recording file: a header, then records appended one after another until the recording
// ends. Nothing is ever rewritten, so a file cut off at any point holds every record written
// before the cut. docs/recording-format.md describes the bytes.
namespace RecordingFormat {

// "\x89TVXR\r\n\x1a": a high-bit byte, a name, a line break and an end-of-file mark, so that
// a text transfer that touches any of them is caught.
constexpr char magic[8] = {'\x89', 'T', 'V', 'X', 'R', '\r', '\n', '\x1a'};
constexpr quint16 version = 1;
// Magic, version, reserved word, length of the header body.
constexpr int prefixSize = 16;
// A header body longer than this is not believed (it holds a configuration text).
constexpr quint32 maxHeaderBody = 16u * 1024 * 1024;
// Every report is this long; a record stores it without its trailing zero bytes.
constexpr int reportSize = 64;
// Kind byte, at least one time byte, length byte; checksum after the data.
constexpr int minRecordSize = 3 + 2;
constexpr int maxTimeBytes = 10;

enum class RecordKind : quint8 {
    Report = 1,  // an input report the device sent
    Request = 2, // an output report the program wrote
    Device = 3,  // the device in use from here on (see encodeDevice)
};

// Longest data of a record: its length is one byte.
constexpr int maxRecordData = 255;

// The times a recording can hold are those a date can show: a start from 0001-01-02 to
// 9999-12-30 UTC (the local time, whatever its offset, has a four-digit year), and running
// times (since the start) whose nanoseconds fit 64 bits (about 292 years) and whose date
// stays within those years. Anything beyond is damage, not time.
constexpr qint64 earliestMsUtc = -62135510400000; // 0001-01-02T00:00:00Z
constexpr qint64 latestMsUtc = 253402214399999;   // 9999-12-30T23:59:59.999Z
// Longest running time of a recording that starts at startMsUtc, in microseconds.
quint64 maxRunningUs(qint64 startMsUtc);

struct Header
{
    qint64 startMsUtc = 0;   // wall clock when the recording began, ms since 1970 UTC
    qint32 utcOffsetS = 0;   // the local time's offset from UTC then
    QString product;         // the device's product string
    QString path;            // its system path (with the product, it gives the device's tag)
    QString tag;             // the tag the window showed, "product [tag]"
    QByteArray configuration; // the configuration text in force, as read from its file
};

// The header as stored: magic, version, body length, body, checksum.
QByteArray encodeHeader(const Header &header);
// Appends one record to out. timeDeltaUs: microseconds since the previous record (since the
// recording began, for the first); data: the report, of which at most 64 bytes are kept (255
// of a device record's).
void appendRecord(QByteArray &out, RecordKind kind, quint64 timeDeltaUs, const QByteArray &data);

// The data of a device record: the product string, a zero byte, the system path, in UTF-8;
// both empty when no device is in use. What exceeds a record's 255 bytes is cut from the
// product, then from the path, at a character's boundary.
QByteArray encodeDevice(const QString &product, const QString &path);
// The product and path of a device record's data.
void decodeDevice(const QByteArray &data, QString *product, QString *path);

// CRC-16 (CCITT) as every checksum of the file is computed.
quint16 checksum(const char *data, int size);

} // namespace RecordingFormat

#endif // RECORDINGFORMAT_H
