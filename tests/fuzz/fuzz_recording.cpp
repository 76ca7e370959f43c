// Arbitrary bytes read as a recording: the reader says what is wrong and where, or hands out
// 64-byte reports, and never reads past what the file holds.

#include "recordingreader.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Inputs that do not start like a recording mostly test the first check; give most of
    // them the magic and version, so the fuzzer spends its time in headers and records.
    // The first byte steers: bit 0 puts the magic and version in front, bit 1 makes the
    // header's checksum match, so that mutations reach the header's fields and the records.
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const char steer = bytes.isEmpty() ? 0 : bytes.at(0);
    bytes.remove(0, 1);
    if (steer & 1)
        bytes.prepend(QByteArray(RecordingFormat::magic, sizeof RecordingFormat::magic) + QByteArray("\x01\x00\x00\x00", 4));
    if ((steer & 2) && bytes.size() >= RecordingFormat::prefixSize) {
        const quint32 body = qFromLittleEndian<quint32>(bytes.constData() + 12);
        if (qint64(body) + RecordingFormat::prefixSize + 2 <= bytes.size()) {
            char sum[2];
            qToLittleEndian(RecordingFormat::checksum(bytes.constData() + RecordingFormat::prefixSize, int(body)), sum);
            bytes.replace(RecordingFormat::prefixSize + int(body), 2, QByteArray(sum, 2));
        }
    }
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
    RecordingReader::Record record;
    qint64 previousOffset = -1;
    quint64 previousTime = 0;
    while (reader.next(record)) {
        check(record.data.size() == RecordingFormat::reportSize);
        check(record.offset > previousOffset && record.offset < bytes.size());
        check(record.timeUs >= previousTime);
        previousOffset = record.offset;
        previousTime = record.timeUs;
    }
    check((reader.status() == RecordingReader::Status::Ok) == reader.errorString().isEmpty());
    return 0;
}
