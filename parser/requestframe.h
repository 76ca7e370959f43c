#ifndef REQUESTFRAME_H
#define REQUESTFRAME_H

#include "commanddescription.h"

#include <QByteArray>
#include <QStringList>

// Turns a command and the texts of its request fields into the 64-byte request report.
namespace RequestFrame {

// Report ID 2, the low 8 bits of the command's id, then each "out" field encoded from its
// text by the field codec (in its view's base). Field i takes texts[i]; an empty text is 0 (an
// empty string for a string field); fields without a text stay zero, as do the bytes no field
// covers. When the codec refuses a text (it does not convert, or lies outside the field's
// type) there is no report: the result is empty, and refused (when given) lists the index of
// every refused field.
QByteArray make(const CommandDescription &command, const QStringList &texts, QList<int> *refused = nullptr);

// The texts a request is made of when only some fields are named: each field's default,
// replaced by the value given for its name. Names that are no field of the command are
// returned in unknown (in the order given), and no text is made for them.
QStringList textsWithDefaults(const CommandDescription &command,
                              const QList<QPair<QString, QString>> &given,
                              QStringList *unknown = nullptr);

// What request field `field` takes, as it is typed: "0..ffff", "0..ff or -80..-1", "at most
// 62 bytes in the system's encoding".
QString acceptedText(const CommandDescription &command, int field);
QString acceptedText(ParamType type, ParamView view);

} // namespace RequestFrame

#endif // REQUESTFRAME_H
