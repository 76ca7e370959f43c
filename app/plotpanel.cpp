#include "plotpanel.h"

#include "plotcursors.h"
#include "plotnavigation.h"
#include "plottitle.h"

#include <qcustomplot.h>

PlotPanel::PlotPanel(QCustomPlot *plot, PlotTitle *title, const QString &units, bool timeAxis)
    : QObject(plot), customPlot(plot), plotTitle(title)
{
    // Zoom and drag on either axis; a double click on a plot without cursors follows the data
    // again. A click gives the plot the keyboard, for the space bar's pause.
    plotNavigation = new PlotNavigation(plot);
    plotCursors = new PlotCursors(plot, units);
    // The readouts speak of time where the key axis counts seconds.
    plotCursors->setTimeAxis(timeAxis);
    connect(plotCursors, &PlotCursors::resetRequested, plotNavigation, &PlotNavigation::follow);
    plot->setFocusPolicy(Qt::ClickFocus);
}

bool PlotPanel::inView() const
{
    return !customPlot->visibleRegion().isEmpty();
}

bool PlotPanel::takeSamples(const QList<double> &keys, const QList<double> &values)
{
    return feed.update(customPlot->graph(0), keys, values);
}

void PlotPanel::draw()
{
    if (plotNavigation->isFollowing())
        plotNavigation->fitToData();
    plotCursors->followPointer();
    // The picture waits for the window's next paint instead of going to the screen at once:
    // the plots a tick draws are then painted and shown in one pass with the values beside
    // them, instead of each plot bringing the whole window's backing store up to date on its
    // own.
    customPlot->replot(QCustomPlot::rpQueuedRefresh);
    behind = false;
}
