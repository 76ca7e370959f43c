#include "darkpalette.h"
#include "mainwindow.h"
#include "replaycontrol.h"
#include "replayplatform.h"
#include "systemplatform.h"
#include "windowlanguage.h"

#include <QApplication>
#include <QStatusBar>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TOLVEX_VERSION_TEXT));
    const WindowOptions options = WindowOptions::fromCommandLine(QApplication::arguments());
    // Read once: the language is installed before the window that takes the rest is made.
    const Configuration configuration = Configuration::load(options.configFile());
    installWindowLanguage(windowLanguage(options, configuration));
    // The real devices, or a recording played back as one; installed before the window
    // lists them.
    std::unique_ptr<HidPlatform> platform;
    ReplayPlatform *replay = nullptr;
    if (!options.replayPath.isEmpty()) {
        auto recording = std::make_unique<ReplayPlatform>();
        if (!recording->load(options.replayPath, options.replaySpeed)) {
            std::fprintf(stderr, "%s\n", qPrintable(recording->errorString()));
            return 1;
        }
        replay = recording.get();
        platform = std::move(recording);
    } else {
        platform = makeSystemPlatform();
    }
    HidPlatform::install(platform.get());
    int exitCode = 0;
    {
        MainWindow window(configuration, options);
        if (replay) {
            window.statusBar()->addPermanentWidget(new ReplayControl(*replay, options.replayPath, &window));
            // Never more than a second of a fast device's reports waiting to be decoded.
            replay->setBacklogLimit([&window] { return window.reportBacklog(); }, 24000);
        }
        window.show();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
        QApplication::setPalette(darkPalette());
        exitCode = application.exec();
        if (replay)
            replay->setBacklogLimit(nullptr, 0);
    }
    HidPlatform::install(nullptr);
    return exitCode;
}
