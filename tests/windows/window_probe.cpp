// The real window on the system's HID platform, telling on standard output what it shows of
// the device and of a command, for the scenarios that run the Windows programs against a real
// device (tests/vm/wine-guest), where nothing outside the window can see these texts.
//   window_probe SECONDS CONTROL [--config FILE]
// Prints "ready" once the window is up, then a line whenever one of these changes:
//   count TEXT            the device count ("[1]")
//   status TEXT           the status bar
//   devices A|B           the device list's items
//   answers A|B after MS  the answer fields, MS milliseconds after the last send
// and, to tell where time goes when the window is slow, lines stamped with the wall clock in
// milliseconds since 1970 (comparable with `date +%s%3N` beside it):
//   stall MS at T         the window's event loop ran no timer for MS milliseconds
//   slow MS: WHAT at T    one event took MS milliseconds to handle
//   notice MS at T        the platform's device-change notice took MS milliseconds to handle
// It reads commands appended to the file CONTROL, one a line: "command NAME" chooses a command,
// "send" presses "Выполнить". It ends after SECONDS. Log files land in the working directory.

#include "hidplatform.h"
#include "mainwindow.h"
#include "systemplatform.h"
#include "windowoptions.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qUtf8Printable(line));
    std::fflush(stdout);
}

QString deviceItems(QComboBox *devices)
{
    QStringList items;
    for (int i = 0; i < devices->count(); ++i)
        items << devices->itemText(i);
    return items.join(QLatin1Char('|'));
}

QString answerTexts(QGroupBox *answers)
{
    QStringList texts;
    QLayout *layout = answers->layout();
    for (int i = 0; layout && i < layout->count(); ++i) {
        if (QWidget *frame = layout->itemAt(i)->widget()) {
            if (auto *edit = frame->findChild<QLineEdit *>())
                texts << edit->text();
        }
    }
    return texts.join(QLatin1Char('|'));
}

qint64 wallMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString describe(QObject *object)
{
    if (!object)
        return QStringLiteral("-");
    QString text = QLatin1String(object->metaObject()->className());
    if (!object->objectName().isEmpty())
        text += QLatin1Char('(') + object->objectName() + QLatin1Char(')');
    return text;
}

// Says which events take long to handle: the outermost handling of each, with what received it.
class ProbeApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (depth > 0)
            return QApplication::notify(receiver, event);
        // Described before handling: the receiver may be gone after it.
        const int type = event->type();
        const QString what = describe(receiver) + QStringLiteral(" in ") + describe(receiver->parent());
        QElapsedTimer took;
        took.start();
        ++depth;
        const bool handled = QApplication::notify(receiver, event);
        --depth;
        if (took.elapsed() >= slowMs)
            say(QStringLiteral("slow %1: %2 event %3 at %4").arg(took.elapsed()).arg(what).arg(type).arg(wallMs()));
        return handled;
    }

    static constexpr qint64 slowMs = 150;

private:
    int depth = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    ProbeApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: window_probe SECONDS CONTROL [--config FILE]\n");
        return 2;
    }
    const int seconds = arguments.at(1).toInt();
    QFile control(arguments.at(2));
    WindowOptions options;
    const int configAt = arguments.indexOf(QStringLiteral("--config"));
    if (configAt > 0)
        options.configPath = arguments.value(configAt + 1);

    auto platform = makeSystemPlatform();
    HidPlatform::install(platform.get());
    // Around the window's own handling of a notice (connected before and after it).
    QElapsedTimer noticeTook;
    QObject::connect(platform.get(), &HidPlatform::devicesChanged, [&] { noticeTook.start(); });
    {
        MainWindow window(options);
        window.show();
        auto *count = window.findChild<QLabel *>(QStringLiteral("lbDeviceCount"));
        auto *devices = window.findChild<QComboBox *>(QStringLiteral("cbCurrentDevice"));
        auto *commands = window.findChild<QComboBox *>(QStringLiteral("cbCommand"));
        auto *send = window.findChild<QPushButton *>(QStringLiteral("pbSend"));
        auto *answers = window.findChild<QGroupBox *>(QStringLiteral("gbIn"));
        QString shown[4];
        QElapsedTimer sinceSend;
        sinceSend.start();
        QByteArray pending; // a control line not yet ended
        QObject::connect(platform.get(), &HidPlatform::devicesChanged, &window, [&] {
            if (noticeTook.isValid())
                say(QStringLiteral("notice %1 at %2").arg(noticeTook.elapsed()).arg(wallMs()));
        });
        QElapsedTimer sinceLook;
        sinceLook.start();
        say(QStringLiteral("ready"));

        QTimer look;
        QObject::connect(&look, &QTimer::timeout, &window, [&] {
            if (sinceLook.elapsed() >= ProbeApplication::slowMs)
                say(QStringLiteral("stall %1 at %2").arg(sinceLook.elapsed()).arg(wallMs()));
            sinceLook.restart();
            const QString now[4] = {count->text(), window.statusBar()->currentMessage(),
                                    deviceItems(devices), answerTexts(answers)};
            static const char *const names[4] = {"count", "status", "devices", "answers"};
            for (int i = 0; i < 4; ++i) {
                if (now[i] == shown[i])
                    continue;
                shown[i] = now[i];
                QString line = QLatin1String(names[i]) + QLatin1Char(' ') + now[i];
                if (i == 3)
                    line += QStringLiteral(" after %1").arg(sinceSend.elapsed());
                say(line);
            }

            if (!control.isOpen() && !control.open(QIODevice::ReadOnly))
                return;
            pending += control.readAll();
            int end;
            while ((end = pending.indexOf('\n')) >= 0) {
                const QString command = QString::fromUtf8(pending.left(end)).trimmed();
                pending.remove(0, end + 1);
                if (command.startsWith(QLatin1String("command "))) {
                    commands->setCurrentIndex(commands->findText(command.mid(8)));
                } else if (command == QLatin1String("send")) {
                    sinceSend.restart();
                    send->click();
                }
            }
        });
        look.start(20);
        QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
        app.exec();
    }
    HidPlatform::install(nullptr);
    return 0;
}
