#include "plotcursors.h"

#include "plotlabel.h"

#include <QApplication>
#include <QCoreApplication>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace {

const QColor hoverColour(120, 120, 120);
const QColor colourA(230, 120, 0);
const QColor colourB(130, 40, 200);

// A number in plain decimal notation with at most the given decimals, trailing zeros dropped.
QString plainNumber(double number, int decimals)
{
    if (!std::isfinite(number))
        return QString::number(number);
    QString text = QString::number(number, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

QCPItemText *makeText(QCustomPlot *plot, QCPLayer *layer, const QColor &colour)
{
    auto *text = new PlotLabel(plot);
    text->setLayer(layer);
    text->setColor(colour);
    text->setPen(QPen(colour));
    text->setBrush(QColor(255, 255, 255, 220));
    text->setPadding(QMargins(4, 2, 4, 2));
    text->setTextAlignment(Qt::AlignLeft);
    QFont font = plot->font();
    font.setPointSizeF(font.pointSizeF() * 0.85); // a readout, not a title
    text->setFont(font);
    text->setSelectable(false);
    text->setAntialiased(false); // a picture drawn whole on whole pixels
    text->setVisible(false);
    return text;
}

QCPItemStraightLine *makeLine(QCustomPlot *plot, QCPLayer *layer, const QPen &pen)
{
    auto *line = new QCPItemStraightLine(plot);
    line->setLayer(layer);
    line->setPen(pen);
    // Upright and level lines need no smoothing, and drawing them without it is cheap.
    line->setAntialiased(false);
    line->setSelectable(false);
    line->setVisible(false);
    return line;
}

QCPItemTracer *makeDot(QCustomPlot *plot, QCPLayer *layer, const QColor &colour)
{
    auto *dot = new QCPItemTracer(plot);
    dot->setLayer(layer);
    dot->setStyle(QCPItemTracer::tsCircle);
    dot->setSize(7);
    dot->setPen(QPen(colour, 1.5));
    dot->setBrush(Qt::NoBrush);
    dot->setSelectable(false);
    dot->setVisible(false);
    return dot;
}

// A line through a point of plot coordinates: vertical, or horizontal.
void throughPoint(QCPItemStraightLine *line, const PlotPoint &point, bool vertical)
{
    if (vertical) {
        line->point1->setCoords(point.key, 0);
        line->point2->setCoords(point.key, 1);
    } else {
        line->point1->setCoords(0, point.value);
        line->point2->setCoords(1, point.value);
    }
}

} // namespace

PlotCursors::PlotCursors(QCustomPlot *plot, const QString &units)
    : QObject(plot), plot(plot), units(units)
{
    plot->setMouseTracking(true);
    // The plot's top layer. While it shows something it has a paint buffer of its own, so that
    // moving the cursors or the crosshair over a still picture redraws this layer only; while
    // it is empty it has none, and a replot neither clears it nor lays it over the picture.
    layer = plot->layer(QStringLiteral("overlay"));

    hoverVertical = makeLine(plot, layer, QPen(hoverColour, 1));
    hoverHorizontal = makeLine(plot, layer, QPen(hoverColour, 1));
    hoverDot = makeDot(plot, layer, hoverColour);
    hoverLabel = makeText(plot, layer, Qt::black);
    hoverLabel->position->setType(QCPItemPosition::ptAxisRectRatio);
    hoverLabel->position->setCoords(0.99, 0.02);
    hoverLabel->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);

    markerA = makeMarker(colourA, QStringLiteral("A"));
    markerB = makeMarker(colourB, QStringLiteral("B"));
    readout = makeText(plot, layer, Qt::black);
    readout->position->setType(QCPItemPosition::ptAxisRectRatio);
    readout->position->setCoords(0.01, 0.02);
    readout->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);

    chooseLayerMode();

    connect(plot, &QCustomPlot::mousePress, this, &PlotCursors::pressed);
    connect(plot, &QCustomPlot::mouseRelease, this, &PlotCursors::released);
    connect(plot, &QCustomPlot::mouseDoubleClick, this, &PlotCursors::doubleClicked);
    connect(plot, &QCustomPlot::mouseMove, this, &PlotCursors::moved);
    plot->installEventFilter(this);
}

PlotCursors::Marker PlotCursors::makeMarker(const QColor &colour, const QString &name)
{
    Marker marker;
    marker.line = makeLine(plot, layer, QPen(colour, 2));
    marker.dot = makeDot(plot, layer, colour);
    marker.name = makeText(plot, layer, colour);
    marker.name->setText(name);
    marker.name->position->setTypeX(QCPItemPosition::ptPlotCoords);
    marker.name->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    marker.name->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    return marker;
}

void PlotCursors::setTimeAxis(bool time)
{
    keyIsTime = time;
    updateCursorItems();
}

std::optional<PlotPoint> PlotCursors::nearestPoint(const QCustomPlot *plot, double key)
{
    if (plot->graphCount() == 0)
        return std::nullopt;
    const QSharedPointer<QCPGraphDataContainer> data = plot->graph(0)->data();
    if (data->isEmpty() || std::isnan(key))
        return std::nullopt;
    auto after = std::lower_bound(data->constBegin(), data->constEnd(), key,
                                  [](const QCPGraphData &point, double k) { return point.key < k; });
    auto nearest = after;
    if (after == data->constEnd()) {
        nearest = after - 1;
    } else if (after != data->constBegin()) {
        const auto before = after - 1;
        if (key - before->key <= after->key - key)
            nearest = before;
    }
    return PlotPoint{nearest->key, nearest->value};
}

std::optional<PlotPoint> PlotCursors::pointAt(const QPoint &pixel) const
{
    // A few pixels of slack: the first and last samples lie on the rectangle's edges.
    constexpr int slack = 3;
    if (!plot->axisRect()->rect().adjusted(-slack, -slack, slack, slack).contains(pixel))
        return std::nullopt;
    return nearestPoint(plot, plot->xAxis->pixelToCoord(pixel.x()));
}

void PlotCursors::pressed(QMouseEvent *event)
{
    pressing = event->button() == Qt::LeftButton;
    pressPosition = event->pos();
    if (pressing)
        hideHover(); // a drag moves the data under the pointer
}

void PlotCursors::released(QMouseEvent *event)
{
    if (releaseEndsDoubleClick) {
        releaseEndsDoubleClick = false;
        return;
    }
    if (!pressing || event->button() != Qt::LeftButton)
        return;
    pressing = false;
    // A drag pans the plot; only a click places a cursor.
    if ((event->pos() - pressPosition).manhattanLength() > QApplication::startDragDistance())
        return;
    const std::optional<PlotPoint> point = pointAt(event->pos());
    if (!point)
        return;
    beforeClickA = cursorA;
    beforeClickB = cursorB;
    if (event->modifiers() & Qt::ShiftModifier)
        cursorB = point;
    else
        cursorA = point;
    updateCursorItems();
    redraw();
}

void PlotCursors::doubleClicked(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    releaseEndsDoubleClick = true;
    pressing = false;
    // The double click's first click placed a cursor: what counts is what was there before.
    const bool hadCursors = bool(beforeClickA) || bool(beforeClickB);
    beforeClickA.reset();
    beforeClickB.reset();
    cursorA.reset();
    cursorB.reset();
    updateCursorItems();
    redraw();
    if (!hadCursors)
        emit resetRequested();
}

void PlotCursors::moved(QMouseEvent *event)
{
    if (event->buttons() != Qt::NoButton)
        return;
    pointerPosition = event->pos();
    const std::optional<PlotPoint> point = pointAt(pointerPosition);
    if (point)
        showHover(*point);
    else if (hoverLabel->visible())
        hideHover();
    else
        return;
    redraw();
}

void PlotCursors::followPointer()
{
    if (!hoverLabel->visible())
        return;
    if (const std::optional<PlotPoint> point = pointAt(pointerPosition))
        showHover(*point);
    else
        hideHover();
    chooseLayerMode();
}

void PlotCursors::chooseLayerMode()
{
    const bool shown = hoverLabel->visible() || readout->visible();
    // A change of mode makes the layer's next replot a whole one, which sets up the buffers.
    layer->setMode(shown ? QCPLayer::lmBuffered : QCPLayer::lmLogical);
}

void PlotCursors::showHover(const PlotPoint &point)
{
    throughPoint(hoverVertical, point, true);
    throughPoint(hoverHorizontal, point, false);
    hoverDot->position->setCoords(point.key, point.value);
    hoverLabel->setText(keyText(point.key) + QStringLiteral(": ") + valueText(point.value));
    for (QCPAbstractItem *item : {static_cast<QCPAbstractItem *>(hoverVertical),
                                  static_cast<QCPAbstractItem *>(hoverHorizontal),
                                  static_cast<QCPAbstractItem *>(hoverDot),
                                  static_cast<QCPAbstractItem *>(hoverLabel)})
        item->setVisible(true);
}

bool PlotCursors::eventFilter(QObject *watched, QEvent *event)
{
    // While the plot is being destroyed (a Leave may come as it is hidden) it is no longer a
    // QCustomPlot and its items are gone: only a whole plot is asked about them.
    if (event->type() == QEvent::Leave && qobject_cast<QCustomPlot *>(watched) == plot && hoverLabel->visible()) {
        hideHover();
        redraw();
    }
    return QObject::eventFilter(watched, event);
}

void PlotCursors::hideHover()
{
    hoverVertical->setVisible(false);
    hoverHorizontal->setVisible(false);
    hoverDot->setVisible(false);
    hoverLabel->setVisible(false);
}

void PlotCursors::clearCursors()
{
    cursorA.reset();
    cursorB.reset();
    beforeClickA.reset();
    beforeClickB.reset();
    updateCursorItems();
    redraw();
}

void PlotCursors::placeMarker(const Marker &marker, const std::optional<PlotPoint> &point)
{
    marker.line->setVisible(bool(point));
    marker.dot->setVisible(bool(point));
    marker.name->setVisible(bool(point));
    if (!point)
        return;
    throughPoint(marker.line, *point, true);
    marker.dot->position->setCoords(point->key, point->value);
    marker.name->position->setCoords(point->key, 1);
}

void PlotCursors::updateCursorItems()
{
    placeMarker(markerA, cursorA);
    placeMarker(markerB, cursorB);
    const QString text = cursorsText();
    readout->setText(text);
    readout->setVisible(!text.isEmpty());
}

QString PlotCursors::keyText(double key) const
{
    if (keyIsTime)
        return plainNumber(key, 6) + QCoreApplication::translate("MainWindow", " с");
    return QCoreApplication::translate("MainWindow", "замер ") + plainNumber(key, 0);
}

QString PlotCursors::valueText(double value) const
{
    return units.isEmpty() ? number(value) : number(value) + QLatin1Char(' ') + units;
}

QString PlotCursors::hoverText() const
{
    return hoverLabel->visible() ? hoverLabel->text() : QString();
}

QString PlotCursors::cursorsText() const
{
    QStringList lines;
    if (cursorA)
        lines << QStringLiteral("A: ") + keyText(cursorA->key) + QStringLiteral(": ") + valueText(cursorA->value);
    if (cursorB)
        lines << QStringLiteral("B: ") + keyText(cursorB->key) + QStringLiteral(": ") + valueText(cursorB->value);
    if (cursorA && cursorB) {
        const double keyStep = cursorB->key - cursorA->key;
        const double valueStep = cursorB->value - cursorA->value;
        const QString valueDifference =
            QCoreApplication::translate("MainWindow", "Δ значения: ") + valueText(valueStep);
        if (keyIsTime) {
            QString line = QCoreApplication::translate("MainWindow", "Δt: ") + plainNumber(keyStep, 6)
                           + QCoreApplication::translate("MainWindow", " с, ") + valueDifference;
            // Two cursors on the same instant have no rate between them.
            if (keyStep != 0)
                line += QCoreApplication::translate("MainWindow", ", скорость: ") + number(valueStep / keyStep)
                        + (units.isEmpty()
                               ? QCoreApplication::translate("MainWindow", " /с")
                               : QLatin1Char(' ') + units + QCoreApplication::translate("MainWindow", "/с"));
            lines << line;
        } else {
            lines << QCoreApplication::translate("MainWindow", "Δ замеров: ") + plainNumber(keyStep, 0)
                         + QStringLiteral(", ") + valueDifference;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

void PlotCursors::redraw()
{
    chooseLayerMode();
    layer->replot();
}
