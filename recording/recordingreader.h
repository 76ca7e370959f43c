#ifndef RECORDINGREADER_H
#define RECORDINGREADER_H

#include "recordingformat.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Reads a recording record by record, without holding it in memory. Whatever is wrong with a
// file is told with the byte offset where it was found: a foreign file or a damaged header
// fails open(); a record cut off (a recording interrupted by a crash) or damaged ends the
// records before it, and status() and errorString() say so.
class RecordingReader
{
public:
    enum class Status {
        Ok,        // reading; at the end, every record was complete
        Truncated, // the file ends inside a record: the records before it are all there
        Corrupt,   // a record or the header does not check out
        Foreign,   // not a recording, or of a version this program does not read
        Unreadable // the file cannot be opened or read
    };

    struct Record
    {
        RecordingFormat::RecordKind kind = RecordingFormat::RecordKind::Report;
        quint64 timeUs = 0;  // since the recording began
        QByteArray data;     // 64 bytes for reports and requests; a device record's as stored
        qint64 offset = 0;   // where the record starts in the file
    };

    bool open(const QString &path);
    const RecordingFormat::Header &header() const { return head; }

    // The next report, request or device change; false at the end of the file or at a
    // problem. Records of kinds this version does not know are skipped.
    bool next(Record &record);

    Status status() const { return state; }
    // Empty while nothing is wrong; otherwise what is wrong and where.
    QString errorString() const { return error; }
    // Records read so far (those skipped included).
    qint64 recordCount() const { return records; }
    QString fileName() const { return file.fileName(); }

private:
    // Makes at least count bytes available from position; false at the end of the file.
    bool ensure(int count);
    // Whether every byte from position to the end of the file is zero (moves position).
    bool restIsZero();
    void setProblem(Status status, const QString &message);

    QFile file;
    RecordingFormat::Header head;
    QByteArray buffer;
    int position = 0;       // in buffer
    qint64 bufferStart = 0; // file offset of buffer[0]
    bool atEnd = false;
    quint64 timeUs = 0;
    qint64 records = 0;
    Status state = Status::Ok;
    QString error;
};

#endif // RECORDINGREADER_H
