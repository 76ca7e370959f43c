// The program on a simulated device, for trying it without hardware.
#include "darkpalette.h"
#include "democontrolwindow.h"
#include "mainwindow.h"
#include "simconfig.h"
#include "simplatform.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TOLVEX_VERSION_TEXT));
    const WindowOptions options = WindowOptions::fromCommandLine(QApplication::arguments());
    SimPlatform platform;
    HidPlatform::install(&platform);
    int exitCode = 0;
    {
        // The device is plugged in before the window lists devices; it talks as the same
        // configuration file describes.
        DemoControlWindow control(platform, SimConfig::read(options.configPath.isEmpty()
                                                                ? SimConfig::besideExecutable()
                                                                : options.configPath));
        MainWindow window(options);
        window.show();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
        QApplication::setPalette(darkPalette());
        // Closing the main window ends the demo; the control window does not keep it going.
        control.setAttribute(Qt::WA_QuitOnClose, false);
        control.move(window.frameGeometry().topRight() + QPoint(16, 0));
        control.show();
        exitCode = application.exec();
    }
    HidPlatform::install(nullptr);
    return exitCode;
}
