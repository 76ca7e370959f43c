#ifndef SYSTEMPLATFORM_H
#define SYSTEMPLATFORM_H

#include <memory>

class HidPlatform;

// The platform of the system the program runs on: its HID devices as the operating system
// lists them. The one place that knows which platform layer each system uses.
std::unique_ptr<HidPlatform> makeSystemPlatform();

#endif // SYSTEMPLATFORM_H
