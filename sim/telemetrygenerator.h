#ifndef TELEMETRYGENERATOR_H
#define TELEMETRYGENERATOR_H

#include "commanddescription.h"
#include "simdevice.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// Makes a simulated device send telemetry reports described by the configuration's id-0 entry,
// at a chosen rate, from a thread of its own. Every value follows a signal that is easy to
// recognise on a plot: bools toggle once a second, 8-bit values ramp, 32- and 64-bit unsigned
// values count the reports, the others are sines of different periods.
//
// The thread sends in small batches every 10 ms, so that high rates cost no more wake-ups than
// low ones; at rate 0 it sleeps until the rate changes. Reports made while the device is not
// open are not counted as sent.
class TelemetryGenerator
{
public:
    TelemetryGenerator(std::shared_ptr<SimDevice> device, const CommandDescription &telemetry);
    ~TelemetryGenerator();

    TelemetryGenerator(const TelemetryGenerator &) = delete;
    TelemetryGenerator &operator=(const TelemetryGenerator &) = delete;

    // Reports per second; 0 pauses. Any thread but the generator's own. Once it returns, every
    // report made at the old rate has been handed to the device and is in reportsSent(): a
    // pause holds the count still.
    void setRate(int reportsPerSecond);
    int rate() const { return reportsPerSecond.load(); }
    // Reports the open device has taken so far.
    quint64 reportsSent() const { return sent.load(); }
    // Stops sending for good; once it returns, no further report is sent (reportsSent() is final).
    void stop();

    // The value of parameter index (of the given type) in report number sample, made at the
    // given point, in seconds, of the generator's timeline (report number / rate).
    static double sampleValue(int index, ParamType type, quint64 sample, double seconds);
    // The whole report: report ID 1, id byte 0, the values packed from byte 2 on.
    static QByteArray makeReport(const CommandDescription &telemetry, quint64 sample, double seconds);

private:
    void run();

    const std::shared_ptr<SimDevice> device;
    const CommandDescription telemetry;
    std::atomic<int> reportsPerSecond{0};
    std::atomic<quint64> sent{0};
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    // A batch is being handed to the device (with lock released); settled says when it is done.
    bool making = false;
    std::condition_variable settled;
    std::thread worker;
};

#endif // TELEMETRYGENERATOR_H
