#ifndef LINEFORMAT_H
#define LINEFORMAT_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// The pieces of tolvexctl's output lines.
namespace LineFormat {

// The current time, UTC, ISO 8601 with milliseconds: 2026-12-08T08:20:00.123Z.
QByteArray timestamp();
// The same for a time in ms since 1970.
QByteArray timestamp(qint64 msSinceEpoch);
// A CSV field: quoted (quotes doubled) when it holds a comma, a quote or a line break.
QByteArray csvField(const QString &text);
// A JSON string with its quotes.
QByteArray jsonString(const QString &text);
// Names made unique for use as keys: a repeated name gets "#2", "#3", ... appended.
QStringList uniqueNames(const QStringList &names);
// {"a":"1","b":"2"}: names (already unique) with their texts.
QByteArray jsonObject(const QStringList &names, const QStringList &texts);

} // namespace LineFormat

#endif // LINEFORMAT_H
