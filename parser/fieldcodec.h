#ifndef FIELDCODEC_H
#define FIELDCODEC_H

#include "commanddescription.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The one place that knows how a field lies in a report: reading it by type, forming its text
// by view, and writing it from a request text or a number. Knows nothing of HID or threads.
namespace FieldCodec {

// One decoded field: its number and its raw bits, zero-extended from the field's width.
struct Field
{
    double value = 0;
    quint64 rawValue = 0;
};

// Width in bytes of a field of the given type (0 for an unrecognised one).
int width(ParamType type);

// Reads the field of the given type at byte position pos of the report (little-endian, any
// alignment). A field that does not lie wholly within the report, a string and an unrecognised
// type decode as 0.
Field read(const QByteArray &report, int pos, ParamType type);

// The display text of a decoded field by view: 'g' with 6 digits, hex or bin of the raw bits,
// or (str) the bytes of the field that are present, up to the first zero, as UTF-8.
QString text(const Field &field, ParamView view, const QByteArray &report, int pos, ParamType type);
// The same text appended to utf8, encoded as UTF-8, for writers of files.
void appendText(QByteArray &utf8, const Field &field, ParamView view, const QByteArray &report, int pos,
                ParamType type);

// Encodes the request text of a field of the given type and view at pos of a 64-byte report
// and returns the number of bytes the position advances (the type's width). Integers are typed
// in the view's base (16 for hex, 2 for bin, 10 otherwise), floating-point numbers always in
// decimal. A text that does not convert, or whose value lies outside the type, is refused:
// nothing is written and *accepted (when given) is set to false. A signed field typed in hex
// or bin takes its bit pattern as well as a negative number ("ff" and "-1" for an int8). A
// string clears the whole payload first; one longer than the payload is refused rather than
// cut. Nothing is ever written outside the report.
int encodeText(QByteArray &report, int pos, ParamType type, ParamView view, const QString &text,
               bool *accepted = nullptr);

// What a request field of the given type and view takes, for telling the operator: the ranges
// of its values written in the base they are typed in ("0..ffff"; "0..ff" and "-80..-1" for an
// int8 typed in hex), or for a string the most bytes it holds.
struct Accepted
{
    QStringList ranges;
    int maxBytes = 0;
};
Accepted accepted(ParamType type, ParamView view);

// Writes a number as a field of the given type at pos (saturating integers, truncating
// fractions, NaN as 0; a string field gets the number's text); for makers of reports such as
// the simulated device. Like encodeText, it writes nothing for a field that does not fit.
// Returns the type's width.
int encodeValue(QByteArray &report, int pos, ParamType type, double value);

} // namespace FieldCodec

#endif // FIELDCODEC_H
