#ifndef PLOTCURSORS_H
#define PLOTCURSORS_H

#include <QObject>
#include <QPoint>
#include <QString>

#include <optional>

class QCPItemStraightLine;
class QCPItemText;
class QCPItemTracer;
class QCPLayer;
class QCustomPlot;
class QMouseEvent;

// A sample of a plot's graph: its key (sample number or time) and its value.
struct PlotPoint
{
    double key = 0;
    double value = 0;
};

// The measuring aids of one plot, drawn on a layer of their own above the graph so that moving
// them redraws that layer only:
// - hovering shows a crosshair through the sample nearest the pointer and its key and value;
// - a click places cursor A, a shift-click cursor B, each on the nearest sample; with both
//   placed the plot shows the differences between them (samples or time, value, and the rate
//   of change when the key is time);
// - a double click removes the cursors, or, on a plot without cursors, asks for the plot to
//   follow its data again (resetRequested).
class PlotCursors : public QObject
{
    Q_OBJECT

public:
    PlotCursors(QCustomPlot *plot, const QString &units);

    // Whether the plot's key is the time in seconds rather than the sample number.
    void setTimeAxis(bool time);
    bool timeAxis() const { return keyIsTime; }

    bool hasCursors() const { return bool(cursorA) || bool(cursorB); }
    std::optional<PlotPoint> cursor(int which) const { return which == 0 ? cursorA : cursorB; }
    void clearCursors();

    // The texts the plot shows: the hover readout (empty while hidden) and the cursor readout
    // (values of A and B and their differences; empty without cursors).
    QString hoverText() const;
    QString cursorsText() const;

    // After new samples or ranges, before the plot is drawn: the crosshair moves to the sample
    // now under the pointer.
    void followPointer();

    // The graph sample nearest to a key, by key; none on an empty graph.
    static std::optional<PlotPoint> nearestPoint(const QCustomPlot *plot, double key);

signals:
    void resetRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Marker
    {
        QCPItemStraightLine *line;
        QCPItemTracer *dot;
        QCPItemText *name;
    };

    Marker makeMarker(const QColor &colour, const QString &name);
    void placeMarker(const Marker &marker, const std::optional<PlotPoint> &point);
    void pressed(QMouseEvent *event);
    void released(QMouseEvent *event);
    void doubleClicked(QMouseEvent *event);
    void moved(QMouseEvent *event);
    std::optional<PlotPoint> pointAt(const QPoint &pixel) const;
    void showHover(const PlotPoint &point);
    void hideHover();
    void updateCursorItems();
    void redraw();
    void chooseLayerMode();
    QString keyText(double key) const;
    QString valueText(double value) const;

    QCustomPlot *plot;
    QString units;
    bool keyIsTime = false;
    QCPLayer *layer = nullptr;

    QCPItemStraightLine *hoverVertical = nullptr;
    QCPItemStraightLine *hoverHorizontal = nullptr;
    QCPItemTracer *hoverDot = nullptr;
    QCPItemText *hoverLabel = nullptr;
    Marker markerA{};
    Marker markerB{};
    QCPItemText *readout = nullptr;

    std::optional<PlotPoint> cursorA;
    std::optional<PlotPoint> cursorB;
    // Cursors as they were before the last click: the first click of a double click places
    // a cursor that the double click then takes back.
    std::optional<PlotPoint> beforeClickA;
    std::optional<PlotPoint> beforeClickB;
    QPoint pressPosition;
    QPoint pointerPosition;
    bool pressing = false;
    bool releaseEndsDoubleClick = false;
};

#endif // PLOTCURSORS_H
