#include "requestframe.h"

#include "fieldcodec.h"
#include "reportlayout.h"

namespace RequestFrame {

QByteArray make(const CommandDescription &command, const QStringList &texts, QList<int> *refused)
{
    QByteArray request(ReportLayout::size, '\0');
    request[ReportLayout::reportIdByte] = ReportLayout::requestReportId;
    request[ReportLayout::idByte] = static_cast<char>(ReportLayout::idByteOf(command.id));
    int position = ReportLayout::payloadStart;
    bool complete = true;
    const int fields = qMin(command.outTypes.size(), texts.size());
    for (int i = 0; i < fields; ++i) {
        const ParamType type = command.outTypes.at(i);
        QString text = texts.at(i);
        if (text.isEmpty() && type != TypeString)
            text = QStringLiteral("0");
        bool accepted = true;
        position += FieldCodec::encodeText(request, position, type, command.outViews.value(i), text, &accepted);
        if (!accepted) {
            complete = false;
            if (refused)
                refused->append(i);
        }
    }
    return complete ? request : QByteArray();
}

QStringList textsWithDefaults(const CommandDescription &command,
                              const QList<QPair<QString, QString>> &given, QStringList *unknown)
{
    QStringList texts;
    for (int i = 0; i < command.outTypes.size(); ++i)
        texts << command.outDefaults.value(i);
    for (const auto &field : given) {
        const int index = command.outNames.indexOf(field.first);
        if (index >= 0 && index < texts.size())
            texts[index] = field.second;
        else if (unknown)
            *unknown << field.first;
    }
    return texts;
}

QString acceptedText(const CommandDescription &command, int field)
{
    return acceptedText(command.outTypes.value(field), command.outViews.value(field));
}

QString acceptedText(ParamType type, ParamView view)
{
    const FieldCodec::Accepted accepted = FieldCodec::accepted(type, view);
    if (accepted.maxBytes > 0)
        return QStringLiteral("at most %1 bytes in the system's encoding").arg(accepted.maxBytes);
    return accepted.ranges.join(QStringLiteral(" or "));
}

} // namespace RequestFrame
