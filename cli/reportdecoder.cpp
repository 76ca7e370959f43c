#include "reportdecoder.h"

#include "fieldcodec.h"
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

bool ReportDecoder::decode(const QByteArray &data, QStringList *texts)
{
    texts->clear();
    const QByteArray report = data.left(ReportLayout::size);
    if (report.size() <= ReportLayout::idByte)
        return false;
    const CommandDescription *description = descriptionFor(quint8(report.at(ReportLayout::idByte)));
    if (!description)
        return false;

    const int count = qMin(qMin(description->inTypes.size(), description->inViews.size()),
                           description->inScripts.size());
    texts->reserve(count);
    int pos = ReportLayout::payloadStart;
    for (int k = 0; k < count; ++k) {
        const ParamType type = description->inTypes.at(k);
        FieldCodec::Field field = FieldCodec::read(report, pos, type);
        const QString &script = description->inScripts.at(k);
        if (!script.isEmpty())
            field.value = scripts->run(script, field.value);
        texts->append(FieldCodec::text(field, description->inViews.at(k), report, pos, type));
        pos += FieldCodec::width(type);
    }
    return true;
}
