#ifndef WINDOWLANGUAGE_H
#define WINDOWLANGUAGE_H

#include "windowoptions.h"

#include <QString>

class Configuration;

// The window's texts are Russian; English is a translation loaded on request.

// The language the window speaks: --language, else the configuration's settings.language,
// else Russian ("ru").
QString windowLanguage(const WindowOptions &options, const Configuration &configuration);
// The same, reading the configuration the options name.
QString windowLanguage(const WindowOptions &options);

// Installs on the application the window's translation for the language (none for Russian,
// whose texts are the source texts) and Qt's own translation for its standard dialogs and
// menus. Replaces what an earlier call installed. Call before the windows are built.
// Returns false when the window's translation could not be loaded (the window stays Russian).
bool installWindowLanguage(const QString &language);

#endif // WINDOWLANGUAGE_H
