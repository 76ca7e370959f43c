#include "darkpalette.h"

#include <QBrush>
#include <QColor>

QPalette darkPalette()
{
    const QColor grey(53, 53, 53);
    QPalette palette;
    auto set = [&palette](QPalette::ColorGroup group, QPalette::ColorRole role, const QColor &colour) {
        palette.setBrush(group, role, QBrush(colour, Qt::SolidPattern));
    };
    set(QPalette::All, QPalette::Window, grey);
    set(QPalette::All, QPalette::WindowText, Qt::white);
    set(QPalette::All, QPalette::Base, QColor(15, 15, 15));
    set(QPalette::All, QPalette::AlternateBase, grey);
    set(QPalette::All, QPalette::ToolTipBase, Qt::white);
    set(QPalette::All, QPalette::ToolTipText, Qt::white);
    set(QPalette::All, QPalette::Text, Qt::white);
    set(QPalette::All, QPalette::Button, grey);
    set(QPalette::All, QPalette::ButtonText, Qt::white);
    set(QPalette::All, QPalette::BrightText, Qt::red);
    set(QPalette::All, QPalette::Highlight, QColor(67, 237, 241));
    set(QPalette::All, QPalette::HighlightedText, Qt::black);
    // Last, so that they override the entries above for disabled widgets.
    set(QPalette::Disabled, QPalette::Text, Qt::darkGray);
    set(QPalette::Disabled, QPalette::ButtonText, Qt::darkGray);
    return palette;
}
