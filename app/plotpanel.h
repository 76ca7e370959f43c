#ifndef PLOTPANEL_H
#define PLOTPANEL_H

#include "plotfeed.h"

#include <QList>
#include <QObject>

class PlotCursors;
class PlotNavigation;
class PlotTitle;
class QCustomPlot;

// What the window keeps for one plot beside the plot itself: the feed that keeps its graph in
// step with the parser's window of samples, its title, its zoom and drag, its cursors, and
// whether its picture lags behind its samples (a tick skipped it while it was out of view, or
// the plots were paused). Created once the plot has its title, graph and axis labels; owned
// by the plot.
class PlotPanel : public QObject
{
    Q_OBJECT

public:
    // units: the whole units text, for the cursors' readouts.
    PlotPanel(QCustomPlot *plot, PlotTitle *title, const QString &units, bool timeAxis);

    QCustomPlot *plot() const { return customPlot; }
    PlotTitle *title() const { return plotTitle; }
    PlotNavigation *navigation() const { return plotNavigation; }
    PlotCursors *cursors() const { return plotCursors; }

    // Whether any of the plot can be seen (shown, and not scrolled or covered out of sight).
    bool inView() const;

    // Makes the graph hold the first n keys and values, n being the shorter list's length;
    // false when it already held exactly those. Called with the parser's state lock held.
    bool takeSamples(const QList<double> &keys, const QList<double> &values);
    // The plot history started afresh: the next samples are taken whole.
    void restartHistory() { feed.invalidate(); }

    // Fits the axes to the samples (unless the operator zoomed), moves the crosshair to the
    // sample under the pointer and draws the plot's picture, which the window shows at its
    // next paint (or the paint under way) together with everything else that changed.
    void draw();
    // The picture no longer shows the graph's samples; it is drawn when the plot is next
    // painted (see isBehind).
    void markBehind() { behind = true; }
    bool isBehind() const { return behind; }

private:
    QCustomPlot *customPlot;
    PlotTitle *plotTitle;
    PlotNavigation *plotNavigation;
    PlotCursors *plotCursors;
    PlotFeed feed;
    bool behind = false;
};

#endif // PLOTPANEL_H
