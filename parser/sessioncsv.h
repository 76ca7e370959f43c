#ifndef SESSIONCSV_H
#define SESSIONCSV_H

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QIODevice>
#include <QStringList>
#include <QVector>

#include <memory>

// The session file: one CSV row per telemetry report with its time. The header is "time",
// "elapsed_s", then each telemetry value's name with its units in brackets when it has some;
// a row is the report's local time (ISO 8601 with milliseconds and the offset from UTC, so
// that the hour a clock goes back is no ambiguity), the seconds since the first row, and each
// value's text as the window shows it. Fields are quoted as RFC 4180 asks;
// the text is UTF-8, lines end with "\n".
//
// Rows are formatted into a buffer and reach the device when it grows large or at flush();
// the owner flushes on its own schedule. Used by one thread at a time.
class SessionCsvWriter
{
public:
    SessionCsvWriter(const QStringList &names, const QStringList &units);
    ~SessionCsvWriter();

    // "session-YYYYMMDD-HHMMSS.csv" for a session that began at the given local time.
    static QString fileNameFor(const QDateTime &start);

    // Writes into a file of its own, created in directory (the working directory when empty)
    // with the first row and named after that row's time; a name already taken gets "-2",
    // "-3" ... before ".csv".
    void writeToDirectory(const QString &directory = QString());
    // Writes into a device the caller owns and keeps open (standard output, a buffer).
    void writeTo(QIODevice *device);

    // How report-clock readings map to the wall clock: wallMs at monotonicNs. Unset, the
    // mapping is taken from both clocks at the first row.
    void setClock(qint64 wallMs, qint64 monotonicNs);

    // One row for a telemetry report stamped monotonicNs on the report clock.
    void appendRow(qint64 monotonicNs, const QStringList &texts);
    // The same from the values' texts in UTF-8, laid end to end in texts: the text of value i
    // ends at ends[i] and starts where that of value i - 1 ends. Values from count on are
    // empty.
    void appendRow(qint64 monotonicNs, const char *texts, const int *ends, int count);
    // Writes the header now, before any row (to a device given by writeTo()).
    void writeHeader();
    // Hands what is buffered to the device and flushes it. False when writing failed.
    bool flush();

    QString fileName() const;
    qint64 rowCount() const { return rows; }
    // Empty while writing goes well.
    QString errorString() const { return error; }

    // A CSV field: as it is, or in double quotes with quotes doubled when it holds a comma,
    // a quote or a line break.
    static void appendField(QByteArray &out, const QString &text);
    static void appendField(QByteArray &out, const char *utf8, int size);

private:
    bool begin(qint64 monotonicNs);
    void appendTime(qint64 wallMs);

    QStringList columns;
    QIODevice *device = nullptr;
    std::unique_ptr<QFile> ownFile;
    QString directory;
    bool toDirectory = false;
    bool started = false;
    bool clockSet = false;
    qint64 clockWallMs = 0;
    qint64 clockNs = 0;
    qint64 firstNs = 0;
    qint64 rows = 0;
    QByteArray buffer;
    QString error;
    // The local time text of the last whole second formatted, reused for rows in it, and
    // its offset from UTC.
    qint64 cachedSecond = -1;
    QByteArray cachedSecondText;
    QByteArray cachedOffsetText;
    // Reused by the QStringList form of appendRow.
    QByteArray rowTexts;
    QVector<int> rowEnds;
};

#endif // SESSIONCSV_H
