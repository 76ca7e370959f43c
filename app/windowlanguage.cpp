#include "windowlanguage.h"

#include "configuration.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

const QString translatorName = QStringLiteral("windowLanguageTranslator");

// Qt's own texts ("Cancel", "Save As", "Copy"…) in the language. Looked for beside the
// executable first (a bundled program carries them in "translations"), then where Qt keeps
// its translations.
void installQtTranslation(const QString &language, QCoreApplication *application)
{
    const QString name = QStringLiteral("qtbase_") + language;
    for (const QString &folder : {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                                  QLibraryInfo::location(QLibraryInfo::TranslationsPath)}) {
        auto *translator = new QTranslator(application);
        translator->setObjectName(translatorName);
        if (translator->load(name, folder)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
        delete translator;
    }
}

} // namespace

QString windowLanguage(const WindowOptions &options, const Configuration &configuration)
{
    return options.language.isEmpty() ? configuration.language : options.language;
}

QString windowLanguage(const WindowOptions &options)
{
    if (!options.language.isEmpty())
        return options.language;
    return Configuration::load(options.configFile()).language;
}

bool installWindowLanguage(const QString &language)
{
    QCoreApplication *application = QCoreApplication::instance();
    for (QTranslator *earlier : application->findChildren<QTranslator *>(translatorName, Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(earlier);
        delete earlier;
    }
    installQtTranslation(language, application);
    if (language == QLatin1String("ru"))
        return true;

    // The window's own translations are built into the program.
    Q_INIT_RESOURCE(translations);
    auto *translator = new QTranslator(application);
    translator->setObjectName(translatorName);
    if (!translator->load(QStringLiteral(":/translations/tolvex_") + language)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
