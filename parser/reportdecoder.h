#ifndef REPORTDECODER_H
#define REPORTDECODER_H

#include "commanddescription.h"
#include "fieldcodec.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QVarLengthArray>

#include <memory>

class ScriptRunner;

// Decodes reports into the values and texts the window shows for them: each "in" field read
// by its type from the codec, its script applied (one script engine whose globals persist, as
// in the window), its text formed by its view. No plots, no log files. Used from one thread
// (the scripts' engine belongs to the thread that decodes first).
class ReportDecoder
{
public:
    using Fields = QVarLengthArray<FieldCodec::Field, 32>;

    explicit ReportDecoder(const QList<CommandDescription> &descriptions);
    ~ReportDecoder();

    // The description a report with this id byte is decoded by; null when there is none.
    const CommandDescription *descriptionFor(int idByte) const;
    // The report's "in" fields with their scripts applied, and the description they follow;
    // null (and no fields) when its id byte has no description. fieldCount() of that
    // description fields come back, and with texts their texts.
    const CommandDescription *decodeFields(const QByteArray &report, Fields *fields, QStringList *texts = nullptr);
    // The texts of the report's "in" fields; false (and no texts) when its id byte has no
    // description.
    bool decode(const QByteArray &report, QStringList *texts);

    // How many "in" fields of a description are decoded.
    static int fieldCount(const CommandDescription &description);
    // The decoding every reader of reports shares: the description's "in" fields read from
    // the report (at most 64 bytes long) by their types, each script run by scripts, and with
    // texts each field's text by its view.
    static void decodeWith(ScriptRunner &scripts, const CommandDescription &description,
                           const QByteArray &report, Fields *fields, QStringList *texts = nullptr);

private:
    QHash<int, CommandDescription> byId;
    std::unique_ptr<ScriptRunner> scripts;
};

#endif // REPORTDECODER_H
