#ifndef HIDAPIPLATFORM_H
#define HIDAPIPLATFORM_H

#include "hidplatform.h"

class UdevMonitor;

// The real platform, on hidapi (hidraw on Linux; the same library serves Windows and macOS).
// Reports carry their report ID in byte 0 in both directions. On Linux the change notices come
// from a udev monitor; on Windows the window receives them as system messages instead; other
// systems compare the device list once a second.
// Build it after the QApplication: the monitor needs the event loop.
class HidapiPlatform : public HidPlatform
{
    Q_OBJECT

public:
    explicit HidapiPlatform(QObject *parent = nullptr);
    ~HidapiPlatform() override;

    DeviceList enumerate() override;
    std::unique_ptr<HidConnection> open(const QString &path) override;

private:
    bool ready = false; // whether hidapi started; without it there are no devices
    UdevMonitor *monitor = nullptr;
    DeviceList lastListed; // where the list is polled for changes
};

#endif // HIDAPIPLATFORM_H
