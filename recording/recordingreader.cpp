#include "recordingreader.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr int chunkSize = 1 << 20;

} // namespace

void RecordingReader::setProblem(Status status, const QString &message)
{
    state = status;
    error = message;
}

bool RecordingReader::ensure(int count)
{
    if (buffer.size() - position >= count)
        return true;
    if (atEnd)
        return false;
    buffer.remove(0, position);
    bufferStart += position;
    position = 0;
    while (buffer.size() < count && !atEnd) {
        const QByteArray more = file.read(qMax(chunkSize, count - buffer.size()));
        if (more.isEmpty())
            atEnd = true;
        buffer.append(more);
    }
    return buffer.size() >= count;
}

bool RecordingReader::open(const QString &path)
{
    using namespace RecordingFormat;
    file.close();
    file.setFileName(path);
    buffer.clear();
    position = 0;
    bufferStart = 0;
    atEnd = false;
    timeUs = 0;
    records = 0;
    head = Header();
    setProblem(Status::Ok, QString());
    if (!file.open(QIODevice::ReadOnly)) {
        setProblem(Status::Unreadable, QStringLiteral("%1: %2").arg(path, file.errorString()));
        return false;
    }

    if (!ensure(int(sizeof magic)) || std::memcmp(buffer.constData(), magic, sizeof magic) != 0) {
        setProblem(Status::Foreign,
                   QStringLiteral("%1: not a recording (the first 8 bytes are not those of one)")
                       .arg(path));
        return false;
    }
    if (!ensure(prefixSize)) {
        setProblem(Status::Truncated,
                   QStringLiteral("%1: the header is cut off at byte %2").arg(path).arg(buffer.size()));
        return false;
    }
    const char *prefix = buffer.constData();
    const quint16 fileVersion = qFromLittleEndian<quint16>(prefix + 8);
    if (fileVersion != version) {
        setProblem(Status::Foreign,
                   QStringLiteral("%1: recording format version %2 (this program reads version %3)")
                       .arg(path).arg(fileVersion).arg(version));
        return false;
    }
    const quint32 bodySize = qFromLittleEndian<quint32>(prefix + 12);
    if (bodySize > maxHeaderBody || bodySize < 8 + 4 + 4 * 4) {
        setProblem(Status::Corrupt,
                   QStringLiteral("%1: byte 12: the header length %2 cannot be right")
                       .arg(path).arg(bodySize));
        return false;
    }
    if (!ensure(prefixSize + int(bodySize) + 2)) {
        setProblem(Status::Truncated,
                   QStringLiteral("%1: the header is cut off at byte %2 (it ends at byte %3)")
                       .arg(path).arg(buffer.size()).arg(prefixSize + bodySize + 2));
        return false;
    }
    const char *body = buffer.constData() + prefixSize;
    if (qFromLittleEndian<quint16>(body + bodySize) != checksum(body, int(bodySize))) {
        setProblem(Status::Corrupt,
                   QStringLiteral("%1: byte %2: the header's checksum does not match: the header is damaged")
                       .arg(path).arg(prefixSize + bodySize));
        return false;
    }

    // The fields, each checked against the body's end; later versions may add more after them.
    const char *at = body;
    const char *end = body + bodySize;
    bool fits = true;
    auto text = [&](QByteArray &out) {
        if (!fits || end - at < 4) {
            fits = false;
            return;
        }
        const quint32 size = qFromLittleEndian<quint32>(at);
        at += 4;
        if (quint32(end - at) < size) {
            fits = false;
            return;
        }
        out = QByteArray(at, int(size));
        at += size;
    };
    head.startMsUtc = qFromLittleEndian<qint64>(at);
    head.utcOffsetS = qFromLittleEndian<qint32>(at + 8);
    at += 12;
    QByteArray product, devicePath, tag;
    text(product);
    text(devicePath);
    text(tag);
    text(head.configuration);
    if (!fits) {
        setProblem(Status::Corrupt,
                   QStringLiteral("%1: byte %2: the header's texts run past its end")
                       .arg(path).arg(prefixSize + (at - body)));
        return false;
    }
    if (head.startMsUtc < earliestMsUtc || head.startMsUtc > latestMsUtc) {
        setProblem(Status::Corrupt,
                   QStringLiteral("%1: byte %2: the start time (%3 ms since 1970) is no date: the header is damaged")
                       .arg(path).arg(prefixSize).arg(head.startMsUtc));
        return false;
    }
    head.product = QString::fromUtf8(product);
    head.path = QString::fromUtf8(devicePath);
    head.tag = QString::fromUtf8(tag);
    position = prefixSize + int(bodySize) + 2;
    return true;
}

bool RecordingReader::restIsZero()
{
    for (;;) {
        for (int i = position; i < buffer.size(); ++i) {
            if (buffer.at(i) != '\0')
                return false;
        }
        if (atEnd)
            return true;
        position = buffer.size();
        ensure(chunkSize);
    }
}

bool RecordingReader::next(Record &record)
{
    using namespace RecordingFormat;
    for (;;) {
        if (state != Status::Ok || !file.isOpen())
            return false;
        const qint64 offset = bufferStart + position;
        // The longest a record can be: kind, time, length, 255 data bytes, checksum.
        ensure(3 + maxTimeBytes + 255 + 2);
        const int available = buffer.size() - position;
        if (available == 0) {
            if (file.error() != QFileDevice::NoError)
                setProblem(Status::Unreadable, QStringLiteral("%1: byte %2: %3")
                               .arg(file.fileName()).arg(offset).arg(file.errorString()));
            return false;
        }
        const char *bytes = buffer.constData() + position;
        auto cutOff = [&] {
            setProblem(Status::Truncated,
                       QStringLiteral("%1: the record at byte %2 is cut off after %3 bytes "
                                      "(the recording was interrupted); the %4 records before it are complete")
                           .arg(file.fileName()).arg(offset).arg(available).arg(records));
            return false;
        };
        auto damaged = [&](const QString &what) {
            setProblem(Status::Corrupt,
                       QStringLiteral("%1: the record at byte %2 is damaged (%3); the %4 records before it are good")
                           .arg(file.fileName()).arg(offset).arg(what).arg(records));
            return false;
        };

        const quint8 kind = quint8(bytes[0]);
        if (kind == 0) {
            // A file system may leave zeros where a crash cut the last writes short.
            if (restIsZero())
                return cutOff();
            return damaged(QStringLiteral("kind 0"));
        }
        int used = 1;
        quint64 delta = 0;
        bool beyond64Bits = false;
        int shift = 0;
        for (;;) {
            if (used >= available)
                return cutOff();
            if (used > maxTimeBytes)
                return damaged(QStringLiteral("a time longer than %1 bytes").arg(maxTimeBytes));
            const quint8 byte = quint8(bytes[used++]);
            // The tenth byte holds the 64th bit only.
            beyond64Bits = beyond64Bits || (shift == 63 && (byte & 0x7e));
            delta |= quint64(byte & 0x7f) << shift;
            shift += 7;
            if (!(byte & 0x80))
                break;
        }
        if (used >= available)
            return cutOff();
        const int length = quint8(bytes[used++]);
        if (available < used + length + 2)
            return cutOff();
        const quint16 sum = qFromLittleEndian<quint16>(bytes + used + length);
        if (sum != checksum(bytes, used + length)) {
            // A record begun and then zeros to the end of the file: the writes a crash cut
            // short, as a file system may leave them.
            if (sum == 0) {
                const int recordEnd = position + used + length + 2;
                position = recordEnd;
                if (restIsZero())
                    return cutOff();
            }
            return damaged(QStringLiteral("its checksum does not match"));
        }

        const bool report = kind == quint8(RecordKind::Report) || kind == quint8(RecordKind::Request);
        const bool known = report || kind == quint8(RecordKind::Device);
        if (report && length > reportSize)
            return damaged(QStringLiteral("%1 data bytes in a report").arg(length));
        // A checksum that matches by chance, or a file made to mislead, must not wrap the
        // running time or carry it past what a date can show.
        if (beyond64Bits || delta > maxRunningUs(head.startMsUtc) - timeUs)
            return damaged(QStringLiteral("its time, %1 microseconds after the previous record, is beyond what "
                                          "a date can show")
                               .arg(beyond64Bits ? QStringLiteral("more than 2^64") : QString::number(delta)));
        timeUs += delta;
        ++records;
        position += used + length + 2;
        if (!known)
            continue; // a kind of a later version: its time still counts
        record.kind = RecordKind(kind);
        record.timeUs = timeUs;
        record.offset = offset;
        if (report) {
            record.data = QByteArray(reportSize, '\0');
            std::memcpy(record.data.data(), bytes + used, size_t(length));
        } else {
            record.data = QByteArray(bytes + used, length);
        }
        return true;
    }
}
