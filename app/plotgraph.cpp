#include "plotgraph.h"

PlotGraph::PlotGraph(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis) {}

void PlotGraph::drawLinePlot(QCPPainter *painter, const QVector<QPointF> &points) const
{
    const QPen pen = painter->pen();
    const bool segmentBySegment = mParentPlot->plottingHints().testFlag(QCP::phFastPolylines)
                                  && pen.style() == Qt::SolidLine && pen.color().alpha() != 0
                                  && !qFuzzyCompare(pen.widthF(), 1.0)
                                  && !painter->modes().testFlag(QCPPainter::pmVectorized)
                                  && !painter->modes().testFlag(QCPPainter::pmNoCaching);
    if (!segmentBySegment) {
        QCPGraph::drawLinePlot(painter, points);
        return;
    }
    applyDefaultAntialiasingHint(painter);

    segments.clear();
    const auto valid = [](const QPointF &point) { return !qIsNaN(point.x()) && !qIsNaN(point.y()); };
    int i = 0;
    const int count = points.size();
    while (i < count && !valid(points.at(i)))
        ++i;
    bool afterGap = false;
    for (++i; i < count; ++i) {
        if (!valid(points.at(i))) {
            afterGap = true;
        } else if (afterGap) {
            afterGap = false; // a segment starts at the next point
        } else {
            segments.append(QLineF(points.at(i - 1), points.at(i)));
        }
    }
    // Without antialiasing QCPPainter draws each segment on whole pixels.
    if (painter->antialiasing()) {
        painter->drawLines(segments);
    } else {
        pixelSegments.clear();
        for (const QLineF &segment : qAsConst(segments))
            pixelSegments.append(segment.toLine());
        painter->drawLines(pixelSegments);
    }
}
