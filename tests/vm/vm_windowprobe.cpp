// Builds the real window on the system's platform and prints what it shows of the device: run
// as an unprivileged user, or in namespaces of its own, by the window test, to see the program
// as such a user sees it.
//   (no option)          looks once, a second after start, and prints "count" and "status"
//   --wait-for-device    first says "ready" and waits until a device is listed (plugged
//                        while it runs) before it looks
//   --watch SECONDS      says "ready", then prints "count ..." and "status ..." whenever
//                        either changes, for that long
// The first line names the user id it runs as ("uid N").

#include "hidplatform.h"
#include "mainwindow.h"
#include "systemplatform.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

void say(const char *what, const QString &text)
{
    std::printf("%s %s\n", what, qUtf8Printable(text));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    std::printf("uid %u\n", unsigned(::geteuid()));
    std::fflush(stdout);
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const bool waitForDevice = arguments.contains(QStringLiteral("--wait-for-device"));
    const int watchAt = arguments.indexOf(QStringLiteral("--watch"));
    const int watchSeconds = watchAt > 0 ? arguments.value(watchAt + 1).toInt() : 0;
    QTemporaryDir workDir; // the log files
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path()))
        return 2;
    const std::unique_ptr<HidPlatform> platform = makeSystemPlatform();
    HidPlatform::install(platform.get());

    QString count;
    QString status;
    {
        MainWindow window;
        window.show();
        auto *countLabel = window.findChild<QLabel *>(QStringLiteral("lbDeviceCount"));
        if (watchSeconds > 0) {
            std::printf("ready\n");
            std::fflush(stdout);
            for (int waited = 0; waited < watchSeconds * 1000; waited += 10) {
                if (countLabel->text() != count)
                    say("count", count = countLabel->text());
                if (window.statusBar()->currentMessage() != status)
                    say("status", status = window.statusBar()->currentMessage());
                QTest::qWait(10);
            }
        } else {
            if (waitForDevice) {
                std::printf("ready\n");
                std::fflush(stdout);
                for (int waited = 0; countLabel->text() == QStringLiteral("[0]") && waited < 30000; waited += 20)
                    QTest::qWait(20);
            }
            QTest::qWait(1000);
            count = countLabel->text();
            status = window.statusBar()->currentMessage();
            say("count", count);
            say("status", status);
        }
    }
    return 0;
}
