#include "recordingdecoder.h"

#include "dataparser.h"
#include "sessioncsv.h"

#include <memory>

RecordingDecoder::RecordingDecoder(const CommandDescription &telemetry,
                                   const QList<CommandDescription> &descriptions)
    : telemetry(telemetry), descriptions(descriptions)
{
}

bool RecordingDecoder::decode(const QString &path, QIODevice *out)
{
    reports = 0;
    rows = 0;
    RecordingReader reader;
    opened = reader.open(path);
    if (!opened) {
        state = reader.status();
        error = reader.errorString();
        return false;
    }

    // The parser decodes on this thread: no plot window to keep, no per-value log files.
    DataParser parser(telemetry, 0, nullptr, false);
    if (telemetry.id == 0)
        parser.descriptions.insert(0, telemetry);
    for (const CommandDescription &description : qAsConst(descriptions))
        parser.descriptions.insert(description.id, description);
    auto owned = std::make_unique<SessionCsvWriter>(telemetry.inNames, telemetry.inUnits);
    SessionCsvWriter *csv = owned.get();
    csv->writeTo(out);
    // Record times count from the recording's start, whose wall-clock time the header holds.
    csv->setClock(reader.header().startMsUtc, 0);
    parser.setSessionLog(std::move(owned));

    RecordingReader::Record record;
    while (reader.next(record)) {
        if (record.kind != RecordingFormat::RecordKind::Report)
            continue;
        ++reports;
        parser.decodeReport(record.data, qint64(record.timeUs) * 1000);
        if (!parser.answers.isEmpty()) {
            std::lock_guard<std::mutex> lock(parser.stateLock);
            parser.answers.clear();
        }
    }
    rows = csv->rowCount();
    const bool written = csv->flush();
    state = reader.status();
    error = reader.errorString();
    if (!written && error.isEmpty())
        error = csv->errorString();
    return state == RecordingReader::Status::Ok && written;
}
