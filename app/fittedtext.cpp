#include "fittedtext.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QTextDocument>

namespace {

// Measuring lays out every character given, so no more is measured than any width here
// could show.
constexpr int longestMeasured = 1000;
// A tool tip is wrapped by Qt at about 80 characters a line; a few thousand characters still
// fit on a screen. Beyond that it ends with an ellipsis and the length.
constexpr int longestToolTip = 2000;

QString leftPart(const QString &text, int length)
{
    if (text.size() <= length)
        return text;
    // Never split a surrogate pair.
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

} // namespace

FittedText fitText(const QString &text, const QFont &font, int maxWidth)
{
    const QString measured = leftPart(text, longestMeasured);
    FittedText fitted;
    fitted.text = QFontMetrics(font).elidedText(measured, Qt::ElideRight, maxWidth);
    if (fitted.text == text)
        return fitted;
    if (fitted.text == measured) // what was measured fits, but it is not all of the text
        fitted.text += QChar(0x2026);

    fitted.toolTip = wholeTextToolTip(text);
    return fitted;
}

QString wholeTextToolTip(const QString &text)
{
    QString whole = leftPart(text, longestToolTip);
    if (whole.size() < text.size())
        whole += QChar(0x2026) + QLatin1Char(' ')
            + QCoreApplication::translate("MainWindow", "(всего знаков: %1)").arg(text.size());
    return Qt::convertFromPlainText(whole, Qt::WhiteSpaceNormal);
}
