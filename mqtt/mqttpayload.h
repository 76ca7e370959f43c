#ifndef MQTTPAYLOAD_H
#define MQTTPAYLOAD_H

#include "commanddescription.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// One decoded value of a report: its name, the view that decides how it is published (num:
// as a number; hex, bin, str: as its text), its number after the script, and its text.
struct MqttValue
{
    QString name;
    ParamView view = ViewNum;
    double number = 0;
    QString text;
};

// What a dashboard needs to label the values: published retained on <topic>/meta.
struct MqttMeta
{
    QStringList names;
    QStringList units;
    QVector<ParamView> views;
    QString product;
    QString tag;
    QString version;
};

// The texts published for reports, shared by the publisher and tolvexctl (which prints the
// same influx lines it publishes). Keeps the escaped keys of the last names it saw, so a
// payload costs one allocation; use one per thread.
class MqttPayload
{
public:
    // {"ts":1765182031.996,"values":{"temperature":21.5,"mode":"ff"}}: a num value as a JSON
    // number (nan and infinities as null), others as strings; a repeated name gets "#2", "#3".
    QByteArray json(qint64 msSinceEpoch, const QVector<MqttValue> &values);
    // InfluxDB line protocol, without the line break:
    // tolvex,host=H,device=T temperature=21.5,mode="ff" 1765182031996000000
    // (a num value as a float field, nan and infinities left out; others as string fields).
    // Empty when no value is left to write.
    QByteArray influx(qint64 msSinceEpoch, const QVector<MqttValue> &values);
    // The tags of influx lines: the host name and the device's tag.
    void setInfluxTags(const QString &host, const QString &deviceTag);

    // <topic>/meta's JSON document.
    static QByteArray metaJson(const MqttMeta &meta);
    // A number as JSON has it: the shortest text that reads back as the same double; null
    // for nan and infinities.
    static void appendJsonNumber(QByteArray &out, double value);

private:
    void refreshKeys(const QVector<MqttValue> &values);

    QStringList names;
    QVector<QByteArray> jsonKeys;
    QVector<QByteArray> influxKeys;
    QByteArray influxPrefix = "tolvex";
};

#endif // MQTTPAYLOAD_H
