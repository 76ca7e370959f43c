#ifndef DARKPALETTE_H
#define DARKPALETTE_H

#include <QPalette>

// The program's dark look, used together with the Fusion style.
QPalette darkPalette();

#endif // DARKPALETTE_H
