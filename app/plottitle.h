#ifndef PLOTTITLE_H
#define PLOTTITLE_H

#include <qcustomplot.h>

// A plot's title: bold, half as large again as the plot's font, 5 pixels from the sides and
// the top and none from the axis rectangle below. It never sets the plot's width: it asks for
// no width of its own and is cut with an ellipsis to whatever width the plot has, the whole
// name then in the plot's tool tip (after which comes otherToolTip, for what else on the plot
// may be cut). Its text is laid out once and kept as a picture, which the plot's replots copy.
class PlotTitle : public QCPTextElement
{
    Q_OBJECT

public:
    PlotTitle(QCustomPlot *plot, const QString &name, const QString &otherToolTip);

    QString name() const { return wholeName; }

protected:
    QSize minimumOuterSizeHint() const override;
    QSize maximumOuterSizeHint() const override;
    void draw(QCPPainter *painter) override;

private:
    void fitTo(int width);
    // The height of the text's box, measured again only when the text or the font changes: the
    // plot asks for it at every replot.
    int textHeight() const;
    // Draws the kept picture of the text, made again when the text, its font, colour or box
    // change; false where a picture would not give the same pixels (exports, scaled painters).
    bool drawKept(QCPPainter *painter);

    QString wholeName;
    QString otherToolTip;
    int fittedWidth = -1;
    mutable QString measuredText;
    mutable QFont measuredFont;
    mutable int measuredHeight = -1;

    // The kept picture: the part of the box the text may cover, in the box's coordinates.
    QPixmap kept;
    QRect keptArea;
    QRect keptBoundingRect;
    QString keptText;
    QFont keptFont;
    QColor keptColour;
    QSize keptBoxSize;
    int keptFlags = 0;
    QPointF keptShift;
    QPainter::RenderHints keptHints;
};

#endif // PLOTTITLE_H
