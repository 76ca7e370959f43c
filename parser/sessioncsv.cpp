#include "sessioncsv.h"

#include "reportclock.h"

#include <QDir>

namespace {

constexpr int bufferLimit = 64 * 1024;

// Milliseconds from nanoseconds, rounded down also before the clock's reference point.
qint64 floorMs(qint64 ns)
{
    return ns >= 0 ? ns / 1000000 : -((-ns + 999999) / 1000000);
}

} // namespace

SessionCsvWriter::SessionCsvWriter(const QStringList &names, const QStringList &units)
{
    // Reserved space stays through resize(0): no allocation per buffer written.
    buffer.reserve(bufferLimit + 4096);
    rowTexts.reserve(256);
    columns.reserve(names.size());
    for (int i = 0; i < names.size(); ++i) {
        const QString unit = units.value(i);
        columns.append(unit.isEmpty() ? names.at(i)
                                      : names.at(i) + QStringLiteral(" [") + unit + QLatin1Char(']'));
    }
}

SessionCsvWriter::~SessionCsvWriter()
{
    flush();
}

QString SessionCsvWriter::fileNameFor(const QDateTime &start)
{
    return QStringLiteral("session-") + start.toString(QStringLiteral("yyyyMMdd-HHmmss"))
        + QStringLiteral(".csv");
}

void SessionCsvWriter::writeToDirectory(const QString &dir)
{
    directory = dir;
    toDirectory = true;
    device = nullptr;
}

void SessionCsvWriter::writeTo(QIODevice *target)
{
    device = target;
    toDirectory = false;
}

void SessionCsvWriter::setClock(qint64 wallMs, qint64 monotonicNs)
{
    clockWallMs = wallMs;
    clockNs = monotonicNs;
    clockSet = true;
}

QString SessionCsvWriter::fileName() const
{
    return ownFile ? ownFile->fileName() : QString();
}

void SessionCsvWriter::appendField(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    appendField(out, utf8.constData(), utf8.size());
}

void SessionCsvWriter::appendField(QByteArray &out, const char *utf8, int size)
{
    // Most values are short texts that need no quotes: copied as they are. In UTF-8 the
    // bytes of a comma, a quote and the line breaks stand only for themselves.
    const char *end = utf8 + size;
    bool quote = false;
    for (const char *c = utf8; c != end && !quote; ++c)
        quote = *c == ',' || *c == '"' || *c == '\n' || *c == '\r';
    if (!quote) {
        out.append(utf8, size);
        return;
    }
    out += '"';
    for (const char *c = utf8; c != end; ++c) {
        if (*c == '"')
            out += '"';
        out += *c;
    }
    out += '"';
}

bool SessionCsvWriter::begin(qint64 monotonicNs)
{
    if (!clockSet)
        setClock(QDateTime::currentMSecsSinceEpoch(), monotonicNowNs());
    started = true;

    if (toDirectory) {
        const QDateTime first =
            QDateTime::fromMSecsSinceEpoch(clockWallMs + floorMs(monotonicNs - clockNs));
        const QDir dir(directory.isEmpty() ? QDir::currentPath() : directory);
        const QString base = fileNameFor(first);
        QString path = dir.filePath(base);
        for (int n = 2; QFile::exists(path); ++n)
            path = dir.filePath(base.chopped(4) + QStringLiteral("-%1.csv").arg(n));
        ownFile = std::make_unique<QFile>(path);
        // Created only now: an existing file is never touched.
        if (!ownFile->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            error = ownFile->errorString();
            return false;
        }
        device = ownFile.get();
    }
    if (!device)
        return false;

    buffer += "time,elapsed_s";
    for (const QString &column : qAsConst(columns)) {
        buffer += ',';
        appendField(buffer, column);
    }
    buffer += '\n';
    return true;
}

void SessionCsvWriter::appendTime(qint64 wallMs)
{
    // Formatting a local time is the costly part of a row; it changes once a second.
    const qint64 second = wallMs >= 0 ? wallMs / 1000 : (wallMs - 999) / 1000;
    if (second != cachedSecond) {
        cachedSecond = second;
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(second * 1000);
        cachedSecondText = local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
        const int offsetMinutes = local.offsetFromUtc() / 60;
        const int minutes = qAbs(offsetMinutes);
        cachedOffsetText = QByteArray(offsetMinutes < 0 ? "-" : "+")
                           + QByteArray::number(minutes / 60).rightJustified(2, '0') + ':'
                           + QByteArray::number(minutes % 60).rightJustified(2, '0');
    }
    const int ms = int(wallMs - second * 1000);
    buffer += cachedSecondText;
    const char digits[5] = {'.', char('0' + ms / 100), char('0' + ms / 10 % 10), char('0' + ms % 10), 0};
    buffer += digits;
    buffer += cachedOffsetText;
}

void SessionCsvWriter::appendRow(qint64 monotonicNs, const QStringList &texts)
{
    rowTexts.resize(0);
    rowEnds.resize(0);
    for (const QString &text : texts) {
        rowTexts += text.toUtf8();
        rowEnds.append(rowTexts.size());
    }
    appendRow(monotonicNs, rowTexts.constData(), rowEnds.constData(), rowEnds.size());
}

void SessionCsvWriter::appendRow(qint64 monotonicNs, const char *texts, const int *ends, int count)
{
    if (!started && !begin(monotonicNs))
        return;
    if (!device || !error.isEmpty())
        return;

    if (rows == 0)
        firstNs = monotonicNs;
    appendTime(clockWallMs + floorMs(monotonicNs - clockNs));
    buffer += ',';
    const qint64 elapsedUs = qMax<qint64>(0, (monotonicNs - firstNs) / 1000);
    buffer += QByteArray::number(elapsedUs / 1000000);
    buffer += '.';
    const QByteArray fraction = QByteArray::number(elapsedUs % 1000000);
    buffer += QByteArray(6 - fraction.size(), '0');
    buffer += fraction;
    int start = 0;
    for (int i = 0; i < columns.size(); ++i) {
        buffer += ',';
        if (i < count) {
            appendField(buffer, texts + start, ends[i] - start);
            start = ends[i];
        }
    }
    buffer += '\n';
    ++rows;
    if (buffer.size() >= bufferLimit) {
        if (device->write(buffer) != buffer.size())
            error = device->errorString();
        buffer.resize(0);
    }
}

void SessionCsvWriter::writeHeader()
{
    if (!started)
        begin(monotonicNowNs());
}

bool SessionCsvWriter::flush()
{
    if (!device)
        return buffer.isEmpty();
    if (!buffer.isEmpty()) {
        if (device->write(buffer) != buffer.size() && error.isEmpty())
            error = device->errorString();
        buffer.resize(0);
    }
    // A file keeps a buffer of its own: what it cannot hand on is lost as surely.
    if (auto *file = qobject_cast<QFileDevice *>(device)) {
        if (!file->flush() && error.isEmpty())
            error = file->errorString();
    }
    return error.isEmpty();
}
