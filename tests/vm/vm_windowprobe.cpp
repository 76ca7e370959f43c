// Builds the real window on the hidapi platform and prints what it shows of the device: run
// as an unprivileged user by the window test, to see the program as a user without root
// sees it. With --wait-for-device it first says "ready" and waits until a device is listed
// (plugged while it runs) before it looks.

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
    const bool waitForDevice = app.arguments().contains(QStringLiteral("--wait-for-device"));
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
        auto *countLabel = window.findChild<QLabel *>(QStringLiteral("lbDeviceCount"));
        if (waitForDevice) {
            std::printf("ready\n");
            std::fflush(stdout);
            for (int waited = 0; countLabel->text() == QStringLiteral("[0]") && waited < 30000; waited += 20)
                QTest::qWait(20);
        }
        QTest::qWait(1000);
        count = countLabel->text();
        status = window.statusBar()->currentMessage();
    }
    std::printf("uid %u\ncount %s\nstatus %s\n", unsigned(::geteuid()), qUtf8Printable(count),
                qUtf8Printable(status));
    return 0;
}
