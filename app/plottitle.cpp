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
    if (!drawKept(painter))
        QCPTextElement::draw(painter);
}

bool PlotTitle::drawKept(QCPPainter *painter)
{
    // The picture is laid at whole device pixels and made with the painter's own shift (an
    // antialiased painter draws half a pixel off): the glyphs then fall where drawing the text
    // would put them, and over the transparent buffer under the title the copy gives the same
    // pixels.
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QTransform transform = painter->transform();
    if (painter->modes().testFlag(QCPPainter::pmNoCaching) || painter->modes().testFlag(QCPPainter::pmVectorized)
        || transform.type() > QTransform::TxTranslate || ratio != qRound(ratio) || mText.isEmpty())
        return false;
    const QPointF shift(transform.dx(), transform.dy());
    const QColor colour = mainTextColor();
    const QFont font = mainFont();
    if (kept.isNull() || keptText != mText || keptFont != font || keptColour != colour || keptBoxSize != mRect.size()
        || keptFlags != mTextFlags || keptShift != shift || keptHints != painter->renderHints()
        || kept.devicePixelRatioF() != ratio) {
        const QRect box(QPoint(0, 0), mRect.size());
        // The text's box as laid out, widened by a line's height for glyphs that reach beyond
        // it; drawText clips to the box.
        const QFontMetrics metrics(font);
        const int reach = metrics.height();
        keptArea = metrics.boundingRect(box, mTextFlags, mText).adjusted(-reach, -reach, reach, reach).intersected(box);
        kept = QPixmap(keptArea.size() * int(ratio));
        kept.setDevicePixelRatio(ratio);
        kept.fill(Qt::transparent);
        keptBoundingRect = QRect();
        if (!keptArea.isEmpty()) {
            QCPPainter keptPainter(&kept);
            keptPainter.setRenderHints(painter->renderHints());
            keptPainter.translate(shift - keptArea.topLeft());
            keptPainter.setFont(font);
            keptPainter.setPen(QPen(colour));
            keptPainter.drawText(box, mTextFlags, mText, &keptBoundingRect);
        }
        keptText = mText;
        keptFont = font;
        keptColour = colour;
        keptBoxSize = mRect.size();
        keptFlags = mTextFlags;
        keptShift = shift;
        keptHints = painter->renderHints();
    }
    painter->setTransform(QTransform());
    painter->drawPixmap(mRect.topLeft() + keptArea.topLeft(), kept);
    painter->setTransform(transform);
    mTextBoundingRect = keptBoundingRect.translated(mRect.topLeft());
    return true;
}

void PlotTitle::fitTo(int width)
{
    fittedWidth = width;
    const FittedText fitted = fitText(wholeName, mainFont(), qMax(width, 0));
    mText = fitted.text;
    mParentPlot->setToolTip(fitted.toolTip + otherToolTip);
}
