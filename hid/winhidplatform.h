#ifndef WINHIDPLATFORM_H
#define WINHIDPLATFORM_H

#include "hidplatform.h"

#include <memory>

namespace winhid {
class ChangeNotifier;
}

// The real platform on Windows: the HID interfaces found through SetupAPI, each device opened
// twice, shared and overlapped (one handle reads, the other writes requests), with reads and
// writes that are cancelled when they take too long. Only devices whose path carries our
// vendor and product ID and which say so themselves are listed and opened.
//
// Change notices come from a message-only window registered for HID interfaces arriving and
// leaving, so that every program on this platform hears them, the window or not; and from a
// comparison of the device list once a second, for what no notice announces.
// Build it on the main thread after the application object: the notices come through its
// message loop.
class WinHidPlatform : public HidPlatform
{
    Q_OBJECT

public:
    explicit WinHidPlatform(QObject *parent = nullptr);
    ~WinHidPlatform() override;

    DeviceList enumerate() override;
    std::unique_ptr<HidConnection> open(const QString &path) override;

private:
    std::unique_ptr<winhid::ChangeNotifier> notifier;
};

#endif // WINHIDPLATFORM_H
