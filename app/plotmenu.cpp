// The context menu of a plot: keep its picture (as a PNG file or on the clipboard), save the
// points in view as CSV, remove the cursors, follow the data again.
#include "mainwindow.h"

#include "plotcursors.h"
#include "plotexport.h"
#include "plotnavigation.h"
#include "plotpanel.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

#include <qcustomplot.h>

namespace {

// A parameter's name as a file name in the working directory.
QString fileNameOf(QString name)
{
    for (QChar bad : {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':')})
        name.replace(bad, QLatin1Char('_'));
    return name;
}

} // namespace

QMenu *MainWindow::plotMenu(int index)
{
    auto *menu = new QMenu(plots[index]);
    menu->addAction(tr("Сохранить как PNG…"), this, [this, index] { savePlotImage(index); });
    menu->addAction(tr("Копировать изображение"), this, [this, index] { copyPlotImage(index); });
    menu->addAction(tr("Сохранить точки в CSV…"), this, [this, index] { savePlotPoints(index); });
    menu->addSeparator();
    PlotCursors *cursors = plotPanels[index]->cursors();
    QAction *removeCursors = menu->addAction(tr("Убрать курсоры"), cursors, &PlotCursors::clearCursors);
    removeCursors->setEnabled(cursors->hasCursors());
    PlotNavigation *navigation = plotPanels[index]->navigation();
    QAction *follow = menu->addAction(tr("Сбросить масштаб"), navigation, &PlotNavigation::follow);
    follow->setEnabled(!navigation->isFollowing());
    return menu;
}

QString MainWindow::askSavePath(const QString &title, const QString &suggestedName, const QString &filter,
                                const QString &suffix)
{
    QFileDialog dialog(this, title, QDir::current().filePath(suggestedName), filter);
    dialog.setObjectName(QStringLiteral("plotSaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void MainWindow::savePlotImage(int index)
{
    const QString name = telemetry.inNames.at(index);
    const QString path = askSavePath(tr("Сохранить график"), fileNameOf(name) + QStringLiteral(".png"),
                                     tr("Изображения PNG (*.png)"), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    if (!plots[index]->savePng(path))
        QMessageBox::warning(this, tr("Сохранить график"), tr("Не удалось сохранить файл %1").arg(path));
}

void MainWindow::copyPlotImage(int index)
{
    QApplication::clipboard()->setPixmap(plots[index]->toPixmap());
}

void MainWindow::savePlotPoints(int index)
{
    const QString name = telemetry.inNames.at(index);
    const QString units = telemetry.inUnits.value(index);
    // Not "<name>.csv": that is the parameter's log file in the same folder.
    const QString path = askSavePath(tr("Сохранить точки"), fileNameOf(name) + QStringLiteral("_view.csv"),
                                     tr("Таблицы CSV (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    QCustomPlot *plot = plots[index];
    const QString valueHeader = units.isEmpty() ? name : name + QStringLiteral(", ") + units;
    const QByteArray csv = PlotExport::pointsInViewCsv(plot, plot->xAxis->label(), valueHeader);
    QString error;
    if (!PlotExport::writeFile(path, csv, &error))
        QMessageBox::warning(this, tr("Сохранить точки"), tr("Не удалось сохранить файл %1: %2").arg(path, error));
}
