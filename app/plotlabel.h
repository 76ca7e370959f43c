#ifndef PLOTLABEL_H
#define PLOTLABEL_H

#include <QPixmap>
#include <QString>

#include <qcustomplot.h>

// A text box on a plot that keeps its rendered picture until its text changes. Laying out and
// rasterising text is the costliest part of drawing a readout, and a plot that follows its
// data is drawn on every tick while its readouts mostly stay the same.
class PlotLabel : public QCPItemText
{
public:
    explicit PlotLabel(QCustomPlot *plot);

protected:
    void draw(QCPPainter *painter) override;

private:
    QPixmap picture;
    QString pictureText;
    qreal pictureRatio = 0;
};

#endif // PLOTLABEL_H
