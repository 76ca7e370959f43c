#include "plottitle.h"

#include "fittedtext.h"

namespace {
// Longer names are cut before they are measured for a width (see fitText).
constexpr int widestMeasured = 4000;
} // namespace

PlotTitle::PlotTitle(QCustomPlot *plot, const QString &name, const QFont &font, const QString &otherToolTip)
    : QCPTextElement(plot, QString(), font), wholeName(name), otherToolTip(otherToolTip)
{
    const FittedText fitted = fitText(name, font, widestMeasured);
    mText = fitted.text;
    plot->setToolTip(fitted.toolTip + otherToolTip);
}

QSize PlotTitle::minimumOuterSizeHint() const
{
    // Height as the text needs it; no width beyond the margins.
    QSize size = QCPTextElement::minimumOuterSizeHint();
    size.setWidth(mMargins.left() + mMargins.right());
    return size;
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
