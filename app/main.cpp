#include "darkpalette.h"
#ifdef Q_OS_LINUX
#include "hidrawplatform.h"
#else
#include "hidapiplatform.h"
#endif
#include "mainwindow.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TOLVEX_VERSION_TEXT));
    const WindowOptions options = WindowOptions::fromCommandLine(QApplication::arguments());
    // The real devices; installed before the window lists them.
#ifdef Q_OS_LINUX
    static HidrawPlatform platform;
#else
    static HidapiPlatform platform;
#endif
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
