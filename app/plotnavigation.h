#ifndef PLOTNAVIGATION_H
#define PLOTNAVIGATION_H

#include <QObject>

class QCustomPlot;
class QMouseEvent;
class QWheelEvent;

// Zoom and pan of one plot. A plot follows its data (its axes fit the whole window of
// samples) until the operator zooms or drags; from then on it keeps the operator's ranges,
// still receiving samples, until follow() is called. The wheel and a drag act on both axes
// over the plot's area, and on one axis alone over that axis.
class PlotNavigation : public QObject
{
    Q_OBJECT

public:
    explicit PlotNavigation(QCustomPlot *plot);

    bool isFollowing() const { return following; }
    // Fits both axes to the data without counting as the operator's zoom. Does not draw.
    void fitToData();
    // Back to following the data: fits the axes and draws the plot at once.
    void follow();

signals:
    void followingChanged(bool following);

private:
    void chooseAxes(const QPoint &position);
    void rangeChanged();

    QCustomPlot *plot;
    bool following = true;
    bool fitting = false;
};

#endif // PLOTNAVIGATION_H
