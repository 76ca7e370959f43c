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

void PlotPanel::draw(bool now)
{
    if (plotNavigation->isFollowing())
        plotNavigation->fitToData();
    plotCursors->followPointer();
    customPlot->replot(now ? QCustomPlot::rpRefreshHint : QCustomPlot::rpQueuedRefresh);
    behind = false;
}
