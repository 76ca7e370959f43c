// The Windows HID layer on its own, without Qt: a console program for trying it on a machine
// (or under Wine) with the device, and a self-check that needs none.
//   winhid_probe check              the checks below; status 0 when all hold
//   winhid_probe list               the matching devices, one "product<TAB>path" a line
//   winhid_probe exchange N [HEX]   opens the first device, prints N input reports in hex,
//                                   then writes HEX (up to 64 bytes, zero-padded) if given
//   winhid_probe watch SECONDS [N]  prints "listening", then "changed" at every HID arrival or
//                                   removal, for SECONDS or until N notices came
//   winhid_probe burst N HEX        opens the first device and writes HEX N times with no time
//                                   to wait (a write not done at once is cancelled), then once
//                                   more with a second's wait; prints "done D timed-out T
//                                   failed F" for the N and "last: done" for the last
//   winhid_probe hold SECONDS       opens the first device and reads it without a time-out
//                                   ("reading" after the first report) until a read fails
//                                   ("lost", status 7: the device was pulled out); after
//                                   SECONDS the read is woken instead (status 1)
// It builds with the MinGW compiler alone:
//   x86_64-w64-mingw32-g++-posix -std=c++17 -Ihid hid/winhid.cpp tests/windows/winhid_probe.cpp
//       -lsetupapi -lhid -static -o winhid_probe.exe

#include "winhid.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

const wchar_t fragment[] = L"vid_0483&pid_5750";
constexpr unsigned short vendorId = 0x0483;
constexpr unsigned short productId = 0x5750;

int failures = 0;

void expect(bool holds, const char *what)
{
    std::printf("%s: %s\n", holds ? "ok" : "FAIL", what);
    if (!holds)
        ++failures;
}

std::string narrow(const std::wstring &text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size_t(size) : 1, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    out.resize(std::strlen(out.c_str()));
    return out;
}

void printReport(const unsigned char *report)
{
    for (int i = 0; i < winhid::reportLength; ++i)
        std::printf("%02x", report[i]);
    std::printf("\n");
}

int check()
{
    expect(winhid::pathMatches(L"\\\\?\\HID#VID_0483&PID_5750#1&2#{4d1e55b2}", fragment),
           "a path that spells the fragment in capitals matches");
    expect(!winhid::pathMatches(L"\\\\?\\hid#vid_0483&pid_5751#1&2#{4d1e55b2}", fragment),
           "another product ID does not match");

    // Every HID interface the system offers that is not ours is refused by the open, whatever
    // its path; Wine offers devices of its own (vendor 845e).
    const auto paths = winhid::interfacePaths();
    std::printf("interfaces: %u\n", unsigned(paths.size()));
    int foreign = 0;
    for (const std::wstring &path : paths) {
        if (winhid::pathMatches(path, fragment))
            continue;
        ++foreign;
        // It opens as such (so what refuses it is the vendor and product check)...
        const HANDLE plain = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OVERLAPPED, nullptr);
        if (plain != INVALID_HANDLE_VALUE)
            CloseHandle(plain);
        std::printf("foreign interface %s opens by itself: %s\n", narrow(path).c_str(),
                    plain != INVALID_HANDLE_VALUE ? "yes" : "no");
        // ...but not as our device.
        expect(!winhid::Device::open(path, vendorId, productId), "a foreign device is not opened");
        // Claiming another path's IDs must not help either.
        expect(!winhid::Device::open(path + L"x", vendorId, productId), "a path that does not exist is not opened");
    }
    std::printf("foreign interfaces: %d\n", foreign);

    for (const winhid::Found &found : winhid::findDevices(fragment, vendorId, productId))
        expect(winhid::pathMatches(found.path, fragment), "every listed device has the fragment in its path");
    expect(!winhid::Device::open(L"", vendorId, productId), "an empty path is not opened");

    winhid::ChangeNotifier notifier([] {});
    expect(notifier.listening(), "the system takes the change-notice registration");
    return failures == 0 ? 0 : 1;
}

int list()
{
    const auto devices = winhid::findDevices(fragment, vendorId, productId);
    for (const winhid::Found &found : devices)
        std::printf("%s\t%s\n", narrow(found.product).c_str(), narrow(found.path).c_str());
    std::printf("found %u\n", unsigned(devices.size()));
    return devices.empty() ? 3 : 0;
}

// Opens the first device listed, or says why not and sets *status (3 none, 4 no open).
std::unique_ptr<winhid::Device> openFirstDevice(int *status)
{
    const auto devices = winhid::findDevices(fragment, vendorId, productId);
    if (devices.empty()) {
        std::printf("no device\n");
        *status = 3;
        return nullptr;
    }
    auto device = winhid::Device::open(devices.front().path, vendorId, productId);
    if (!device) {
        std::printf("open failed: %lu\n", GetLastError());
        *status = 4;
    }
    return device;
}

int exchange(int count, const char *hex)
{
    int openStatus = 0;
    auto device = openFirstDevice(&openStatus);
    if (!device)
        return openStatus;
    unsigned char report[winhid::reportLength];
    for (int read = 0; read < count;) {
        const winhid::Result result = device->read(report, 2000);
        if (result == winhid::Result::Failed) {
            std::printf("read failed: %lu\n", GetLastError());
            return 7;
        }
        if (result == winhid::Result::TimedOut) {
            std::printf("no report within 2 s\n");
            return 5;
        }
        printReport(report);
        ++read;
    }
    if (hex) {
        unsigned char out[winhid::reportLength] = {};
        for (size_t i = 0; i < winhid::reportLength && hex[2 * i] && hex[2 * i + 1]; ++i) {
            const char pair[3] = {hex[2 * i], hex[2 * i + 1], 0};
            out[i] = static_cast<unsigned char>(std::strtoul(pair, nullptr, 16));
        }
        const winhid::Result result = device->write(out, 1000);
        std::printf("write: %s\n", result == winhid::Result::Done ? "done"
                                   : result == winhid::Result::TimedOut ? "timed out" : "failed");
        if (result != winhid::Result::Done)
            return 1;
    }
    return 0;
}

int hold(int seconds)
{
    int openStatus = 0;
    auto device = openFirstDevice(&openStatus);
    if (!device)
        return openStatus;
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([&] {
        if (WaitForSingleObject(finished, DWORD(seconds) * 1000) == WAIT_TIMEOUT)
            device->wake();
    });
    unsigned char report[winhid::reportLength];
    int status = 1;
    for (long reports = 0;; ++reports) {
        const winhid::Result result = device->read(report, -1);
        if (result == winhid::Result::Failed) {
            std::printf("lost after %ld reports\n", reports);
            status = 7;
            break;
        }
        if (result == winhid::Result::TimedOut) {
            std::printf("woken after %ld reports, the device still reads\n", reports);
            break;
        }
        if (reports == 0)
            std::printf("reading\n");
    }
    SetEvent(finished);
    watchdog.join();
    CloseHandle(finished);
    return status;
}

int burst(int count, const char *hex)
{
    int openStatus = 0;
    auto device = openFirstDevice(&openStatus);
    if (!device)
        return openStatus;
    unsigned char out[winhid::reportLength] = {};
    for (size_t i = 0; i < winhid::reportLength && hex[2 * i] && hex[2 * i + 1]; ++i) {
        const char pair[3] = {hex[2 * i], hex[2 * i + 1], 0};
        out[i] = static_cast<unsigned char>(std::strtoul(pair, nullptr, 16));
    }
    int done = 0, timedOut = 0, failed = 0;
    for (int i = 0; i < count; ++i) {
        switch (device->write(out, 0)) {
        case winhid::Result::Done: ++done; break;
        case winhid::Result::TimedOut: ++timedOut; break;
        case winhid::Result::Failed: ++failed; break;
        }
    }
    std::printf("done %d timed-out %d failed %d\n", done, timedOut, failed);
    const bool last = device->write(out, 1000) == winhid::Result::Done;
    std::printf("last: %s\n", last ? "done" : "not done");
    return last && failed == 0 ? 0 : 1;
}

int watch(int seconds, int count)
{
    int heard = 0;
    winhid::ChangeNotifier notifier([&heard] {
        std::printf("changed\n");
        ++heard;
    });
    if (!notifier.listening()) {
        std::printf("no registration\n");
        return 1;
    }
    std::printf("listening\n");
    const DWORD end = GetTickCount() + DWORD(seconds) * 1000;
    while (GetTickCount() < end && (count <= 0 || heard < count)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string mode = argc > 1 ? argv[1] : "check";
    if (mode == "check")
        return check();
    if (mode == "list")
        return list();
    if (mode == "exchange" && argc > 2)
        return exchange(std::atoi(argv[2]), argc > 3 ? argv[3] : nullptr);
    if (mode == "burst" && argc > 3)
        return burst(std::atoi(argv[2]), argv[3]);
    if (mode == "hold" && argc > 2)
        return hold(std::atoi(argv[2]));
    if (mode == "watch" && argc > 2)
        return watch(std::atoi(argv[2]), argc > 3 ? std::atoi(argv[3]) : 0);
    std::fprintf(stderr, "usage: winhid_probe check | list | exchange N [HEX] | watch SECONDS [N] | burst N HEX | hold SECONDS\n");
    return 2;
}
