#include "plotlabel.h"

#include <QPainter>

PlotLabel::PlotLabel(QCustomPlot *plot) : QCPItemText(plot)
{
}

void PlotLabel::draw(QCPPainter *painter)
{
    const qreal ratio = mParentPlot->devicePixelRatioF();
    if (picture.isNull() || pictureText != mText || pictureRatio != ratio) {
        const QFontMetrics metrics(mainFont());
        const QRect textRect = metrics.boundingRect(0, 0, 0, 0, Qt::TextDontClip | mTextAlignment, mText);
        const QRect box(0, 0, textRect.width() + mPadding.left() + mPadding.right(),
                        textRect.height() + mPadding.top() + mPadding.bottom());
        picture = QPixmap(box.size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter textPainter(&picture);
        textPainter.setRenderHint(QPainter::TextAntialiasing);
        textPainter.setPen(mainPen());
        textPainter.setBrush(mainBrush());
        textPainter.drawRect(box.adjusted(0, 0, -1, -1));
        textPainter.setFont(mainFont());
        textPainter.setPen(QPen(mainColor()));
        textPainter.drawText(QRect(mPadding.left(), mPadding.top(), textRect.width(), textRect.height()),
                             Qt::TextDontClip | mTextAlignment, mText);
        pictureText = mText;
        pictureRatio = ratio;
    }
    const QSizeF size = QSizeF(picture.size()) / ratio;
    const QPointF topLeft = getTextDrawPoint(position->pixelPosition(), QRectF(QPointF(0, 0), size),
                                             mPositionAlignment);
    painter->drawPixmap(topLeft.toPoint(), picture);
}
