#include "mainwindow.h"

#include "dataparser.h"
#include "mainwindowform.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLayout>
#include <QPushButton>
#include <QTreeWidget>

#include <qcustomplot.h>

void MainWindow::setHeaderLabels()
{
    form->treeWidget->setHeaderLabels({tr("Параметр"), tr("Значение"), tr("Ед. изм")});
}

void MainWindow::addValueRow(int index)
{
    auto *item = new QTreeWidgetItem(form->treeWidget);
    item->setText(0, telemetry.inNames.at(index));
    item->setText(1, QString());
    item->setText(2, telemetry.inUnits.value(index));
    valueItems.append(item);
    valueTexts.append(QString());
}

void MainWindow::addPlot(int index)
{
    const QString name = telemetry.inNames.at(index);
    const QString units = telemetry.inUnits.value(index);

    auto *plot = new QCustomPlot(this);
    plots.append(plot);
    plot->setMinimumHeight(200);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    // A 2-pixel line drawn segment by segment instead of as one stroked path: the same picture
    // but for the joins, at a fraction of the cost when many points share a pixel column.
    plot->setPlottingHint(QCP::phFastPolylines, true);
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, new QCPTextElement(plot, name));
    plot->addGraph();
    const QColor colour = colourCycle.takeFirst();
    colourCycle.append(colour);
    plot->graph(0)->setPen(QPen(colour, 2));
    plot->xAxis->setLabel(plotTimeAxis ? tr("время, с") : tr("замеры"));
    if (!units.isEmpty())
        plot->yAxis->setLabel(units);
    form->scrollAreaWidgetContents->layout()->addWidget(plot);
    plotFeeds.append(PlotFeed());
    plotsBehind.append(false);
    plot->installEventFilter(this);

    auto *plotSwitch = new QCheckBox(this);
    plotSwitch->setChecked(true);
    plotSwitch->setCursor(Qt::PointingHandCursor);
    plotSwitch->setText(name);
    plotSwitches.append(plotSwitch);
    form->frame->layout()->addWidget(plotSwitch);
    connect(plotSwitch, &QCheckBox::toggled, plot, &QWidget::setVisible);
}

void MainWindow::addPlotButtons()
{
    auto *hideAll = new QPushButton(tr("Скрыть все"), this);
    hideAll->setCursor(Qt::PointingHandCursor);
    form->frame->layout()->addWidget(hideAll);
    connect(hideAll, &QPushButton::clicked, this, &MainWindow::hideAllPlots);

    auto *showAll = new QPushButton(tr("Показывать все"), this);
    showAll->setCursor(Qt::PointingHandCursor);
    form->frame->layout()->addWidget(showAll);
    connect(showAll, &QPushButton::clicked, this, &MainWindow::showAllPlots);
}

void MainWindow::hideAllPlots()
{
    for (int i = 0; i < telemetry.inNames.size(); ++i)
        plotSwitches[i]->setChecked(false);
}

void MainWindow::showAllPlots()
{
    for (int i = 0; i < telemetry.inNames.size(); ++i)
        plotSwitches[i]->setChecked(true);
}

void MainWindow::replotGraphs()
{
    for (int i = 0; i < telemetry.inTypes.size(); ++i) {
        if (plotSwitches[i]->isChecked()) {
            // Drawing is what a tick costs, and drawing a plot nobody can see is wasted: it is
            // brought up to date when it comes into view (see eventFilter).
            if (plots[i]->visibleRegion().isEmpty())
                plotsBehind[i] = true;
            else
                refreshPlot(i);
        }
        valueItems[i]->setText(1, valueTexts.at(i));
    }
}

void MainWindow::refreshPlot(int index)
{
    QCustomPlot *plot = plots[index];
    {
        std::lock_guard<std::mutex> lock(parser->stateLock);
        if (index < parser->yValues.size())
            plotFeeds[index].update(plot->graph(0), parser->xValues, parser->yValues.at(index));
    }
    plot->rescaleAxes(false);
    plot->replot(QCustomPlot::rpRefreshHint);
    plotsBehind[index] = false;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A plot that a tick skipped is about to be painted because it came into view (scrolled,
    // resized, restored): it shows the current window at once, not one tick later.
    if (event->type() == QEvent::Paint) {
        const int index = plots.indexOf(qobject_cast<QCustomPlot *>(watched));
        if (index >= 0 && plotsBehind[index] && plotSwitches[index]->isChecked())
            refreshPlot(index);
    }
    return QMainWindow::eventFilter(watched, event);
}
