#include "fieldcodec.h"

// Placeholder until the codec is written.
namespace FieldCodec {
Field read(const QByteArray &, int, ParamType) { return {}; }
QString text(const Field &, ParamView, const QByteArray &, int, ParamType) { return QString(); }
int encodeText(QByteArray &, int, ParamType type, ParamView, const QString &) { return CommandDescription::widthOf(type); }
int encodeValue(QByteArray &, int, ParamType type, double) { return CommandDescription::widthOf(type); }
} // namespace FieldCodec
