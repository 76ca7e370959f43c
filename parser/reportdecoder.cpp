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

const CommandDescription *ReportDecoder::decodeFields(const QByteArray &data, Fields *fields)
{
    fields->clear();
    // Fields are read from the 64 bytes of a report only, and never past a short one.
    const QByteArray report = data.size() > ReportLayout::size ? data.left(ReportLayout::size) : data;
    if (report.size() <= ReportLayout::idByte)
        return nullptr;
    const CommandDescription *description = descriptionFor(quint8(report.at(ReportLayout::idByte)));
    if (!description)
        return nullptr;

    const int count = fieldCount(*description);
    fields->reserve(count);
    int pos = ReportLayout::payloadStart;
    for (int k = 0; k < count; ++k) {
        const ParamType type = description->inTypes.at(k);
        FieldCodec::Field field = FieldCodec::read(report, pos, type);
        const QString &script = description->inScripts.at(k);
        if (!script.isEmpty())
            field.value = scripts->run(script, field.value);
        fields->append(field);
        pos += FieldCodec::width(type);
    }
    return description;
}

bool ReportDecoder::decode(const QByteArray &data, QStringList *texts)
{
    texts->clear();
    Fields fields;
    const CommandDescription *description = decodeFields(data, &fields);
    if (!description)
        return false;
    const QByteArray report = data.left(ReportLayout::size);
    texts->reserve(fields.size());
    int pos = ReportLayout::payloadStart;
    for (int k = 0; k < fields.size(); ++k) {
        const ParamType type = description->inTypes.at(k);
        texts->append(FieldCodec::text(fields[k], description->inViews.at(k), report, pos, type));
        pos += FieldCodec::width(type);
    }
    return true;
}
