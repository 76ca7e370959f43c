// Arbitrary bytes through description parsing, report decoding and request encoding.
//
// Input layout: one byte of plot window length (signed), one byte of report length, that
// many report bytes, then text split at zero bytes: a description (a "commands" entry, or an
// array of them) followed by request field texts.

#include "commanddescription.h"
#include "configuration.h"
#include "dataparser.h"
#include "fieldcodec.h"
#include "requestframe.h"
#include "scriptfunction.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <sanitizer/lsan_interface.h>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void decode(const CommandDescription &description, QByteArray report, int maxPoints)
{
    CommandDescription withoutScripts = description;
    // Script texts go to the rewriter below; running them would fuzz the script engine.
    for (QString &script : withoutScripts.inScripts)
        script.clear();

    // No telemetry parameters, so no log files; the description under test is registered
    // under its own id and the report is made to carry that id when it can.
    DataParser parser(CommandDescription(), maxPoints);
    parser.descriptions.insert(withoutScripts.id, withoutScripts);
    if (report.size() > 1 && withoutScripts.id >= 0 && withoutScripts.id <= 255)
        report[1] = char(withoutScripts.id);

    for (int round = 0; round < 3; ++round) {
        const bool decoded = parser.decodeReport(report);
        check(parser.lastReport.size() <= 64);
        if (decoded) {
            check(parser.values.size() == withoutScripts.inNames.size());
            check(parser.xValues.size() <= qMax(0, maxPoints) + 1);
        } else {
            check(parser.values.isEmpty());
        }
    }
    parser.resetPlotData();
    check(parser.xValues.size() == qMax(0, maxPoints));

    for (const QString &script : description.inScripts)
        rewriteAsFunction(script);
}

void encode(const CommandDescription &description, const QList<QByteArray> &texts)
{
    QStringList requestTexts;
    for (int i = 0; i < description.outTypes.size(); ++i)
        requestTexts << (i < texts.size() ? QString::fromUtf8(texts.at(i)) : description.outDefaults.value(i));
    QList<int> refused;
    QByteArray request = RequestFrame::make(description, requestTexts, &refused);
    // A refused text makes no report at all; an accepted set makes a whole one.
    check(request.isEmpty() != refused.isEmpty());
    if (request.isEmpty()) {
        // The same frame with every field empty (0) goes on to the field-by-field writes.
        request = RequestFrame::make(description, QStringList());
    }
    check(request.size() == 64);
    check(request.at(0) == 2 && quint8(request.at(1)) == quint8(description.id & 0xff));
    // Writes at every position, in and outside the report, of every type and view.
    for (int i = 0; i < texts.size(); ++i) {
        const QString text = QString::fromUtf8(texts.at(i));
        const int at = int(qint8(texts.at(i).isEmpty() ? 0 : texts.at(i).at(0)));
        const auto type = ParamType(i % 14);
        FieldCodec::encodeText(request, at, type, ParamView(i % 5), text);
        FieldCodec::encodeValue(request, at, type, text.toDouble());
        check(request.size() == 64);
        const FieldCodec::Field field = FieldCodec::read(request, at, type);
        FieldCodec::text(field, ParamView(i % 5), request, at, type);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Qt's per-process state is made once here, not inside the first input.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int maxPoints = int(int8_t(data[0]));
    const size_t reportSize = qMin<size_t>(data[1], size - 2);
    const QByteArray report(reinterpret_cast<const char *>(data) + 2, int(reportSize));
    const QByteArray text(reinterpret_cast<const char *>(data) + 2 + reportSize,
                          int(size - 2 - reportSize));
    QList<QByteArray> parts = text.split('\0');
    QJsonDocument document;
    {
        // Qt 5.15's JSON parser leaks the earlier value of a key that appears twice in one
        // object ({"":0,"in":[{"":""}],"in":[{"":""}]}); that leak is Qt's, not ours.
        __lsan::ScopedDisabler qtLeaks;
        // The same text as a whole configuration file: every problem found, with a place
        // inside the text for a syntax error.
        const QByteArray json = parts.first();
        const Configuration configuration = Configuration::fromJson(json);
        if (const ConfigurationProblem *error = configuration.syntaxError())
            check(error->line >= 1 && error->column >= 1 && error->line <= json.count('\n') + 1);
        check(configuration.maxPlotXPoints >= 0 && configuration.maxPlotXPoints <= Configuration::maxPlotXPointsCap);
        document = QJsonDocument::fromJson(parts.takeFirst());
    }

    QList<CommandDescription> descriptions;
    if (document.isObject())
        descriptions.append(CommandDescription(document.object()));
    for (const QJsonValue &entry : document.array())
        descriptions.append(CommandDescription(entry.toObject()));
    for (const CommandDescription &description : descriptions) {
        check(description.inNames.size() == description.inTypes.size());
        check(description.outNames.size() == description.outDefaults.size());
        decode(description, report, maxPoints);
        encode(description, parts);
    }
    return 0;
}
