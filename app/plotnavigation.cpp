#include "plotnavigation.h"

#include <qcustomplot.h>

PlotNavigation::PlotNavigation(QCustomPlot *plot) : QObject(plot), plot(plot)
{
    plot->setInteraction(QCP::iRangeDrag, true);
    plot->setInteraction(QCP::iRangeZoom, true);
    // The plot emits these before it drags or zooms, so the axes are chosen in time.
    connect(plot, &QCustomPlot::mousePress, this, [this](QMouseEvent *event) { chooseAxes(event->pos()); });
    connect(plot, &QCustomPlot::mouseWheel, this, [this](QWheelEvent *event) { chooseAxes(event->position().toPoint()); });
    connect(plot->xAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), this,
            &PlotNavigation::rangeChanged);
    connect(plot->yAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), this,
            &PlotNavigation::rangeChanged);
}

void PlotNavigation::chooseAxes(const QPoint &position)
{
    QCPAxisRect *rect = plot->axisRect();
    const QRect inner = rect->rect();
    Qt::Orientations axes = Qt::Horizontal | Qt::Vertical;
    if (position.x() < inner.left() && position.y() <= inner.bottom())
        axes = Qt::Vertical; // over the value axis
    else if (position.y() > inner.bottom() && position.x() >= inner.left())
        axes = Qt::Horizontal; // over the sample (or time) axis
    rect->setRangeDrag(axes);
    rect->setRangeZoom(axes);
}

void PlotNavigation::rangeChanged()
{
    if (fitting || !following)
        return;
    following = false;
    emit followingChanged(false);
}

void PlotNavigation::fitToData()
{
    fitting = true;
    plot->rescaleAxes(false);
    fitting = false;
}

void PlotNavigation::follow()
{
    fitToData();
    if (!following) {
        following = true;
        emit followingChanged(true);
    }
    plot->replot(QCustomPlot::rpQueuedRefresh);
}
