#ifndef COMMANDDESCRIPTION_H
#define COMMANDDESCRIPTION_H

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

class ConfigurationReader;

// The value type of one parameter; the numbers are fixed (they index typeSize).
enum ParamType : int {
    TypeUnknown = 0,
    TypeBool = 1,
    TypeInt8 = 2,
    TypeUInt8 = 3,
    TypeInt16 = 4,
    TypeUInt16 = 5,
    TypeInt32 = 6,
    TypeUInt32 = 7,
    TypeInt64 = 8,
    TypeUInt64 = 9,
    TypeDouble = 10,
    TypeFloat = 11,
    TypeString = 12,
};

// How a value is shown as text, and in which base a request field is typed.
enum ParamView : int {
    ViewNum = 0,
    ViewHex = 1,
    ViewBin = 2,
    ViewStr = 3,
};

// One entry of the configuration's "commands" array: the telemetry report (id 0) or a command
// with its request ("out") and answer ("in") fields, held as parallel lists per direction.
// A value type: copies share their lists until written.
class CommandDescription
{
public:
    CommandDescription();
    explicit CommandDescription(const QJsonObject &entry);
    // Reads an element of "commands" found at where ("commands[2]") as the constructor above
    // does, each key once, and tells the reader every key that took its default and every
    // field that will not be what it seems to say. An element that is no object is read as
    // an empty one.
    CommandDescription(const QJsonValue &element, const QString &where, ConfigurationReader &reader);

    int id = -1;
    QString name;

    QStringList inNames;
    QStringList outNames;
    QStringList inUnits;
    QStringList outUnits;
    QVector<ParamType> inTypes;
    QVector<ParamType> outTypes;
    QVector<ParamView> inViews;
    QVector<ParamView> outViews;
    QStringList inScripts;
    QStringList outDefaults;

    // Lookup tables, the same in every description; a missing key yields 0.
    QHash<QString, ParamType> typeByName;
    QHash<ParamType, QString> typeName;
    QHash<ParamType, int> typeSize;
    QHash<QString, ParamView> viewByName;
    QHash<ParamView, QString> viewName;

    // The "id" of an entry: a number truncated towards zero, or -1 when it is absent, not a
    // number, or beyond the int range.
    static int idOf(const QJsonValue &value);

    // Width in bytes of a type (0 for an unrecognised one).
    static int widthOf(ParamType type);

private:
    void buildTables();
    void read(const QJsonValue &element, const QString &where, ConfigurationReader &reader);
    // Reads "in" (answer) or "out" (request); generated names count on from the number given.
    void readFields(const QJsonObject &entry, bool answer, const QString &where, ConfigurationReader &reader,
                    qint64 &nextGeneratedNumber);
};

#endif // COMMANDDESCRIPTION_H
