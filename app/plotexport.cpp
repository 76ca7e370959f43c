#include "plotexport.h"

#include <QLocale>
#include <QSaveFile>

#include <qcustomplot.h>

#include <algorithm>

namespace {

QByteArray csvField(const QString &text)
{
    QByteArray field = text.toUtf8();
    if (field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r')) {
        field.replace("\"", "\"\"");
        field = '"' + field + '"';
    }
    return field;
}

// The shortest text that reads back as the same double.
QByteArray csvNumber(double number)
{
    return QString::number(number, 'g', QLocale::FloatingPointShortest).toLatin1();
}

} // namespace

QByteArray PlotExport::pointsInViewCsv(const QCustomPlot *plot, const QString &keyHeader,
                                       const QString &valueHeader)
{
    QByteArray csv = csvField(keyHeader) + ',' + csvField(valueHeader) + '\n';
    if (plot->graphCount() == 0)
        return csv;
    const QCPRange view = plot->xAxis->range();
    const QSharedPointer<QCPGraphDataContainer> data = plot->graph(0)->data();
    auto point = std::lower_bound(data->constBegin(), data->constEnd(), view.lower,
                                  [](const QCPGraphData &p, double key) { return p.key < key; });
    for (; point != data->constEnd() && point->key <= view.upper; ++point)
        csv += csvNumber(point->key) + ',' + csvNumber(point->value) + '\n';
    return csv;
}

bool PlotExport::writeFile(const QString &path, const QByteArray &contents, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
