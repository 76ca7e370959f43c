#include "winhid.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <dbt.h>
#include <setupapi.h>
// MinGW's HID headers declare their calls without C linkage.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <mutex>

namespace winhid {

namespace {

// Closes a handle when it goes out of scope.
struct HandleGuard
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~HandleGuard()
    {
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr)
            CloseHandle(handle);
    }
    HANDLE release()
    {
        HANDLE h = handle;
        handle = INVALID_HANDLE_VALUE;
        return h;
    }
};

HANDLE openShared(const std::wstring &path, DWORD access)
{
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

bool hasIds(HANDLE handle, unsigned short vendorId, unsigned short productId)
{
    HIDD_ATTRIBUTES attributes;
    std::memset(&attributes, 0, sizeof attributes);
    attributes.Size = sizeof attributes;
    return HidD_GetAttributes(handle, &attributes) && attributes.VendorID == vendorId
        && attributes.ProductID == productId;
}

// The product string, at most 126 UTF-16 code units; empty when the device tells none.
bool productString(HANDLE handle, std::wstring *product)
{
    wchar_t text[127] = {};
    if (!HidD_GetProductString(handle, text, 126 * sizeof(wchar_t)))
        return false;
    *product = text;
    return true;
}

} // namespace

std::vector<std::wstring> interfacePaths()
{
    std::vector<std::wstring> paths;
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO set = SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return paths;
    for (DWORD i = 0; i < maxInterfaces; ++i) {
        // The records' sizes are those of this build's own structures: the detail record's
        // cbSize is 8 on 64-bit Windows and 6 on 32-bit Windows, and the call fails with any
        // other value.
        SP_DEVICE_INTERFACE_DATA record;
        std::memset(&record, 0, sizeof record);
        record.cbSize = sizeof record;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, i, &record)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS)
                break;
            continue;
        }
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &record, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        // Held in 8-byte units so that the record is aligned as the system expects.
        std::vector<unsigned long long> storage((required + 7) / 8 + 1, 0);
        auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &record, detail, required, nullptr, &info))
            continue;
        // The path ends at its terminating zero, and never beyond the buffer (the storage has
        // zeros past the required size).
        std::wstring path(detail->DevicePath);
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

bool pathMatches(const std::wstring &path, const std::wstring &fragment)
{
    auto lower = [](std::wstring text) {
        for (wchar_t &c : text)
            c = wchar_t(std::towlower(c));
        return text;
    };
    return lower(path).find(lower(fragment)) != std::wstring::npos;
}

std::vector<Found> findDevices(const std::wstring &fragment, unsigned short vendorId,
                               unsigned short productId)
{
    std::vector<Found> devices;
    for (const std::wstring &path : interfacePaths()) {
        if (!pathMatches(path, fragment))
            continue;
        HandleGuard device{openShared(path, GENERIC_READ | GENERIC_WRITE)};
        // Held without sharing by another program, or not open to this user: the IDs and the
        // product string are still there to read on a handle that asks for no access, and the
        // device is listed so that the operator learns that it does not open.
        const bool readable = device.handle != INVALID_HANDLE_VALUE;
        if (!readable)
            device.handle = openShared(path, 0);
        if (device.handle == INVALID_HANDLE_VALUE)
            continue;
        if (!hasIds(device.handle, vendorId, productId))
            continue;
        Found found{L"dev", path};
        productString(device.handle, &found.product);
        if (readable)
            HidD_FlushQueue(device.handle);
        devices.push_back(std::move(found));
    }
    return devices;
}

// The two handles of an open device, each with its event, overlapped record and buffer. A
// record and its buffer belong to the system from the start of an operation until it has
// finished; every operation here has finished when read() or write() returns.
struct Device::Handles
{
    HandleGuard reader;
    HandleGuard writer;
    HandleGuard readDone;  // manual reset, set by the system when a read finishes
    HandleGuard writeDone; // the same for a write
    HandleGuard wakeUp;    // auto reset, set by wake()
    OVERLAPPED readRecord;
    OVERLAPPED writeRecord;
    std::vector<unsigned char> readBuffer;
    std::vector<unsigned char> writeBuffer;
    std::mutex writing; // one write at a time on the write handle
};

Device::Device(std::unique_ptr<Handles> handles) : d(std::move(handles)) {}

Device::~Device() = default;

std::unique_ptr<Device> Device::open(const std::wstring &path, unsigned short vendorId,
                                     unsigned short productId)
{
    if (path.empty())
        return nullptr;
    auto h = std::make_unique<Handles>();
    h->reader.handle = openShared(path, GENERIC_READ | GENERIC_WRITE);
    if (h->reader.handle == INVALID_HANDLE_VALUE)
        return nullptr;
    // Whatever the path says: only our kind of device is opened.
    if (!hasIds(h->reader.handle, vendorId, productId))
        return nullptr;
    h->writer.handle = openShared(path, GENERIC_READ | GENERIC_WRITE);
    if (h->writer.handle == INVALID_HANDLE_VALUE)
        return nullptr;
    h->readDone.handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    h->writeDone.handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    h->wakeUp.handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!h->readDone.handle || !h->writeDone.handle || !h->wakeUp.handle)
        return nullptr;

    // The system reads and writes whole reports of the lengths the device declares (with the
    // report ID byte); a device that declares none gets reports of our own length.
    size_t inputLength = reportLength;
    size_t outputLength = reportLength;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (HidD_GetPreparsedData(h->reader.handle, &preparsed)) {
        HIDP_CAPS caps;
        std::memset(&caps, 0, sizeof caps);
        if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
            if (caps.InputReportByteLength > 0)
                inputLength = std::max<size_t>(caps.InputReportByteLength, reportLength);
            if (caps.OutputReportByteLength > 0)
                outputLength = caps.OutputReportByteLength;
        }
        HidD_FreePreparsedData(preparsed);
    }
    h->readBuffer.assign(inputLength, 0);
    h->writeBuffer.assign(outputLength, 0);
    return std::unique_ptr<Device>(new Device(std::move(h)));
}

Result Device::read(unsigned char *report, int timeoutMs)
{
    Handles &h = *d;
    std::memset(&h.readRecord, 0, sizeof h.readRecord);
    h.readRecord.hEvent = h.readDone.handle;
    DWORD count = 0;
    bool done = ReadFile(h.reader.handle, h.readBuffer.data(), DWORD(h.readBuffer.size()), nullptr,
                         &h.readRecord);
    if (done) {
        GetOverlappedResult(h.reader.handle, &h.readRecord, &count, FALSE);
    } else {
        if (GetLastError() != ERROR_IO_PENDING)
            return Result::Failed;
        const HANDLE waits[2] = {h.readDone.handle, h.wakeUp.handle};
        const DWORD waited = WaitForMultipleObjects(2, waits, FALSE, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
        if (waited != WAIT_OBJECT_0) {
            // Not in time, or woken: cancel, and wait until the system has let go of the
            // buffer and the record. A report that completed the read meanwhile is kept.
            CancelIo(h.reader.handle);
        }
        done = GetOverlappedResult(h.reader.handle, &h.readRecord, &count, TRUE);
        if (!done) {
            const DWORD error = GetLastError();
            return error == ERROR_OPERATION_ABORTED ? Result::TimedOut : Result::Failed;
        }
    }
    const size_t length = std::min<size_t>(count, reportLength);
    std::memcpy(report, h.readBuffer.data(), length);
    std::memset(report + length, 0, reportLength - length);
    return Result::Done;
}

Result Device::write(const unsigned char *report, int timeoutMs)
{
    Handles &h = *d;
    std::lock_guard<std::mutex> one(h.writing);
    const size_t length = std::min<size_t>(h.writeBuffer.size(), reportLength);
    std::memcpy(h.writeBuffer.data(), report, length);
    std::fill(h.writeBuffer.begin() + length, h.writeBuffer.end(), 0);
    std::memset(&h.writeRecord, 0, sizeof h.writeRecord);
    h.writeRecord.hEvent = h.writeDone.handle;
    DWORD count = 0;
    if (WriteFile(h.writer.handle, h.writeBuffer.data(), DWORD(h.writeBuffer.size()), nullptr, &h.writeRecord))
        return Result::Done;
    if (GetLastError() != ERROR_IO_PENDING)
        return Result::Failed;
    const DWORD waited = WaitForSingleObject(h.writeDone.handle, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
    if (waited != WAIT_OBJECT_0)
        CancelIo(h.writer.handle);
    if (GetOverlappedResult(h.writer.handle, &h.writeRecord, &count, TRUE))
        return Result::Done; // taken, even if only while it was being cancelled
    return GetLastError() == ERROR_OPERATION_ABORTED ? Result::TimedOut : Result::Failed;
}

void Device::wake()
{
    SetEvent(d->wakeUp.handle);
}

namespace {

const wchar_t noticeClassName[] = L"TolvexHidNotices";

LRESULT CALLBACK noticeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICECHANGE
        && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE || wParam == DBT_DEVNODES_CHANGED)) {
        auto *onChange = reinterpret_cast<std::function<void()> *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (onChange && *onChange)
            (*onChange)();
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

struct ChangeNotifier::Window
{
    std::function<void()> onChange;
    HWND window = nullptr;
    HDEVNOTIFY registration = nullptr;
};

ChangeNotifier::ChangeNotifier(std::function<void()> onChange) : d(std::make_unique<Window>())
{
    d->onChange = std::move(onChange);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = noticeProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = noticeClassName;
    // A second notifier in the same program finds the class registered already.
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return;
    d->window = CreateWindowExW(0, noticeClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!d->window)
        return;
    SetWindowLongPtrW(d->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&d->onChange));

    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    std::memset(&filter, 0, sizeof filter);
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    d->registration = RegisterDeviceNotificationW(d->window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

ChangeNotifier::~ChangeNotifier()
{
    if (d->registration)
        UnregisterDeviceNotification(d->registration);
    if (d->window) {
        SetWindowLongPtrW(d->window, GWLP_USERDATA, 0);
        DestroyWindow(d->window);
    }
}

bool ChangeNotifier::listening() const
{
    return d->registration != nullptr;
}

} // namespace winhid
