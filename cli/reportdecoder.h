#ifndef REPORTDECODER_H
#define REPORTDECODER_H

#include "commanddescription.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>

#include <memory>

class ScriptRunner;

// Decodes reports into the texts the window shows for them: each "in" field read by its type
// from the codec, its script applied (one script engine whose globals persist, as in the
// window), its text formed by its view. No plots, no log files.
class ReportDecoder
{
public:
    explicit ReportDecoder(const QList<CommandDescription> &descriptions);
    ~ReportDecoder();

    // The description a report with this id byte is decoded by; null when there is none.
    const CommandDescription *descriptionFor(int idByte) const;
    // The texts of the report's "in" fields; false (and no texts) when its id byte has no
    // description.
    bool decode(const QByteArray &report, QStringList *texts);

private:
    QHash<int, CommandDescription> byId;
    std::unique_ptr<ScriptRunner> scripts;
};

#endif // REPORTDECODER_H
