#ifndef PLOTGRAPH_H
#define PLOTGRAPH_H

#include <QLine>
#include <QVector>

#include <qcustomplot.h>

// A plot's graph, drawn as QCPGraph draws it with fast polylines: segment by segment, each
// point joined to the next, a gap at every NaN. It hands the painter all the segments of a
// line at once instead of one call each, which is the same picture (the raster engine strokes
// each segment on its own either way) without the cost of a painter call and a stroke set-up
// per segment, most of a thousand-point line's drawing time. Exports (PNG, clipboard) and
// other pens are drawn by QCPGraph itself.
class PlotGraph : public QCPGraph
{
    Q_OBJECT

public:
    PlotGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

protected:
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &points) const override;

private:
    // Kept between draws: the line is drawn on every tick with about as many segments.
    mutable QVector<QLineF> segments;
    mutable QVector<QLine> pixelSegments;
};

#endif // PLOTGRAPH_H
