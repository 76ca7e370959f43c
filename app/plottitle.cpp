#include "plottitle.h"

#include "fittedtext.h"

namespace {

// Longer names are cut before they are measured for a width (see fitText).
constexpr int widestMeasured = 4000;

QFont titleFont(const QFont &plotFont)
{
    QFont font = plotFont;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 1.5);
    else
        font.setPixelSize(font.pixelSize() * 3 / 2);
    font.setBold(true);
    return font;
}

} // namespace

PlotTitle::PlotTitle(QCustomPlot *plot, const QString &name, const QString &otherToolTip)
    : QCPTextElement(plot, QString(), titleFont(plot->font())), wholeName(name), otherToolTip(otherToolTip)
{
    setMargins(QMargins(5, 5, 5, 0));
    const FittedText fitted = fitText(name, mFont, widestMeasured);
    mText = fitted.text;
    plot->setToolTip(fitted.toolTip + otherToolTip);
}

QSize PlotTitle::minimumOuterSizeHint() const
{
    // Height as the text needs it; no width beyond the margins.
    return QSize(mMargins.left() + mMargins.right(), textHeight() + mMargins.top() + mMargins.bottom());
}

QSize PlotTitle::maximumOuterSizeHint() const
{
    return QSize(QWIDGETSIZE_MAX, textHeight() + mMargins.top() + mMargins.bottom());
}

int PlotTitle::textHeight() const
{
    if (measuredHeight < 0 || measuredText != mText || measuredFont != mFont) {
        measuredText = mText;
        measuredFont = mFont;
        measuredHeight = QFontMetrics(mFont).boundingRect(0, 0, 0, 0, Qt::TextDontClip, mText).height();
    }
    return measuredHeight;
}

void PlotTitle::draw(QCPPainter *painter)
{
    if (mRect.width() != fittedWidth)
        fitTo(mRect.width());
    QCPTextElement::draw(painter);
}

void PlotTitle::fitTo(int width)
{
    fittedWidth = width;
    const FittedText fitted = fitText(wholeName, mainFont(), qMax(width, 0));
    mText = fitted.text;
    mParentPlot->setToolTip(fitted.toolTip + otherToolTip);
}
