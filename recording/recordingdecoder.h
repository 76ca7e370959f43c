#ifndef RECORDINGDECODER_H
#define RECORDINGDECODER_H

#include "commanddescription.h"
#include "recordingreader.h"

#include <QList>
#include <QString>

class QIODevice;

// Turns a recording into its session CSV, decoding the recorded reports with the descriptions
// given (the configuration in force now, not the one the recording was made under). Rows
// carry the recorded times. Scripts keep their globals across reports, as in a live session.
class RecordingDecoder
{
public:
    RecordingDecoder(const CommandDescription &telemetry, const QList<CommandDescription> &descriptions);

    // Writes the header and one row per telemetry report to out (the header alone for a
    // recording without reports). False when the file could not be read at all, when its
    // records end in damage or a cut (the rows before are written; errorString() says what
    // and where) or when out could not be written (outputError()).
    bool decode(const QString &path, QIODevice *out);

    // Whether the file opened as a recording; false: nothing was written.
    bool headerRead() const { return opened; }
    RecordingReader::Status status() const { return state; }
    QString errorString() const { return error; }
    // Why out could not be written; empty when every row reached it.
    QString outputError() const { return writeError; }
    qint64 reportsRead() const { return reports; }
    qint64 rowsWritten() const { return rows; }

private:
    CommandDescription telemetry;
    QList<CommandDescription> descriptions;
    bool opened = false;
    RecordingReader::Status state = RecordingReader::Status::Ok;
    QString error;
    QString writeError;
    qint64 reports = 0;
    qint64 rows = 0;
};

#endif // RECORDINGDECODER_H
