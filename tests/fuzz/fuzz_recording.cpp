// Arbitrary bytes read as a recording: the reader says what is wrong and where, or hands out
// 64-byte reports at times a date can show, and never reads past what the file holds.

#include "recordingreader.h"
#include "sessioncsv.h"

#include <QBuffer>
#include <QFile>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

const QString &inputPath()
{
    static const QString path = QStringLiteral("/tmp/fuzz_recording.%1.tvxr").arg(getpid());
    return path;
}

// Gives every whole record from offset on the checksum it should have, as the writer would.
void fixRecordChecksums(QByteArray &bytes, int offset)
{
    while (offset < bytes.size()) {
        int at = offset + 1;
        while (at < bytes.size() && at - offset <= RecordingFormat::maxTimeBytes && (quint8(bytes.at(at)) & 0x80))
            ++at;
        ++at; // the time's last byte
        if (at >= bytes.size())
            return;
        const int end = at + 1 + quint8(bytes.at(at));
        if (end + 2 > bytes.size())
            return;
        char sum[2];
        qToLittleEndian(RecordingFormat::checksum(bytes.constData() + offset, end - offset), sum);
        bytes[end] = sum[0];
        bytes[end + 1] = sum[1];
        offset = end + 2;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Inputs that do not start like a recording mostly test the first check; give most of
    // them the magic and version, so the fuzzer spends its time in headers and records.
    // The first byte steers: bit 0 puts the magic and version in front, bit 1 makes the
    // header's checksum match, so that mutations reach the header's fields; bit 2 makes the
    // start time a date and every record's checksum match, so that they reach the records'
    // kinds, times and lengths.
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const char steer = bytes.isEmpty() ? 0 : bytes.at(0);
    bytes.remove(0, 1);
    if (steer & 1)
        bytes.prepend(QByteArray(RecordingFormat::magic, sizeof RecordingFormat::magic) + QByteArray("\x01\x00\x00\x00", 4));
    const bool framed = bytes.size() >= RecordingFormat::prefixSize;
    const quint32 body = framed ? qFromLittleEndian<quint32>(bytes.constData() + 12) : 0;
    const bool headerWhole = framed && qint64(body) + RecordingFormat::prefixSize + 2 <= bytes.size();
    if ((steer & 4) && headerWhole && body >= 8) {
        const quint64 span = quint64(RecordingFormat::latestMsUtc - RecordingFormat::earliestMsUtc) + 1;
        const quint64 start = qFromLittleEndian<quint64>(bytes.constData() + RecordingFormat::prefixSize);
        qToLittleEndian(qint64(start % span) + RecordingFormat::earliestMsUtc,
                        bytes.data() + RecordingFormat::prefixSize);
    }
    if ((steer & 2) && headerWhole) {
        char sum[2];
        qToLittleEndian(RecordingFormat::checksum(bytes.constData() + RecordingFormat::prefixSize, int(body)), sum);
        bytes.replace(RecordingFormat::prefixSize + int(body), 2, QByteArray(sum, 2));
    }
    if ((steer & 4) && headerWhole)
        fixRecordChecksums(bytes, RecordingFormat::prefixSize + int(body) + 2);
    {
        QFile file(inputPath());
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        check(file.write(bytes) == bytes.size());
    }

    RecordingReader reader;
    if (!reader.open(inputPath())) {
        check(!reader.errorString().isEmpty());
        check(reader.status() != RecordingReader::Status::Ok);
        return 0;
    }
    // Every time handed out is a date the session CSV can show (the sanitizers watch it
    // being formatted).
    const qint64 start = reader.header().startMsUtc;
    check(start >= RecordingFormat::earliestMsUtc && start <= RecordingFormat::latestMsUtc);
    QBuffer csvOut;
    csvOut.open(QIODevice::WriteOnly);
    SessionCsvWriter csv({QStringLiteral("v")}, {});
    csv.writeTo(&csvOut);
    csv.setClock(start, 0);
    RecordingReader::Record record;
    qint64 previousOffset = -1;
    quint64 previousTime = 0;
    while (reader.next(record)) {
        check(record.kind == RecordingFormat::RecordKind::Device
              || record.data.size() == RecordingFormat::reportSize);
        check(record.offset > previousOffset && record.offset < bytes.size());
        check(record.timeUs >= previousTime);
        check(record.timeUs <= RecordingFormat::maxRunningUs(start));
        csv.appendRow(qint64(record.timeUs) * 1000, {QStringLiteral("1")});
        previousOffset = record.offset;
        previousTime = record.timeUs;
    }
    check(csv.flush());
    check((reader.status() == RecordingReader::Status::Ok) == reader.errorString().isEmpty());
    return 0;
}
