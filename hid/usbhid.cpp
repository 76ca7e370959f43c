#include "usbhid.h"

#include "hidplatform.h"

// Placeholder: opens nothing yet.
usbHID::usbHID(QObject *parent) : QThread(parent) {}
usbHID::~usbHID() = default;
void usbHID::findDevices(DeviceList &devices) { devices.clear(); }
void usbHID::setDevice(const QString &path) { devicePath = path; emit connected(false); }
bool usbHID::queueRequest(const unsigned char *) { return false; }
void usbHID::stopDataExchange() { running = false; }
void usbHID::run() {}
bool usbHID::openDevice() { return false; }
bool usbHID::readReport(unsigned char *) { return false; }
bool usbHID::writeAttempt() { return false; }
