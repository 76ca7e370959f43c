// The program on a simulated device, for trying it without hardware.
#include "darkpalette.h"
#include "democontrolwindow.h"
#include "mainwindow.h"
#include "simconfig.h"
#include "simplatform.h"
#include "windowlanguage.h"

#include <QApplication>
#include <QStyleFactory>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TOLVEX_VERSION_TEXT));
    const WindowOptions options = WindowOptions::fromCommandLine(QApplication::arguments());
    // Read once: the language, the simulated device and the window take it.
    const Configuration configuration = Configuration::load(options.configFile());
    installWindowLanguage(windowLanguage(options, configuration));
    if (!options.replayPath.isEmpty()) {
        // The demo's device is the simulated one; a recording is replayed by the real program.
        std::fprintf(stderr, "--replay is for Tolvex_Client: the demo always runs its simulated device.\n");
        return 2;
    }
    // The simulated platform, handed to the window's device session.
    SimPlatform platform;
    int exitCode = 0;
    {
        // The device is plugged in before the window lists devices; it talks as the same
        // configuration file describes.
        DemoControlWindow control(platform, SimConfig{configuration.telemetry, configuration.commands});
        MainWindow window(configuration, options, &platform);
        window.show();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
        QApplication::setPalette(darkPalette());
        // Closing the main window ends the demo; the control window does not keep it going.
        control.setAttribute(Qt::WA_QuitOnClose, false);
        control.move(window.frameGeometry().topRight() + QPoint(16, 0));
        control.show();
        exitCode = application.exec();
    }
    return exitCode;
}
