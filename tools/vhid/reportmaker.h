#ifndef REPORTMAKER_H
#define REPORTMAKER_H

#include "commanddescription.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// What the virtual device says: telemetry reports generated from the configuration's id-0
// entry, and the answer to a request. Every report it makes is 64 bytes: input report ID 1,
// the id byte, then the "in" values packed as the program decodes them.
class ReportMaker
{
public:
    enum class Pattern {
        Wave,  // sines of different periods, ramps and toggling bools: pleasant to watch
        Count, // field k of sample n holds n + k, wrapped into the field's positive range
    };

    static constexpr char inputReportId = 1;

    ReportMaker(const QVector<CommandDescription> &descriptions, Pattern pattern,
                const QString &product);

    // Reads the "commands" of a configuration file; false with a reason when it cannot.
    static bool loadDescriptions(const QString &path, QVector<CommandDescription> &descriptions,
                                 QString *error);

    bool hasTelemetry() const { return telemetryDescription.id == 0; }
    // Telemetry report number sample (0, 1, ...), sent seconds after the device started.
    QByteArray telemetry(quint64 sample, double seconds) const;
    // The answer to a 64-byte request: the id byte of the request and the "in" values of the
    // command with that id, each echoing the request's "out" value of the same name when
    // there is one. Empty when no command has that id byte (telemetry's 0 included).
    QByteArray answer(const QByteArray &request) const;

    // The value of field k in sample n of the Count pattern.
    static double countValue(ParamType type, quint64 sample, int position);

private:
    const CommandDescription *commandFor(int idByte) const;

    QVector<CommandDescription> commands;
    CommandDescription telemetryDescription;
    Pattern pattern;
    QString product;
};

#endif // REPORTMAKER_H
