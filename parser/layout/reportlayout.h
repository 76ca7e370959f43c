#ifndef REPORTLAYOUT_H
#define REPORTLAYOUT_H

// How every report, in both directions, is laid out. The one place that says so: the
// transport, the codec, the request framing and the simulated and virtual devices use these.
namespace ReportLayout {

// Every input and output report is this long.
constexpr int size = 64;
// Byte 0: the HID report ID. Output reports (requests) carry 2; input reports carry what
// the device puts there, which nobody interprets.
constexpr int reportIdByte = 0;
constexpr char requestReportId = 2;
// Byte 1: the id byte, 0 for telemetry, otherwise the low 8 bits of a command's id.
constexpr int idByte = 1;
// Bytes 2 to 63: the payload, fields packed back to back, little-endian.
constexpr int payloadStart = 2;
constexpr int payloadSize = size - payloadStart;

// The id byte that a command with the given id sends and is answered with.
constexpr int idByteOf(int commandId)
{
    return commandId & 0xff;
}

} // namespace ReportLayout

#endif // REPORTLAYOUT_H
