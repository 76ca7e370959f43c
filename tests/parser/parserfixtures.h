#ifndef PARSERFIXTURES_H
#define PARSERFIXTURES_H

#include "commanddescription.h"

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QList>
#include <QStringList>

// Small builders shared by the parser tests.

// A description from the JSON text of one "commands" entry.
inline CommandDescription describe(const char *json)
{
    return CommandDescription(QJsonDocument::fromJson(json).object());
}

// A 64-byte report: report number 1, the id byte, then the payload given in hex.
inline QByteArray reportOf(int id, const char *payloadHex = "")
{
    QByteArray report(64, '\0');
    report[0] = 1;
    report[1] = char(id);
    const QByteArray payload = QByteArray::fromHex(payloadHex);
    report.replace(2, payload.size(), payload);
    return report.left(64);
}

// The lines of a text file (empty if it cannot be read).
inline QStringList linesOf(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

inline QList<double> range(int from, int to)
{
    QList<double> numbers;
    for (int i = from; i <= to; ++i)
        numbers.append(i);
    return numbers;
}

#endif // PARSERFIXTURES_H
