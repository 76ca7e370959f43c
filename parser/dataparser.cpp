#include "dataparser.h"

#include "fieldcodec.h"
#include "reportclock.h"
#include "reportlayout.h"
#include "scriptrunner.h"
#include "sessioncsv.h"

namespace {

using ReportLayout::payloadStart;
constexpr int reportSize = ReportLayout::size;

} // namespace

DataParser::DataParser(const CommandDescription &telemetry, int count, QObject *parent,
                       bool valueLogs)
    : QThread(parent),
      // A negative window length would leave nothing to prefill and nothing to slide.
      maxPoints(qMax(0, count)),
      scripts(new ScriptRunner)
{
    for (int k = 0; k < telemetry.inNames.size(); ++k)
        yValues.append(QList<double>());
    fillPlotBuffers();

    if (!valueLogs)
        return;
    logFiles.reserve(telemetry.inNames.size());
    for (const QString &name : telemetry.inNames) {
        auto *file = new QFile(logFileName(name));
        // A log that cannot be opened is skipped; decoding and display go on.
        if (file->open(QIODevice::Append | QIODevice::Text)) {
            file->write("\n\n\n");
            file->flush();
        }
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
#ifdef Q_OS_WIN
    name.replace(QLatin1Char(':'), QLatin1Char('_'));
#endif
    return name + QLatin1String(".csv");
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

    std::lock_guard<std::mutex> guard(stateLock);
    lastReport = report;
    values.clear();
    const int id = report.size() > 1 ? int(quint8(report.at(1))) : -1;
    lastId = id;
    const auto found = id >= 0 ? descriptions.constFind(id) : descriptions.constEnd();
    if (found == descriptions.constEnd() || found->id == -1)
        return false;

    const CommandDescription &description = found.value();
    const bool telemetry = description.id == 0;
    const bool logging = lastId == 0;
    const int count = qMin(qMin(description.inTypes.size(), description.inViews.size()),
                           description.inScripts.size());
    values.reserve(count);
    int pos = payloadStart;
    for (int k = 0; k < count; ++k) {
        const ParamType type = description.inTypes.at(k);
        FieldCodec::Field field = FieldCodec::read(report, pos, type);

        const QString &script = description.inScripts.at(k);
        if (!script.isEmpty())
            field.value = scripts->run(script, field.value);

        if (telemetry && k < yValues.size()) {
            QList<double> &samples = yValues[k];
            if (samples.size() > maxPoints)
                samples.removeFirst();
            samples.append(field.value);
        }

        QString text = FieldCodec::text(field, description.inViews.at(k), report, pos, type);
        if (logging && k < logFiles.size() && logFiles.at(k)->isOpen()) {
            // Only a str text can hold more than ASCII, which every local encoding shares.
            QByteArray line = description.inViews.at(k) == ViewStr ? text.toLocal8Bit() : text.toLatin1();
            line += '\n';
            logFiles.at(k)->write(line);
            if (!logsPending) {
                logsPending = true;
                logsPendingSince = std::chrono::steady_clock::now();
            }
        }
        values.append(std::move(text));
        pos += FieldCodec::width(type);
    }

    if (telemetry) {
        if (xValues.size() > maxPoints)
            xValues.removeFirst();
        if (firstTelemetryNs < 0)
            firstTelemetryNs = arrivedNs;
        xValues.append(timeAxis ? double(arrivedNs - firstTelemetryNs) / 1e9 : double(sampleCounter));
        ++sampleCounter;
        if (sessionLog && logging) {
            sessionLog->appendRow(arrivedNs, values);
            if (!logsPending) {
                logsPending = true;
                logsPendingSince = std::chrono::steady_clock::now();
            }
        }
    }
    if (id != 0)
        answers.enqueue(DecodedAnswer{id, values, report});
    return true;
}

int DataParser::queuedReports()
{
    std::lock_guard<std::mutex> guard(queueLock);
    return queue.size();
}

void DataParser::appendNewData(QByteArray data)
{
    {
        std::lock_guard<std::mutex> guard(queueLock);
        // Stamped as it arrives, not when decoded: the queue may hold many reports.
        queue.enqueue(QueuedReport{std::move(data), monotonicNowNs()});
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
    for (QFile *file : qAsConst(logFiles)) {
        if (file->isOpen())
            file->flush();
    }
    if (sessionLog)
        sessionLog->flush();
    logsPending = false;
}

void DataParser::flushLogsIfDue()
{
    if (logsPending && std::chrono::steady_clock::now() - logsPendingSince >= logFlushInterval)
        flushLogs();
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

    flushLogs();
    std::lock_guard<std::mutex> guard(queueLock);
    runActive = false;
}
