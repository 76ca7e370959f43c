// The transport's own costs, on the simulated platform:
//   idle.cpu_percent.device_open  process CPU over wall time, device open, no traffic (10 s)
//   idle.cpu_percent.no_device    the same with no device open (10 s)
//   request.latency_p99_ms        queueRequest() to the device seeing the write, 1,000 requests
#include "simplatform.h"
#include "usbhid.h"

#include <QCoreApplication>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for the given time, as the program does while nothing happens, and
// returns the process's CPU use in per cent of one core.
double idleCpuPercent(int seconds)
{
    const double cpuBefore = processCpuSeconds();
    const Clock::time_point wallBefore = Clock::now();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    return 100.0 * (processCpuSeconds() - cpuBefore) / wall;
}

double requestLatencyP99Ms(usbHID &usb, SimDevice &device, int requests)
{
    std::mutex lock;
    Clock::time_point seen;
    device.setResponder([&](SimDevice &, const QByteArray &) {
        std::lock_guard<std::mutex> guard(lock);
        seen = Clock::now();
    });

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pause(0, 2000); // microseconds: requests at any phase
    std::vector<double> latencies;
    latencies.reserve(size_t(requests));
    QByteArray request(reportSize, '\0');
    request[1] = 9;
    for (int i = 0; i < requests; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        const Clock::time_point queued = Clock::now();
        while (!usb.queueRequest(request)) // the previous write may still be finishing
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        if (!device.waitForWriteAttempts(i + 1, 1000)) {
            std::fprintf(stderr, "bench_transport: request %d was never written\n", i);
            return -1;
        }
        std::lock_guard<std::mutex> guard(lock);
        latencies.push_back(std::chrono::duration<double, std::milli>(seen - queued).count());
    }
    device.setResponder(nullptr);
    std::sort(latencies.begin(), latencies.end());
    return latencies[size_t(std::ceil(0.99 * double(latencies.size()))) - 1];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SimPlatform sim;
    HidPlatform::install(&sim);
    auto device = sim.plug("Bench probe");

    usbHID usb;
    usb.start();

    usb.setDevice(device->path());
    std::printf("idle.cpu_percent.device_open: %.2f %%\n", idleCpuPercent(10));
    std::fflush(stdout);

    usb.setDevice(QString());
    std::printf("idle.cpu_percent.no_device: %.2f %%\n", idleCpuPercent(10));
    std::fflush(stdout);

    usb.setDevice(device->path());
    const double p99 = requestLatencyP99Ms(usb, *device, 1000);
    std::printf("request.latency_p99_ms: %.3f ms\n", p99);

    usb.stopDataExchange();
    usb.wait();
    HidPlatform::install(nullptr);
    return p99 < 0 ? 1 : 0;
}
