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
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, new QCPTextElement(plot, name));
    plot->addGraph();
    const QColor colour = colourCycle.takeFirst();
    colourCycle.append(colour);
    plot->graph(0)->setPen(QPen(colour, 2));
    plot->xAxis->setLabel(tr("замеры"));
    if (!units.isEmpty())
        plot->yAxis->setLabel(units);
    form->scrollAreaWidgetContents->layout()->addWidget(plot);

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
            QCustomPlot *plot = plots[i];
            {
                std::lock_guard<std::mutex> lock(parser->stateLock);
                if (i < parser->yValues.size()) {
                    plot->graph(0)->setData(QVector<double>::fromList(parser->xValues),
                                            QVector<double>::fromList(parser->yValues.at(i)));
                }
            }
            plot->rescaleAxes(false);
            plot->replot(QCustomPlot::rpRefreshHint);
        }
        valueItems[i]->setText(1, valueTexts.at(i));
    }
}
