#ifndef PLOTEXPORT_H
#define PLOTEXPORT_H

#include <QByteArray>
#include <QString>

class QCustomPlot;

// Keeping what a plot shows: its points in view as CSV text, and files written whole or not
// at all.
namespace PlotExport {

// The samples of the plot's graph whose keys lie in the visible key range, one line each
// ("key,value"), after a header line naming both columns. UTF-8; fields that hold a comma or
// a quote are quoted.
QByteArray pointsInViewCsv(const QCustomPlot *plot, const QString &keyHeader, const QString &valueHeader);

// Writes the whole contents to the path, replacing the file only once everything is written.
// On failure returns false and says why in error.
bool writeFile(const QString &path, const QByteArray &contents, QString *error);

} // namespace PlotExport

#endif // PLOTEXPORT_H
