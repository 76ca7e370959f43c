#include "recordingdecoder.h"

#include "reportdecoder.h"
#include "reportlayout.h"
#include "sessioncsv.h"

#include <QThread>
#include <QVector>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace {

// Telemetry reports whose values are decoded (scripts run), waiting for their texts.
struct Batch
{
    QVector<qint64> timesNs;
    QVector<QByteArray> reports;
    QVector<FieldCodec::Field> fields; // fieldsPerReport per report, in report order
};

constexpr int reportsPerBatch = 1024;
// Batches decoded ahead of the writer: bounds memory whatever the file's size.
constexpr std::size_t batchesAhead = 8;

// Hands batches from the thread that reads and decodes to the one that writes the CSV.
class BatchQueue
{
public:
    // False when the reader is to stop (the CSV can no longer be written).
    bool push(std::unique_ptr<Batch> batch)
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return cancelled || batches.size() < batchesAhead; });
        if (cancelled)
            return false;
        batches.push_back(std::move(batch));
        changed.notify_all();
        return true;
    }
    // Null once every batch has been taken and the reader has finished.
    std::unique_ptr<Batch> pop()
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return finished || !batches.empty(); });
        if (batches.empty())
            return nullptr;
        std::unique_ptr<Batch> batch = std::move(batches.front());
        batches.pop_front();
        changed.notify_all();
        return batch;
    }
    void finish()
    {
        std::lock_guard<std::mutex> guard(lock);
        finished = true;
        changed.notify_all();
    }
    void cancel()
    {
        std::lock_guard<std::mutex> guard(lock);
        cancelled = true;
        changed.notify_all();
    }

private:
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::unique_ptr<Batch>> batches;
    bool finished = false;
    bool cancelled = false;
};

} // namespace

RecordingDecoder::RecordingDecoder(const CommandDescription &telemetry,
                                   const QList<CommandDescription> &descriptions)
    : telemetry(telemetry), descriptions(descriptions)
{
}

bool RecordingDecoder::decode(const QString &path, QIODevice *out)
{
    reports = 0;
    rows = 0;
    writeError.clear();
    RecordingReader reader;
    opened = reader.open(path);
    if (!opened) {
        state = reader.status();
        error = reader.errorString();
        return false;
    }

    // Every report is decoded, in order, as the window decodes it: answers too, since their
    // scripts may set globals that telemetry scripts read. A later entry with the same id
    // replaces an earlier one, the telemetry given here first.
    QList<CommandDescription> byId = descriptions;
    if (telemetry.id == 0)
        byId.prepend(telemetry);
    const CommandDescription *rowDescription = nullptr;
    for (const CommandDescription &description : qAsConst(byId)) {
        if (description.id == 0)
            rowDescription = &description;
    }
    const int fieldsPerReport = rowDescription ? ReportDecoder::fieldCount(*rowDescription) : 0;

    SessionCsvWriter csv(telemetry.inNames, telemetry.inUnits);
    csv.writeTo(out);
    // Record times count from the recording's start, whose wall-clock time the header holds.
    csv.setClock(reader.header().startMsUtc, 0);
    // The columns come first, also when no report follows.
    csv.writeHeader();

    // Reading, checking and the scripts on one thread; the texts and the CSV on this one.
    // Scripts must see the reports in order, so they stay on one thread.
    BatchQueue queue;
    QScopedPointer<QThread> decoding(QThread::create([&] {
        ReportDecoder decoder(byId);
        ReportDecoder::Fields fields;
        auto batch = std::make_unique<Batch>();
        RecordingReader::Record record;
        while (reader.next(record)) {
            if (record.kind != RecordingFormat::RecordKind::Report)
                continue;
            ++reports;
            const CommandDescription *description = decoder.decodeFields(record.data, &fields);
            if (!description || description->id != 0)
                continue;
            // The reader hands out no time whose nanoseconds exceed 64 bits.
            batch->timesNs.append(qint64(record.timeUs) * 1000);
            batch->reports.append(record.data.left(ReportLayout::size));
            for (int k = 0; k < fieldsPerReport; ++k)
                batch->fields.append(k < fields.size() ? fields[k] : FieldCodec::Field());
            if (batch->timesNs.size() == reportsPerBatch) {
                if (!queue.push(std::move(batch)))
                    break;
                batch = std::make_unique<Batch>();
            }
        }
        // After a refused hand-over there is no batch left.
        if (batch && !batch->timesNs.isEmpty())
            queue.push(std::move(batch));
        queue.finish();
    }));
    decoding->start();

    QByteArray texts;
    texts.reserve(1024);
    QVector<int> ends(fieldsPerReport);
    while (std::unique_ptr<Batch> batch = queue.pop()) {
        for (int n = 0; n < batch->timesNs.size(); ++n) {
            const QByteArray &report = batch->reports.at(n);
            const FieldCodec::Field *fields = batch->fields.constData() + n * fieldsPerReport;
            texts.resize(0);
            int pos = ReportLayout::payloadStart;
            for (int k = 0; k < fieldsPerReport; ++k) {
                const ParamType type = rowDescription->inTypes.at(k);
                FieldCodec::appendText(texts, fields[k], rowDescription->inViews.at(k), report, pos, type);
                ends[k] = texts.size();
                pos += FieldCodec::width(type);
            }
            csv.appendRow(batch->timesNs.at(n), texts.constData(), ends.constData(), fieldsPerReport);
        }
        // Once the output fails nothing more can be written: the reader stops too.
        if (!csv.errorString().isEmpty())
            queue.cancel();
    }
    decoding->wait();

    rows = csv.rowCount();
    const bool written = csv.flush();
    state = reader.status();
    error = reader.errorString();
    if (!written)
        writeError = csv.errorString();
    return state == RecordingReader::Status::Ok && written;
}
