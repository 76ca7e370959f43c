#ifndef REPORTS_H
#define REPORTS_H

// Building input reports for window tests: byte 0 the report ID, byte 1 the id byte, then the
// payload bytes.

#include <QByteArray>
#include <QString>

#include <initializer_list>

inline QByteArray inputReport(int id, std::initializer_list<unsigned char> payload)
{
    QByteArray report(64, '\0');
    report[0] = 1;
    report[1] = static_cast<char>(id);
    int position = 2;
    for (unsigned char byte : payload)
        report[position++] = static_cast<char>(byte);
    return report;
}

// The lower-case hex text of a 64-byte report that starts with the given bytes.
inline QString hexOf(std::initializer_list<unsigned char> start)
{
    QByteArray report(64, '\0');
    int position = 0;
    for (unsigned char byte : start)
        report[position++] = static_cast<char>(byte);
    return QString::fromLatin1(report.toHex());
}

#endif // REPORTS_H
