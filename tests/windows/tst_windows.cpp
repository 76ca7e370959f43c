// What only the Windows build has: the program's version record as Windows reads it, the system's
// device-change message reaching the window, and the system's HID platform. Runs on the
// "windows" platform plugin, so that the window has a real native window to send messages to.
#include "mainwindow.h"
#include "simplatform.h"
#include "winhidplatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <windows.h>
#include <dbt.h>

#include <vector>

namespace {

const QString plugSign = QString::fromUtf8("\xF0\x9F\x94\x8C ");

// The built program, beside this test.
QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Tolvex_Client.exe");
}

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

QString versionString(const std::vector<char> &record, const QString &name)
{
    void *value = nullptr;
    UINT length = 0;
    const std::wstring key = wide(QStringLiteral("\\StringFileInfo\\040904b0\\") + name);
    if (!VerQueryValueW(record.data(), key.c_str(), &value, &length))
        return QStringLiteral("<missing>");
    // The length counts the terminating zero where there is one.
    return QString::fromWCharArray(static_cast<const wchar_t *>(value), int(length)).section(QChar(0), 0, 0);
}

QString versionNumber(DWORD high, DWORD low)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(HIWORD(high)).arg(LOWORD(high)).arg(HIWORD(low)).arg(LOWORD(low));
}

} // namespace

class WindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(logDir.isValid());
        QVERIFY(QDir::setCurrent(logDir.path()));
    }

    // What Explorer shows under Properties > Details.
    void versionRecord()
    {
        const std::wstring path = wide(QDir::toNativeSeparators(programPath()));
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        QVERIFY2(size > 0, qPrintable(programPath()));
        std::vector<char> record(size);
        QVERIFY(GetFileVersionInfoW(path.c_str(), 0, size, record.data()));

        VS_FIXEDFILEINFO *fixed = nullptr;
        UINT length = 0;
        QVERIFY(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
        QCOMPARE(fixed->dwSignature, DWORD(0xFEEF04BD));
        QCOMPARE(versionNumber(fixed->dwFileVersionMS, fixed->dwFileVersionLS), QStringLiteral("1.7.0.0"));
        QCOMPARE(versionNumber(fixed->dwProductVersionMS, fixed->dwProductVersionLS), QStringLiteral("1.7.0.0"));

        QCOMPARE(versionString(record, QStringLiteral("FileVersion")), QStringLiteral("1.7.0.0"));
        QCOMPARE(versionString(record, QStringLiteral("ProductVersion")), QStringLiteral("1.7.0.0"));
        QCOMPARE(versionString(record, QStringLiteral("ProductName")), QStringLiteral("Tolvex_Client"));
        QCOMPARE(versionString(record, QStringLiteral("OriginalFilename")), QStringLiteral("Tolvex_Client.exe"));
        for (const char *empty : {"CompanyName", "FileDescription", "InternalName", "LegalCopyright"})
            QCOMPARE(versionString(record, QString::fromLatin1(empty)), QString());
    }

    // Windows announces a changed device set with WM_DEVICECHANGE / DBT_DEVNODES_CHANGED; the
    // window lists its devices again then, and only then.
    void deviceChangeMessageRelistsDevices()
    {
        SimPlatform sim;
        HidPlatform::install(&sim);
        {
            MainWindow window;
            window.show();
            // The simulated platform's own notice is cut (from the window and the device
            // session beneath it), so that only the message can tell.
            QObject::disconnect(&sim, &HidPlatform::devicesChanged, nullptr, nullptr);
            QCOMPARE(count(window), QStringLiteral("[0]"));

            const auto device = sim.plug(QStringLiteral("Tolvex probe"));
            const HWND hwnd = reinterpret_cast<HWND>(window.winId());
            SendMessageW(hwnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
            QCOMPARE(count(window), QStringLiteral("[0]"));

            SendMessageW(hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
            QCOMPARE(count(window), QStringLiteral("[1]"));
            QVERIFY(window.statusBar()->currentMessage().startsWith(
                plugSign + QString::fromUtf8("Подключено устройство Tolvex probe [")));

            sim.unplug(device);
            PostMessageW(hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
            QTRY_COMPARE(count(window), QStringLiteral("[0]"));
            QCOMPARE(window.statusBar()->currentMessage(),
                     plugSign + QString::fromUtf8("Устройство не обнаружено. Подключите устройство к USB порту..."));
        }
        HidPlatform::install(nullptr);
    }

    // The real program's platform. With nothing of ours plugged in (under Wine, only Wine's
    // own HID devices of another vendor), the window comes up and says that there is no device.
    void systemPlatformWithoutDeviceSaysSo()
    {
        WinHidPlatform platform;
        HidPlatform::install(&platform);
        const int found = platform.enumerate().size();
        if (found == 0)
            QVERIFY(!platform.open(QStringLiteral("\\\\?\\hid#vid_0483&pid_5750#0#{4d1e55b2-f16f-11cf-88cb-001111000030}")));
        {
            MainWindow window;
            window.show();
            QCOMPARE(count(window), QStringLiteral("[%1]").arg(found));
            if (found == 0)
                QCOMPARE(window.statusBar()->currentMessage(),
                         plugSign + QString::fromUtf8("Устройство не обнаружено. Подключите устройство к USB порту..."));
            SendMessageW(reinterpret_cast<HWND>(window.winId()), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
            QCOMPARE(count(window), QStringLiteral("[%1]").arg(found));
        }
        HidPlatform::install(nullptr);
    }

    // The platform hears HID interfaces arrive and leave itself, window or not (tolvexctl
    // follows plugging through it): the system's notice to its message-only window is a
    // change of the device list.
    void systemPlatformHearsDeviceNotices()
    {
        WinHidPlatform platform;
        QSignalSpy changed(&platform, &HidPlatform::devicesChanged);
        const HWND notices = FindWindowExW(HWND_MESSAGE, nullptr, L"TolvexHidNotices", nullptr);
        QVERIFY(notices);
        SendMessageW(notices, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
        SendMessageW(notices, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
        QCOMPARE(changed.count(), 2);
        SendMessageW(notices, WM_DEVICECHANGE, DBT_CONFIGCHANGED, 0);
        QCOMPARE(changed.count(), 2);
    }

private:
    static QString count(const MainWindow &window)
    {
        return window.findChild<QLabel *>(QStringLiteral("lbDeviceCount"))->text();
    }

    QTemporaryDir logDir; // the parser's log files land in the working directory
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
