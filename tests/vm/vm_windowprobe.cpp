// Builds the real window on the hidapi platform, lets it settle and prints what it shows of
// the device: run as an unprivileged user by the window test, to see the program as a user
// without access to the device's node sees it.

#include "hidapiplatform.h"
#include "mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir workDir; // the log files
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path()))
        return 2;
    HidapiPlatform platform;
    HidPlatform::install(&platform);

    QString count;
    QString status;
    {
        MainWindow window;
        window.show();
        QTest::qWait(1000);
        count = window.findChild<QLabel *>(QStringLiteral("lbDeviceCount"))->text();
        status = window.statusBar()->currentMessage();
    }
    std::printf("uid %u\ncount %s\nstatus %s\n", unsigned(::geteuid()), qUtf8Printable(count),
                qUtf8Printable(status));
    return 0;
}
