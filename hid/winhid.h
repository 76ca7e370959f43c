#ifndef WINHID_H
#define WINHID_H

// The Windows HID calls the program needs, in plain C++ without Qt: discovery through SetupAPI,
// one device opened for overlapped reading and writing, and the system's notices of HID
// interfaces arriving and leaving. The Qt platform (WinHidPlatform) is a thin layer over it;
// a small console program can try it on its own.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace winhid {

// Every report is this long in both directions: report ID, id byte, 62 bytes of payload.
constexpr int reportLength = 64;
// Interface indices examined per look at the system's HID interfaces (0 to 126).
constexpr unsigned maxInterfaces = 127;

struct Found
{
    std::wstring product; // as the device tells it; "dev" when it tells none
    std::wstring path;
};

// The device interface path of every present HID interface, in the system's order.
std::vector<std::wstring> interfacePaths();

// Whether path contains fragment, compared without regard to case.
bool pathMatches(const std::wstring &path, const std::wstring &fragment);

// The present HID devices whose interface path contains fragment (ignoring case) and which
// say they have this vendor and product ID, in the system's order. A device another program
// holds without sharing is still listed (its product string and IDs are read on a handle that
// asks for no access).
std::vector<Found> findDevices(const std::wstring &fragment, unsigned short vendorId,
                               unsigned short productId);

enum class Result { Done, TimedOut, Failed };

// One open device: a handle for reading and another for writing, each with its own
// overlapped record, so a write the device does not take never holds a read. read() and
// write() may run on two threads at once; wake() on any thread.
class Device
{
public:
    // Opens path for shared reading and writing; null when that fails or when the device is
    // not the one with this vendor and product ID.
    static std::unique_ptr<Device> open(const std::wstring &path, unsigned short vendorId,
                                        unsigned short productId);
    ~Device();
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    // Reads one input report into reportLength bytes (a shorter one padded with zeros, a
    // longer one cut), waiting at most timeoutMs (negative: until a report comes, the device
    // fails or wake() is called). A read not done in time is cancelled, and this returns only
    // once the system has finished with it; a report that completes it meanwhile counts.
    Result read(unsigned char *report, int timeoutMs);
    // Writes one output report of reportLength bytes, waiting at most timeoutMs for the device
    // to take it. A write still pending then is cancelled and finished before this returns, so
    // the next write always starts on an idle handle. TimedOut: not written; try again.
    Result write(const unsigned char *report, int timeoutMs);
    // Makes the read under way, or else the next one, return TimedOut at once.
    void wake();

private:
    struct Handles;
    explicit Device(std::unique_ptr<Handles> handles);
    std::unique_ptr<Handles> d;
};

// A message-only window registered for arrivals and removals of HID interfaces. onChange runs
// on the thread that made the notifier, from that thread's message loop. Make and destroy it
// on one thread, one that pumps messages (a Qt program's main thread does).
class ChangeNotifier
{
public:
    explicit ChangeNotifier(std::function<void()> onChange);
    ~ChangeNotifier();
    ChangeNotifier(const ChangeNotifier &) = delete;
    ChangeNotifier &operator=(const ChangeNotifier &) = delete;

    // Whether the system took the registration; without it no notice comes.
    bool listening() const;

private:
    struct Window;
    std::unique_ptr<Window> d;
};

} // namespace winhid

#endif // WINHID_H
