#ifndef SIMULATEDWINDOWTEST_H
#define SIMULATEDWINDOWTEST_H

#include "mainwindow.h"
#include "simplatform.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>

// Base of the tests that drive the real window on one simulated device: every test function
// gets a fresh platform, device and window (openWindow in init, closeWindow in cleanup).
class SimulatedWindowTest : public QObject
{
protected:
    QTemporaryDir workDir; // the telemetry log files land here
    SimPlatform *sim = nullptr;
    std::shared_ptr<SimDevice> device;
    std::unique_ptr<MainWindow> window;

    void openWindow()
    {
        sim = new SimPlatform;
        HidPlatform::install(sim);
        device = sim->plug(QStringLiteral("Tolvex probe"));
        window = std::make_unique<MainWindow>();
    }

    void closeWindow()
    {
        window.reset();
        device.reset();
        HidPlatform::install(nullptr);
        delete sim;
        sim = nullptr;
    }
};

#endif // SIMULATEDWINDOWTEST_H
