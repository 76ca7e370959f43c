#ifndef DEMOCONTROLWINDOW_H
#define DEMOCONTROLWINDOW_H

#include "simconfig.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class CommandAnswerer;
class SimDevice;
class SimPlatform;
class TelemetryGenerator;

// The demo's small second window: plugs and unplugs the simulated device, adds a second one,
// sets the telemetry rate and stops the answers (to show the time-out). It owns the simulated
// devices; build it before the main window and destroy it after.
class DemoControlWindow : public QWidget
{
    Q_OBJECT

public:
    DemoControlWindow(SimPlatform &platform, const SimConfig &config, QWidget *parent = nullptr);
    ~DemoControlWindow() override;

    // The device plugged in at start and the optional second one (null until added).
    std::shared_ptr<SimDevice> firstDevice() const;
    std::shared_ptr<SimDevice> secondDevice() const;

    static constexpr int initialRate = 100;

private:
    // One simulated device with what makes it talk.
    struct Unit
    {
        std::shared_ptr<SimDevice> device;
        std::unique_ptr<TelemetryGenerator> generator;
        std::unique_ptr<CommandAnswerer> answerer;
    };
    std::unique_ptr<Unit> makeUnit(const QString &path);

    void togglePlugged();
    void toggleSecond();
    void setRate(int rate);
    void setAnswering(bool on);
    void updateTexts();

    SimPlatform &platform;
    const SimConfig config;
    std::unique_ptr<Unit> first;
    std::unique_ptr<Unit> second;

    QLabel *lbState;
    QPushButton *pbPlug;
    QPushButton *pbSecond;
    QSpinBox *sbRate;
    QCheckBox *cbAnswer;
};

#endif // DEMOCONTROLWINDOW_H
