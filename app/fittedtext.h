#ifndef FITTEDTEXT_H
#define FITTEDTEXT_H

#include <QString>

class QFont;

// A configuration text (a name, units, a label) as a widget shows it: cut with an ellipsis to
// a width, so that no text, however long, widens the window or costs more than a short one to
// lay out and draw. What was cut is kept for a tool tip.
struct FittedText
{
    QString text;    // what the widget shows
    QString toolTip; // empty when the text fits; otherwise the whole text (see fitText)
};

// Fits text into maxWidth pixels of font. The tool tip of a cut text is wholeTextToolTip.
FittedText fitText(const QString &text, const QFont &font, int maxWidth);

// A tool tip with the whole of a text: rich text (so that Qt wraps it), holding the text up to
// a few thousand characters, and the length of a longer one.
QString wholeTextToolTip(const QString &text);

#endif // FITTEDTEXT_H
