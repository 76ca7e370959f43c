#include "darkpalette.h"
#include "hidapiplatform.h"
#include "mainwindow.h"
#include "replaycontrol.h"
#include "replayoptions.h"
#include "replayplatform.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStatusBar>
#include <QStyleFactory>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    const ReplayOptions replayOptions(options);
    options.process(application);

    QString problem;
    std::unique_ptr<ReplayPlatform> replay = replayOptions.open(options, &problem);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(problem));
        return 2;
    }
    // The real devices, or the recording; installed before the window lists them.
    std::unique_ptr<HidPlatform> system;
    if (replay) {
        HidPlatform::install(replay.get());
    } else {
        system = std::make_unique<HidapiPlatform>();
        HidPlatform::install(system.get());
    }
    int exitCode = 0;
    {
        MainWindow window;
        if (replay) {
            window.statusBar()->addPermanentWidget(
                new ReplayControl(*replay, replayOptions.fileName(options), &window));
        }
        window.show();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
        QApplication::setPalette(darkPalette());
        exitCode = application.exec();
    }
    HidPlatform::install(nullptr);
    return exitCode;
}
