#include "reportdecoder.h"

#include "reportlayout.h"
#include "scriptrunner.h"

ReportDecoder::ReportDecoder(const QList<CommandDescription> &descriptions) : scripts(new ScriptRunner)
{
    // A later entry with the same id replaces an earlier one, as in the window.
    for (const CommandDescription &description : descriptions) {
        if (description.id != -1)
            byId.insert(description.id, description);
    }
}

ReportDecoder::~ReportDecoder() = default;

const CommandDescription *ReportDecoder::descriptionFor(int idByte) const
{
    const auto found = byId.constFind(idByte);
    return found == byId.constEnd() ? nullptr : &found.value();
}

int ReportDecoder::fieldCount(const CommandDescription &description)
{
    return qMin(qMin(description.inTypes.size(), description.inViews.size()), description.inScripts.size());
}

void ReportDecoder::decodeWith(ScriptRunner &scripts, const CommandDescription &description,
                               const QByteArray &report, Fields *fields, QStringList *texts)
{
    const int count = fieldCount(description);
    fields->reserve(count);
    if (texts)
        texts->reserve(count);
    int pos = ReportLayout::payloadStart;
    for (int k = 0; k < count; ++k) {
        const ParamType type = description.inTypes.at(k);
        FieldCodec::Field field = FieldCodec::read(report, pos, type);
        const QString &script = description.inScripts.at(k);
        if (!script.isEmpty())
            field.value = scripts.run(script, field.value);
        if (texts)
            texts->append(FieldCodec::text(field, description.inViews.at(k), report, pos, type));
        fields->append(field);
        pos += FieldCodec::width(type);
    }
}

const CommandDescription *ReportDecoder::decodeFields(const QByteArray &data, Fields *fields, QStringList *texts)
{
    fields->clear();
    if (texts)
        texts->clear();
    // Fields are read from the 64 bytes of a report only, and never past a short one.
    const QByteArray report = data.size() > ReportLayout::size ? data.left(ReportLayout::size) : data;
    if (report.size() <= ReportLayout::idByte)
        return nullptr;
    const CommandDescription *description = descriptionFor(quint8(report.at(ReportLayout::idByte)));
    if (description)
        decodeWith(*scripts, *description, report, fields, texts);
    return description;
}

bool ReportDecoder::decode(const QByteArray &data, QStringList *texts)
{
    Fields fields;
    return decodeFields(data, &fields, texts) != nullptr;
}
