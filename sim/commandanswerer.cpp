#include "commandanswerer.h"

#include "fieldcodec.h"
#include "reportlayout.h"

#include <algorithm>

namespace {

using ReportLayout::payloadStart;

// Where each "out" parameter lies in a request, by name.
int requestPosition(const CommandDescription &command, const QString &name, ParamType *type)
{
    int pos = payloadStart;
    for (int i = 0; i < command.outTypes.size() && i < command.outNames.size(); ++i) {
        if (command.outNames.at(i) == name) {
            *type = command.outTypes.at(i);
            return pos;
        }
        pos += CommandDescription::widthOf(command.outTypes.at(i));
    }
    return -1;
}

void writeText(QByteArray &report, int pos, const QByteArray &text)
{
    const int room = std::min(CommandDescription::widthOf(TypeString), reportSize - pos);
    for (int i = 0; i < room; ++i)
        report[pos + i] = i < text.size() ? text[i] : '\0';
}

// A value that looks like something a device would say.
double plausibleValue(ParamType type, int index)
{
    switch (type) {
    case TypeBool:
        return 1;
    case TypeFloat:
    case TypeDouble:
        return 1.5 + index;
    default:
        return 42 + index;
    }
}

} // namespace

CommandAnswerer::CommandAnswerer(const QList<CommandDescription> &commands, int delayMs)
    : commands(commands), delayMs(delayMs)
{
}

void CommandAnswerer::attachTo(SimDevice &device)
{
    device.setResponder([this](SimDevice &d, const QByteArray &request) { answer(d, request); });
}

QByteArray CommandAnswerer::makeAnswer(const CommandDescription &command, const QByteArray &request)
{
    QByteArray answer(reportSize, '\0');
    answer[0] = 1;
    answer[ReportLayout::idByte] = char(ReportLayout::idByteOf(command.id));
    int pos = payloadStart;
    for (int k = 0; k < command.inTypes.size() && pos < reportSize; ++k) {
        const ParamType type = command.inTypes.at(k);
        ParamType requestType = TypeUnknown;
        const int from = requestPosition(command, command.inNames.value(k), &requestType);
        if (type == TypeString) {
            QByteArray text = QByteArrayLiteral("Tolvex demo 1.7");
            if (from >= 0 && requestType == TypeString) {
                text = request.mid(from, CommandDescription::widthOf(TypeString));
                text.truncate(text.indexOf('\0') < 0 ? text.size() : text.indexOf('\0'));
            }
            writeText(answer, pos, text);
            pos += CommandDescription::widthOf(type);
            continue;
        }
        double value = plausibleValue(type, k);
        if (from >= 0 && requestType != TypeString && requestType != TypeUnknown)
            value = FieldCodec::read(request, from, requestType).value;
        pos += FieldCodec::encodeValue(answer, pos, type, value);
    }
    return answer;
}

void CommandAnswerer::answer(SimDevice &device, const QByteArray &request)
{
    if (!answering || request.size() < 2)
        return;
    const int id = static_cast<unsigned char>(request.at(1));
    for (const CommandDescription &command : commands) {
        if (command.id != 0 && (command.id & 0xff) == id) {
            const QByteArray reply = makeAnswer(command, request);
            if (device.injectReport(reply, delayMs))
                ++sent;
            return;
        }
    }
}
