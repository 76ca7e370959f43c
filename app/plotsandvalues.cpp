#include "mainwindow.h"

#include "dataparser.h"
#include "fittedtext.h"
#include "mainwindowform.h"
#include "plotgraph.h"
#include "plotpanel.h"
#include "plottitle.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QLayout>
#include <QPushButton>
#include <QTreeWidget>

#include <qcustomplot.h>

namespace {

// Widths in pixels beyond which configuration texts are cut.
constexpr int longestRowText = 600;
constexpr int longestUnitsLabel = 110; // the value axis of a plot at its least height
constexpr int longestSwitchText = 300;

// Whether a text shown in a row of the values is one line in the view's own font. Rows of such
// texts are all as high as one another, and the view, told so, need not measure a row again
// whenever its value changes (most of what setting a value cost). A line break, or a character
// that another font draws, can make a row higher.
bool oneLineInFont(const QString &text, const QFontMetrics &metrics)
{
    for (int i = 0; i < text.size(); ++i) {
        uint code = text.at(i).unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(ushort(code), text.at(++i).unicode());
        if (code == '\n' || code == '\r' || code == QChar::LineSeparator || code == QChar::ParagraphSeparator
            || !metrics.inFontUcs4(code))
            return false;
    }
    return true;
}

} // namespace

void MainWindow::setHeaderLabels()
{
    form->treeWidget->setHeaderLabels({tr("Параметр"), tr("Значение"), tr("Ед. изм")});
}

void MainWindow::addValueRow(int index)
{
    auto *item = new QTreeWidgetItem(form->treeWidget);
    // The view elides what its column cannot show; a very long text is cut before that.
    const FittedText name = fitText(telemetry.inNames.at(index), form->treeWidget->font(), longestRowText);
    const FittedText units = fitText(telemetry.inUnits.value(index), form->treeWidget->font(), longestRowText);
    item->setText(0, name.text);
    item->setToolTip(0, name.toolTip);
    item->setText(1, QString());
    item->setText(2, units.text);
    item->setToolTip(2, units.toolTip);
    valueItems.append(item);
    valueTexts.append(QString());
    // The rows are as high as one another while every text they show allows it.
    QTreeWidget *tree = form->treeWidget;
    const QFontMetrics metrics(tree->font());
    tree->setUniformRowHeights((index == 0 || tree->uniformRowHeights()) && oneLineInFont(name.text, metrics)
                               && oneLineInFont(units.text, metrics));
}

void MainWindow::addPlot(int index)
{
    const QString name = telemetry.inNames.at(index);
    const QString units = telemetry.inUnits.value(index);

    auto *plot = new QCustomPlot(this);
    plots.append(plot);
    plot->setMinimumHeight(200);
    // A 2-pixel line drawn segment by segment instead of as one stroked path: the same picture
    // but for the joins, at a fraction of the cost when many points share a pixel column.
    plot->setPlottingHint(QCP::phFastPolylines, true);
    plot->plotLayout()->insertRow(0);
    // Units wider than the value axis of a plot at its least height are cut.
    const FittedText unitsLabel = fitText(units, plot->yAxis->labelFont(), longestUnitsLabel);
    auto *title = new PlotTitle(plot, name, unitsLabel.toolTip);
    plot->plotLayout()->addElement(0, 0, title);
    // One graph on the default axes, as addGraph adds it, drawn by PlotGraph. It stays out of
    // the legend, which the plot never shows but would lay out on every replot.
    auto *graph = new PlotGraph(plot->xAxis, plot->yAxis);
    graph->removeFromLegend();
    const QColor colour = colourCycle.takeFirst();
    colourCycle.append(colour);
    plot->graph(0)->setPen(QPen(colour, 2));
    plot->xAxis->setLabel(configuration.plotTimeAxis ? tr("время, с") : tr("замеры"));
    if (!units.isEmpty())
        plot->yAxis->setLabel(unitsLabel.text);
    form->scrollAreaWidgetContents->layout()->addWidget(plot);
    plotPanels.append(new PlotPanel(plot, title, units, configuration.plotTimeAxis));
    plot->installEventFilter(this);
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot, &QWidget::customContextMenuRequested, this, [this, index, plot](const QPoint &position) {
        QMenu *menu = plotMenu(index);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(plot->mapToGlobal(position));
    });

    auto *plotSwitch = new QCheckBox(this);
    plotSwitch->setChecked(true);
    plotSwitch->setCursor(Qt::PointingHandCursor);
    const FittedText switchText = fitText(name, plotSwitch->font(), longestSwitchText);
    plotSwitch->setText(switchText.text);
    plotSwitch->setToolTip(switchText.toolTip);
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

    addPauseSwitch();
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
    QTreeWidget *tree = form->treeWidget;
    bool valuesChanged = false;
    for (int i = 0; i < telemetry.inTypes.size(); ++i) {
        // A paused plot keeps its picture; its samples wait in the parser's window.
        if (plotSwitches[i]->isChecked() && !plotsPaused) {
            PlotPanel *panel = plotPanels[i];
            // Drawing is what a tick costs, and drawing a plot nobody can see is wasted: it is
            // brought up to date when it comes into view (see eventFilter).
            if (!panel->inView())
                panel->markBehind();
            // The same samples in the same ranges make the same picture: drawing it again is
            // waste.
            else if (takeSamples(i) || panel->isBehind())
                panel->draw();
        }
        const QString &text = valueTexts.at(i);
        if (valueItems[i]->text(1) != text) {
            if (tree->uniformRowHeights() && !oneLineInFont(text, QFontMetrics(tree->font())))
                tree->setUniformRowHeights(false); // each row as high as its texts, for good
            valueItems[i]->setText(1, text);
            valuesChanged = true;
        }
    }
    // The values column is painted again in one piece: the view paints a region of separate
    // cells (the values that changed) as whole rows, all three columns of each.
    if (valuesChanged) {
        tree->viewport()->update(tree->header()->sectionViewportPosition(1), 0, tree->header()->sectionSize(1),
                                 tree->viewport()->height());
    }
}

bool MainWindow::takeSamples(int index)
{
    std::lock_guard<std::mutex> lock(parser->stateLock);
    return index < parser->yValues.size()
           && plotPanels[index]->takeSamples(parser->xValues, parser->yValues.at(index));
}

void MainWindow::takeAllSamples()
{
    std::lock_guard<std::mutex> lock(parser->stateLock);
    for (int i = 0; i < plotPanels.size() && i < parser->yValues.size(); ++i)
        plotPanels[i]->takeSamples(parser->xValues, parser->yValues.at(i));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Paint && event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const int index = plots.indexOf(qobject_cast<QCustomPlot *>(watched));
    if (index < 0)
        return QMainWindow::eventFilter(watched, event);

    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            if (!key->isAutoRepeat())
                pauseSwitch->toggle();
            return true;
        }
    } else if (plotPanels[index]->isBehind() && plotSwitches[index]->isChecked()) {
        // A plot that a tick skipped is about to be painted because it came into view
        // (scrolled, resized, restored): it shows the current window at once (while paused,
        // the samples it took at the pause), not one tick later. Its buffers are drawn now and
        // the paint under way shows them.
        if (!plotsPaused)
            takeSamples(index);
        plotPanels[index]->draw();
    }
    return QMainWindow::eventFilter(watched, event);
}
