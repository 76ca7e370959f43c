#include "darkpalette.h"
#include "hidapiplatform.h"
#include "mainwindow.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TOLVEX_VERSION_TEXT));
    const WindowOptions options = WindowOptions::fromCommandLine(QApplication::arguments());
    // The real devices; installed before the window lists them.
    static HidapiPlatform platform;
    HidPlatform::install(&platform);
    int exitCode = 0;
    {
        MainWindow window(options);
        window.show();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
        QApplication::setPalette(darkPalette());
        exitCode = application.exec();
    }
    return exitCode;
}
