#include "reportmaker.h"

#include "fieldcodec.h"
#include "reportlayout.h"

#include "configuration.h"

#include <cmath>

namespace {

constexpr int reportLength = ReportLayout::size;
using ReportLayout::payloadStart;

QByteArray emptyReport(char idByte)
{
    QByteArray report(reportLength, '\0');
    report[ReportLayout::reportIdByte] = ReportMaker::inputReportId;
    report[ReportLayout::idByte] = idByte;
    return report;
}

// Writes text into a string field, zero-filled, never past the end of the report.
void putText(QByteArray &report, int pos, const QByteArray &text)
{
    const int room = qMin(CommandDescription::widthOf(TypeString), report.size() - pos);
    for (int i = 0; i < room; ++i)
        report[pos + i] = i < text.size() ? text[i] : '\0';
}

// The bytes of a string field up to its first zero, as much of it as the report holds.
QByteArray takeText(const QByteArray &report, int pos)
{
    if (pos >= report.size())
        return {};
    QByteArray bytes = report.mid(pos, CommandDescription::widthOf(TypeString));
    const int end = bytes.indexOf('\0');
    return end < 0 ? bytes : bytes.left(end);
}

double waveValue(ParamType type, int position, quint64 sample, double seconds)
{
    const double period = 2.0 + position;
    const double wave = std::sin(2 * M_PI * seconds / period);
    switch (type) {
    case TypeBool:
        return static_cast<quint64>(seconds) % 2;
    case TypeInt8:
        return 100 * wave;
    case TypeUInt8:
        return 120 + 100 * wave;
    case TypeInt16:
        return 1000 * wave;
    case TypeUInt16:
        return 1200 + 1000 * wave;
    case TypeInt32:
        return 100000 * wave;
    case TypeUInt32:
    case TypeInt64:
    case TypeUInt64:
        return static_cast<double>(sample); // a ramp
    case TypeFloat:
    case TypeDouble:
        return 10 * wave;
    case TypeString:
    case TypeUnknown:
        break;
    }
    return 0;
}

} // namespace

ReportMaker::ReportMaker(const QVector<CommandDescription> &descriptions, Pattern pattern,
                         const QString &product)
    : pattern(pattern), product(product)
{
    for (const CommandDescription &description : descriptions) {
        if (description.id == 0)
            telemetryDescription = description; // a later telemetry entry replaces an earlier one
        else if (description.id > 0)
            commands.append(description);
    }
}

bool ReportMaker::loadDescriptions(const QString &path, QVector<CommandDescription> &descriptions,
                                   QString *error)
{
    const Configuration configuration = Configuration::load(path);
    for (const ConfigurationProblem &problem : configuration.problems) {
        // Keys that took their defaults are the program's business; a file it cannot read is not.
        if (problem.kind == ConfigurationProblem::Kind::FileMissing
            || problem.kind == ConfigurationProblem::Kind::JsonSyntax
            || problem.kind == ConfigurationProblem::Kind::NotAnObject) {
            *error = path + QStringLiteral(": ") + problem.text();
            return false;
        }
    }
    descriptions = configuration.descriptions().toVector();
    return true;
}

double ReportMaker::countValue(ParamType type, quint64 sample, int position)
{
    const quint64 count = sample + static_cast<quint64>(position);
    switch (type) {
    case TypeBool:
        return count % 2;
    case TypeInt8:
        return count % 128;
    case TypeUInt8:
        return count % 256;
    case TypeInt16:
        return count % 32768;
    case TypeUInt16:
        return count % 65536;
    case TypeInt32:
        return count % (quint64(1) << 31);
    case TypeUInt32:
        return count % (quint64(1) << 32);
    default:
        return static_cast<double>(count);
    }
}

QByteArray ReportMaker::telemetry(quint64 sample, double seconds) const
{
    QByteArray report = emptyReport(0);
    int pos = payloadStart;
    for (int k = 0; k < telemetryDescription.inTypes.size() && pos < report.size(); ++k) {
        const ParamType type = telemetryDescription.inTypes[k];
        const double value = pattern == Pattern::Count ? countValue(type, sample, k)
                                                       : waveValue(type, k, sample, seconds);
        if (type == TypeString) {
            const QByteArray text = pattern == Pattern::Count
                                        ? QByteArray::number(sample + static_cast<quint64>(k))
                                        : product.toUtf8();
            putText(report, pos, text);
            pos += CommandDescription::widthOf(type);
        } else {
            pos += FieldCodec::encodeValue(report, pos, type, value);
        }
    }
    return report;
}

const CommandDescription *ReportMaker::commandFor(int idByte) const
{
    // The program sends the low 8 bits of a command's id; an exact id wins, and a later
    // entry with the same id replaces an earlier one, as in the program's own lookup.
    const CommandDescription *lowBitsMatch = nullptr;
    for (auto it = commands.crbegin(); it != commands.crend(); ++it) {
        if (it->id == idByte)
            return &*it;
        if (!lowBitsMatch && (it->id & 0xff) == idByte)
            lowBitsMatch = &*it;
    }
    return lowBitsMatch;
}

QByteArray ReportMaker::answer(const QByteArray &request) const
{
    if (request.size() < payloadStart)
        return {};
    const int idByte = static_cast<quint8>(request[1]);
    const CommandDescription *command = idByte == 0 ? nullptr : commandFor(idByte);
    if (!command)
        return {};

    QVector<int> outPositions;
    int pos = payloadStart;
    for (ParamType type : command->outTypes) {
        outPositions.append(pos);
        pos += CommandDescription::widthOf(type);
    }

    QByteArray report = emptyReport(static_cast<char>(idByte));
    pos = payloadStart;
    for (int j = 0; j < command->inTypes.size() && pos < report.size(); ++j) {
        const ParamType inType = command->inTypes[j];
        const int out = command->outNames.indexOf(command->inNames.value(j));
        double value = j + 1;
        QByteArray text = product.toUtf8();
        if (out >= 0 && out < command->outTypes.size()) {
            const ParamType outType = command->outTypes[out];
            if (outType == TypeString) {
                text = takeText(request, outPositions[out]);
                value = QString::fromUtf8(text).toDouble();
            } else {
                value = FieldCodec::read(request, outPositions[out], outType).value;
                text = QByteArray::number(value, 'g', 17);
            }
        }
        const int width = CommandDescription::widthOf(inType);
        if (out >= 0 && command->outTypes.value(out) == inType && inType != TypeString
            && outPositions[out] + width <= request.size() && pos + width <= report.size()) {
            // The same type both ways: the bytes themselves, so that no 64-bit value is
            // rounded on its way through a double.
            report.replace(pos, width, request.mid(outPositions[out], width));
            pos += width;
        } else if (inType == TypeString) {
            putText(report, pos, text);
            pos += width;
        } else {
            pos += FieldCodec::encodeValue(report, pos, inType, value);
        }
    }
    return report;
}
