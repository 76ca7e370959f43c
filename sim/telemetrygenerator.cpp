#include "telemetrygenerator.h"

#include "fieldcodec.h"
#include "reportlayout.h"

#include <chrono>
#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double pi = 3.14159265358979323846;
constexpr auto batchInterval = std::chrono::milliseconds(10);

double sine(double amplitude, double periodSeconds, double seconds)
{
    return amplitude * std::sin(2 * pi * seconds / periodSeconds);
}

} // namespace

TelemetryGenerator::TelemetryGenerator(std::shared_ptr<SimDevice> device, const CommandDescription &telemetry)
    : device(std::move(device)), telemetry(telemetry)
{
    worker = std::thread([this] { run(); });
}

TelemetryGenerator::~TelemetryGenerator()
{
    stop();
}

void TelemetryGenerator::stop()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    if (worker.joinable())
        worker.join();
}

void TelemetryGenerator::setRate(int rate)
{
    std::unique_lock<std::mutex> guard(lock);
    reportsPerSecond = std::max(rate, 0);
    wake.notify_all();
    // A batch under way was made at the old rate: it is counted before the new rate holds.
    settled.wait(guard, [this] { return !making; });
}

double TelemetryGenerator::sampleValue(int index, ParamType type, quint64 sample, double seconds)
{
    const double period = 2.0 + index; // every value its own period
    switch (type) {
    case TypeBool:
        return double((quint64(seconds) + quint64(index)) % 2);
    case TypeUInt8:
        return std::floor(std::fmod(seconds + index, 5.0) * 20.0); // 0 .. 99 every 5 s
    case TypeInt8:
        return std::floor(std::fmod(seconds + index, 5.0) * 20.0) - 50.0; // -50 .. 49
    case TypeInt16:
        return std::round(sine(1000, period, seconds));
    case TypeUInt16:
        return std::round(1000 + sine(1000, period, seconds));
    case TypeInt32:
        return std::round(sine(100000, period, seconds));
    case TypeUInt32:
    case TypeUInt64:
        return double(sample);
    case TypeInt64:
        return std::round(sine(1000000, period, seconds));
    case TypeFloat:
        return double(float(sine(10, period, seconds)));
    case TypeDouble:
        return 50 + sine(10, period, seconds);
    case TypeString:
    case TypeUnknown:
        break;
    }
    return 0;
}

QByteArray TelemetryGenerator::makeReport(const CommandDescription &telemetry, quint64 sample, double seconds)
{
    QByteArray report(reportSize, '\0');
    report[ReportLayout::reportIdByte] = 1;
    report[ReportLayout::idByte] = 0;
    int pos = ReportLayout::payloadStart;
    for (int k = 0; k < telemetry.inTypes.size(); ++k) {
        const ParamType type = telemetry.inTypes.at(k);
        if (type == TypeString) {
            const QByteArray text = QByteArrayLiteral("Tolvex demo");
            for (int i = 0; i < text.size() && pos + i < reportSize; ++i)
                report[pos + i] = text[i];
            pos += CommandDescription::widthOf(type);
            continue;
        }
        pos += FieldCodec::encodeValue(report, pos, type, sampleValue(k, type, sample, seconds));
    }
    return report;
}

void TelemetryGenerator::run()
{
    // Each report's values are taken at its own point on the generator's timeline (its place
    // in the stream divided by the rate), so that the signals stay smooth however the reports
    // are batched or delayed.
    Clock::time_point rateSince = Clock::now();
    int rateNow = 0;
    double timelineAtRate = 0; // the timeline, in seconds, where the current rate began
    quint64 madeAtRate = 0;    // reports made since the rate last changed
    quint64 sample = 0;

    std::unique_lock<std::mutex> guard(lock);
    while (!stopping) {
        if (reportsPerSecond.load() != rateNow) {
            if (rateNow > 0)
                timelineAtRate += double(madeAtRate) / rateNow;
            rateNow = reportsPerSecond.load();
            rateSince = Clock::now();
            madeAtRate = 0;
        }
        if (rateNow == 0) {
            wake.wait(guard, [&] { return stopping || reportsPerSecond.load() != 0; });
            continue;
        }
        const Clock::time_point now = Clock::now();
        const auto due = quint64(std::chrono::duration<double>(now - rateSince).count() * rateNow);
        making = true;
        guard.unlock();
        for (; madeAtRate < due; ++madeAtRate) {
            const double seconds = timelineAtRate + double(madeAtRate) / rateNow;
            if (device->injectReport(makeReport(telemetry, sample, seconds))) {
                ++sample;
                ++sent;
            }
        }
        guard.lock();
        making = false;
        settled.notify_all();
        wake.wait_until(guard, now + batchInterval,
                        [&] { return stopping || reportsPerSecond.load() != rateNow; });
    }
}
