#include "dataparser.h"

#include "configuration.h"
#include "fieldcodec.h"
#include "reportclock.h"
#include "reportdecoder.h"
#include "reportlayout.h"
#include "scriptrunner.h"
#include "sessioncsv.h"
#include "systemfilenames.h"

#include <QFileInfo>
#include <QSet>
#include <QVarLengthArray>

namespace {

using ReportLayout::payloadStart;
constexpr int reportSize = ReportLayout::size;

} // namespace

DataParser::DataParser(const CommandDescription &telemetry, int count, QObject *parent,
                       bool valueLogs)
    : QThread(parent),
      // A negative window length would leave nothing to prefill and nothing to slide; one
      // beyond the cap would reserve more than memory holds.
      maxPoints(qBound(0, count, Configuration::maxPlotXPointsCap)),
      scripts(new ScriptRunner)
{
    for (int k = 0; k < telemetry.inNames.size(); ++k)
        yValues.append(QList<double>());
    fillPlotBuffers();

    if (!valueLogs)
        return;
    const QStringList fileNames = logFileNames(telemetry.inNames);
    logFiles.reserve(fileNames.size());
    for (const QString &fileName : fileNames) {
        auto *file = new QFile(fileName);
        // A log that cannot be opened or written is named by logFilesFailedAtStart(); one that
        // cannot be opened is skipped. Decoding and display go on.
        const bool written = file->open(QIODevice::Append | QIODevice::Text)
                             && file->write("\n\n\n") == 3 && file->flush();
        if (!written)
            failedAtStart.append(fileName);
        logFailed.append(!written);
        logFiles.append(file);
    }
}

DataParser::~DataParser()
{
    if (isRunning()) {
        stopParsing();
        quit();
        wait();
    }
    // The parser thread releases queueLock last, after its final log writes; taking it here
    // orders those writes before the files are closed in a way that thread checkers see too
    // (QThread::wait() synchronises inside QtCore, out of their sight).
    { std::lock_guard<std::mutex> fence(queueLock); }
    // Deleting a file closes it, which writes what it still holds.
    qDeleteAll(logFiles);
    sessionLog.reset();
}

void DataParser::setSessionLog(std::unique_ptr<SessionCsvWriter> writer)
{
    sessionLog = std::move(writer);
}

void DataParser::setTelemetryListener(TelemetryListener listener)
{
    telemetryListener = std::move(listener);
}

void DataParser::setTimeAxis(bool on)
{
    std::lock_guard<std::mutex> guard(stateLock);
    timeAxis = on;
    fillPlotBuffers();
}

QString DataParser::logFileName(const QString &parameterName)
{
    QString name = parameterName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    return withoutReservedCharacters(name) + QLatin1String(".csv");
}

QStringList DataParser::logFileNames(const QStringList &parameterNames)
{
    QStringList fileNames;
    QSet<QString> taken;
    for (const QString &parameterName : parameterNames) {
        QString fileName = logFileName(parameterName);
        if (taken.contains(sameFileKey(fileName))) {
            // Two values must never share a file: a name already given out gets the first
            // free number, "t.csv" then "t_2.csv", "t_3.csv".
            const QString stem = fileName.chopped(4);
            for (qint64 number = 2; taken.contains(sameFileKey(fileName)); ++number)
                fileName = stem + QLatin1Char('_') + QString::number(number) + QLatin1String(".csv");
        }
        taken.insert(sameFileKey(fileName));
        fileNames.append(fileName);
    }
    return fileNames;
}

QStringList DataParser::logFilesFailedAtStart() const
{
    return failedAtStart;
}

void DataParser::fillPlotBuffers()
{
    // On a time axis there is no history to stand for: the plots start empty.
    const int prefill = timeAxis ? 0 : maxPoints;
    for (QList<double> &samples : yValues) {
        samples.clear();
        samples.reserve(2 * maxPoints);
        for (int i = 0; i < prefill; ++i)
            samples.append(0.0);
    }
    xValues.clear();
    xValues.reserve(2 * maxPoints);
    for (int i = 0; i < prefill; ++i)
        xValues.append(double(i - maxPoints));
}

void DataParser::resetPlotData()
{
    std::lock_guard<std::mutex> guard(stateLock);
    fillPlotBuffers();
    sampleCounter = 0;
}

bool DataParser::decodeReport(const QByteArray &data)
{
    return decodeReport(data, monotonicNowNs());
}

bool DataParser::decodeReport(const QByteArray &data, qint64 arrivedNs)
{
    // Fields are read from the 64 bytes of a report only, and never past a short one.
    const QByteArray report = data.size() > reportSize ? data.left(reportSize) : data;
    const int id = report.size() > 1 ? int(quint8(report.at(1))) : -1;
    const auto found = id >= 0 ? descriptions.constFind(id) : descriptions.constEnd();
    if (found == descriptions.constEnd() || found->id == -1) {
        std::lock_guard<std::mutex> guard(stateLock);
        lastReport = report;
        values.clear();
        lastId = id;
        return false;
    }

    // Decoding and the scripts run without the state lock, which the window takes every tick
    // and for every answer: a slow script delays only the parser, never the window. The
    // decoded report is published under the lock at the end.
    const CommandDescription &description = found.value();
    const bool telemetry = description.id == 0;
    const bool logging = id == 0;
    QStringList texts;
    ReportDecoder::Fields fields;
    ReportDecoder::decodeWith(*scripts, description, report, &fields, &texts);
    QVarLengthArray<double, 32> samples;
    if (telemetry) {
        for (const FieldCodec::Field &field : qAsConst(fields))
            samples.append(field.value);
    }
    if (logging) {
        const int logged = qMin(texts.size(), logFiles.size());
        for (int k = 0; k < logged; ++k)
            writeLogLine(k, texts.at(k), description.inViews.at(k));
    }

    // The session file, like the value logs, is the parser thread's own.
    if (telemetry && logging && sessionLog) {
        sessionLog->appendRow(arrivedNs, texts);
        noteSessionLogFailure();
        if (!logsPending) {
            logsPending = true;
            logsPendingSince = std::chrono::steady_clock::now();
        }
    }
    if (telemetry && logging && telemetryListener)
        telemetryListener(arrivedNs, fields, texts);

    std::lock_guard<std::mutex> guard(stateLock);
    lastReport = report;
    lastId = id;
    if (telemetry) {
        const int plotted = qMin(int(samples.size()), yValues.size());
        for (int k = 0; k < plotted; ++k) {
            QList<double> &plot = yValues[k];
            if (plot.size() > maxPoints)
                plot.removeFirst();
            plot.append(samples[k]);
        }
        if (xValues.size() > maxPoints)
            xValues.removeFirst();
        if (firstTelemetryNs < 0)
            firstTelemetryNs = arrivedNs;
        xValues.append(timeAxis ? double(arrivedNs - firstTelemetryNs) / 1e9 : double(sampleCounter));
        ++sampleCounter;
    }
    if (id != 0)
        answers.enqueue(DecodedAnswer{id, texts, report});
    values = std::move(texts);
    return true;
}

void DataParser::writeLogLine(int index, const QString &text, ParamView view)
{
    QFile *file = logFiles.at(index);
    if (!file->isOpen())
        return;
    // Only a str text can hold more than ASCII, which every local encoding shares; only a str
    // text can hold a line break, which would split the report's line in two.
    QByteArray line;
    if (view == ViewStr) {
        QString oneLine = text;
        oneLine.replace(QLatin1Char('\r'), QLatin1Char(' '));
        oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
        line = oneLine.toLocal8Bit();
    } else {
        line = text.toLatin1();
    }
    line += '\n';
    if (file->write(line) < 0)
        noteLogFailure(index);
    if (!logsPending) {
        logsPending = true;
        logsPendingSince = std::chrono::steady_clock::now();
    }
}

int DataParser::queuedReports()
{
    std::lock_guard<std::mutex> guard(queueLock);
    return queue.size();
}

void DataParser::appendNewData(QByteArray data)
{
    // Stamped as it arrives, not when decoded: the queue may hold many reports.
    appendNewData(std::move(data), monotonicNowNs());
}

void DataParser::appendNewData(QByteArray data, qint64 receivedNs)
{
    {
        std::lock_guard<std::mutex> guard(queueLock);
        queue.enqueue(QueuedReport{std::move(data), receivedNs});
    }
    queueChanged.notify_one();
}

void DataParser::stopParsing()
{
    {
        std::lock_guard<std::mutex> guard(queueLock);
        parsing = false;
        if (isRunning() && !runActive)
            stopRequested = true;
    }
    queueChanged.notify_all();
}

void DataParser::flushLogs()
{
    for (int k = 0; k < logFiles.size(); ++k) {
        if (logFiles.at(k)->isOpen() && !logFiles.at(k)->flush())
            noteLogFailure(k);
    }
    if (sessionLog) {
        sessionLog->flush();
        noteSessionLogFailure();
    }
    logsPending = false;
}

void DataParser::noteSessionLogFailure()
{
    // The session file stops at its first failure (a row half written would break the CSV);
    // said once, by its name.
    if (sessionLogFailed || sessionLog->errorString().isEmpty())
        return;
    sessionLogFailed = true;
    emit logFileFailed(QFileInfo(sessionLog->fileName()).fileName());
}

void DataParser::noteLogFailure(int index)
{
    // Said once per file; writing goes on, in case the disk gets room again.
    if (logFailed.at(index))
        return;
    logFailed[index] = true;
    emit logFileFailed(logFiles.at(index)->fileName());
}

void DataParser::flushLogsIfDue()
{
    if (logsPending && std::chrono::steady_clock::now() - logsPendingSince >= logFlushInterval)
        flushLogs();
}

int DataParser::reportsDroppedAtStop()
{
    std::lock_guard<std::mutex> guard(queueLock);
    return droppedAtStop;
}

void DataParser::decodeLeftovers()
{
    // What was received before the stop belongs in the log files and the session file as much
    // as what came before it: a fast device leaves thousands of reports queued when the window
    // closes. The time is bounded, so that closing never hangs on a backlog.
    const auto deadline = std::chrono::steady_clock::now() + stopDecodeLimit;
    for (;;) {
        QueuedReport report;
        {
            std::lock_guard<std::mutex> guard(queueLock);
            if (queue.isEmpty())
                return;
            if (std::chrono::steady_clock::now() >= deadline) {
                droppedAtStop = queue.size();
                queue.clear();
                return;
            }
            report = queue.dequeue();
        }
        if (decodeReport(report.report, report.arrivedNs))
            emit dataReady();
        flushLogsIfDue();
    }
}

void DataParser::run()
{
    {
        std::lock_guard<std::mutex> guard(queueLock);
        parsing = !stopRequested;
        stopRequested = false;
        runActive = true;
    }

    while (parsing) {
        QueuedReport report;
        {
            std::unique_lock<std::mutex> guard(queueLock);
            const auto ready = [this] { return !parsing || !queue.isEmpty(); };
            // Idle: sleep until a report or a stop arrives, or until pending log lines are due.
            if (logsPending)
                queueChanged.wait_until(guard, logsPendingSince + logFlushInterval, ready);
            else
                queueChanged.wait(guard, ready);
            if (!parsing)
                break;
            if (queue.isEmpty()) {
                guard.unlock();
                flushLogsIfDue();
                continue;
            }
            report = queue.dequeue();
        }
        if (decodeReport(report.report, report.arrivedNs))
            emit dataReady();
        flushLogsIfDue();
    }

    decodeLeftovers();
    flushLogs();
    std::lock_guard<std::mutex> guard(queueLock);
    runActive = false;
}
