#include "dataparser.h"

#include "scriptrunner.h"

// Placeholder: queues and announces nothing yet.
DataParser::DataParser(const CommandDescription &telemetry, int count, QObject *parent)
    : QThread(parent), maxPoints(count)
{
    yValues.reserve(telemetry.inNames.size());
}

DataParser::~DataParser() = default;

void DataParser::resetPlotData() {}
bool DataParser::decodeReport(const QByteArray &) { return false; }
int DataParser::queuedReports() { return 0; }
void DataParser::appendNewData(QByteArray) {}
void DataParser::stopParsing() { parsing = false; }
void DataParser::run() {}
void DataParser::fillPlotBuffers() {}
void DataParser::flushLogs() {}
