#ifndef DATAPARSER_H
#define DATAPARSER_H

#include "commanddescription.h"
#include "decodedanswer.h"
#include "reportdecoder.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QMap>
#include <QQueue>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class ScriptRunner;
class SessionCsvWriter;

// The thread between the transport and the views: queues every 64-byte report, decodes them
// one by one in arrival order, runs the value scripts, slides the plot buffers, appends each
// telemetry value to its log file and announces every decoded report with dataReady().
class DataParser : public QThread
{
    Q_OBJECT

public:
    // valueLogs false: no per-value log files (decoding a recording without a window).
    DataParser(const CommandDescription &telemetry, int count, QObject *parent = nullptr,
               bool valueLogs = true);
    ~DataParser() override;

    // Filled by the owner before the thread starts; read without a lock afterwards.
    QMap<int, CommandDescription> descriptions;

    // Decoded state; read and written only with stateLock held.
    std::mutex stateLock;
    QByteArray lastReport;
    QList<double> xValues;
    QList<QList<double>> yValues;
    quint64 sampleCounter = 0;
    QStringList values;
    int lastId = -1;
    // Every decoded answer (id byte not 0) in order, until the window takes it.
    QQueue<DecodedAnswer> answers;

    // Under stateLock, from the main thread: the plots start afresh.
    void resetPlotData();

    // Decodes one report on the calling thread; true when its id has a description. Scripts
    // run in an engine tied to the first thread that decodes, so call it from one thread only
    // (the parser's own once it runs).
    bool decodeReport(const QByteArray &report);
    // The same for a report that arrived at arrivedNs on the report clock (reportclock.h).
    bool decodeReport(const QByteArray &report, qint64 arrivedNs);

    // Before the thread starts: every decoded telemetry report also becomes a row of this
    // session file, which the parser flushes with its log files and closes when destroyed.
    void setSessionLog(std::unique_ptr<SessionCsvWriter> writer);
    // Before the thread starts: plot abscissae are seconds since the first telemetry report
    // instead of sample numbers, and the plot buffers start empty rather than with zeros.
    void setTimeAxis(bool on);

    // Before the thread starts: called on the parser thread with every decoded telemetry
    // report, after its scripts: the time it arrived (report clock), each value's number and
    // its text. No lock is held; it must return at once, for the next report waits for it.
    using TelemetryListener =
        std::function<void(qint64 arrivedNs, const ReportDecoder::Fields &fields, const QStringList &texts)>;
    void setTelemetryListener(TelemetryListener listener);

    // Reports queued and not yet decoded (for benchmarks and tests).
    int queuedReports();

    // The file name a parameter's log gets: its name with ".csv", path separators replaced,
    // so that every log lands in the working directory.
    static QString logFileName(const QString &parameterName);
    // The log file names of the telemetry values in order: logFileName, except that a name
    // already given to an earlier value gets "_2", "_3", ... (the first free one) before
    // ".csv", so that every value has a file of its own.
    static QStringList logFileNames(const QStringList &parameterNames);

    // The log files that could not be opened, or not written, when the parser was made.
    QStringList logFilesFailedAtStart() const;

    // Longest time a decoded log line waits in memory before it is written to its file.
    static constexpr std::chrono::milliseconds logFlushInterval{500};
    // After stopParsing(), the reports still queued are decoded and written for at most this
    // long; those left then are dropped.
    static constexpr std::chrono::milliseconds stopDecodeLimit{2000};
    // Reports that were queued when the thread ended and never decoded (the stop's time limit
    // ran out). Read after the thread has finished.
    int reportsDroppedAtStop();

signals:
    void dataReady();
    // Writing to a log file or the session file failed (a full disk, for one); emitted from
    // the parser thread, once per file and never for a file that logFilesFailedAtStart() names.
    void logFileFailed(const QString &fileName);

public slots:
    void appendNewData(QByteArray data);
    // The same for a report stamped where it was read (a reading of the report clock).
    void appendNewData(QByteArray data, qint64 receivedNs);
    void stopParsing();

protected:
    void run() override;

private:
    void fillPlotBuffers();
    void writeLogLine(int index, const QString &text, ParamView view);
    void flushLogs();
    void flushLogsIfDue();
    void noteLogFailure(int index);
    void noteSessionLogFailure();
    void decodeLeftovers();

    struct QueuedReport
    {
        QByteArray report;
        qint64 arrivedNs;
    };

    int maxPoints;
    std::mutex queueLock;
    std::condition_variable queueChanged;
    QQueue<QueuedReport> queue;
    std::atomic<bool> parsing{true};
    // Set by a stopParsing() that comes after start() but before run() has begun, so that
    // such a stop is not lost (run() sets parsing on entry).
    bool stopRequested = false;
    bool runActive = false;
    int droppedAtStop = 0; // under queueLock
    std::unique_ptr<ScriptRunner> scripts;
    QVector<QFile *> logFiles;
    QStringList failedAtStart;
    QVector<bool> logFailed; // used only by the decoding thread once it runs
    std::unique_ptr<SessionCsvWriter> sessionLog;
    bool sessionLogFailed = false; // used only by the decoding thread once it runs
    bool timeAxis = false;
    TelemetryListener telemetryListener;
    qint64 firstTelemetryNs = -1; // under stateLock
    // Used only by the decoding thread: when the oldest unwritten log line was decoded.
    bool logsPending = false;
    std::chrono::steady_clock::time_point logsPendingSince;
};

#endif // DATAPARSER_H
