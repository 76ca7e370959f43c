#include "darkpalette.h"
#include "mainwindow.h"
#include "programplatform.h"
#include "replaycontrol.h"
#include "replayplatform.h"
#include "windowlanguage.h"

#include <QApplication>
#include <QStatusBar>
#include <QStyleFactory>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TOLVEX_VERSION_TEXT));
    const WindowOptions options = WindowOptions::fromCommandLine(QApplication::arguments());
    // Read once: the language is installed before the window that takes the rest is made.
    const Configuration configuration = Configuration::load(options.configFile());
    installWindowLanguage(windowLanguage(options, configuration));
    // The real devices, or a recording played back as one; chosen before the window lists
    // them, and gone after it.
    ProgramPlatform platform;
    if (!options.replayPath.isEmpty() && !platform.replay(options.replayPath, options.replaySpeed)) {
        std::fprintf(stderr, "%s\n", qPrintable(platform.errorString()));
        return 1;
    }
    MainWindow window(configuration, options, platform.platform());
    ReplayPlatform *replay = platform.replayed();
    if (replay) {
        window.statusBar()->addPermanentWidget(new ReplayControl(*replay, options.replayPath, &window));
        // Never more than a second of a fast device's reports waiting to be decoded.
        replay->setBacklogLimit([&window] { return window.reportBacklog(); }, 24000);
    }
    window.show();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
    QApplication::setPalette(darkPalette());
    const int exitCode = application.exec();
    if (replay)
        replay->setBacklogLimit(nullptr, 0);
    return exitCode;
}
