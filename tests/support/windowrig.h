#ifndef WINDOWRIG_H
#define WINDOWRIG_H

// What the tests and benchmarks that build the real main window share: the configuration the
// window reads, the one probe into the window's state, and the window on one simulated device.

#include "commanddescription.h"
#include "configlocation.h"
#include "dataparser.h"
#include "mainwindow.h"
#include "plotpanel.h"
#include "simplatform.h"
#include "usbhid.h"

#include <QFile>
#include <QLayout>
#include <QMetaObject>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

class QCheckBox;
class QCustomPlot;
class QLineEdit;
class QMenu;
class PlotCursors;
class PlotNavigation;

// The window reads the JSON file named after the running executable, beside it.
inline QString configPathOfThisExecutable()
{
    return configPathBesideExecutable();
}

inline void writeConfig(const QByteArray &json)
{
    QFile file(configPathOfThisExecutable());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    file.write(json);
}

inline void removeConfig()
{
    QFile::remove(configPathOfThisExecutable());
}

// Reads the window's private state (the window names this class its friend).
class MainWindowProbe
{
public:
    explicit MainWindowProbe(MainWindow &window) : window(window) {}
    explicit MainWindowProbe(MainWindow *window) : window(*window) {}

    int maxPlotXPoints() const { return window.maxPlotXPoints; }
    int maxConsoleLines() const { return window.maxConsoleLines; }
    const CommandDescription &telemetry() const { return window.telemetry; }
    const QVector<CommandDescription *> &commands() const { return window.commands; }
    const QVector<QCustomPlot *> &plots() const { return window.plots; }
    const QVector<QCheckBox *> &plotSwitches() const { return window.plotSwitches; }
    const QVector<QLineEdit *> &requestEdits() const { return window.requestEdits; }
    const QVector<QLineEdit *> &answerEdits() const { return window.answerEdits; }
    const QStringList &valueTexts() const { return window.valueTexts; }
    int expectedAnswerId() const { return window.expectedAnswerId; }
    bool showAllData() const { return window.showAllData; }
    QString currentDevicePath() const { return window.currentDevicePath; }
    QTimer *replotTimer() const { return window.replotTimer; }
    QTimer *exchangeTimer() const { return window.exchangeTimer; }
    DataParser *parser() const { return window.parser; }
    usbHID *usb() const { return window.usb; }
    PlotPanel *plotPanel(int index) const { return window.plotPanels.at(index); }
    PlotCursors *plotCursors(int index) const { return plotPanel(index)->cursors(); }
    PlotNavigation *plotNavigation(int index) const { return plotPanel(index)->navigation(); }
    QMenu *plotMenu(int index) { return window.plotMenu(index); }

    void replot() { window.replotGraphs(); }
    void timeOut() { window.dataExchangeTimeout(); }

private:
    MainWindow &window;
};

// The simulated platform installed, one device plugged into it, and the real window on it.
// Torn down in the opposite order: the window, the device, the platform.
class SimulatedWindow
{
public:
    SimPlatform *sim = nullptr;
    std::shared_ptr<SimDevice> device;
    std::unique_ptr<MainWindow> window;

    SimulatedWindow() = default;
    SimulatedWindow(const SimulatedWindow &) = delete;
    SimulatedWindow &operator=(const SimulatedWindow &) = delete;
    ~SimulatedWindow() { closeWindow(); }

    // The platform with the device plugged in, and no window yet (for what must be attached
    // to the device before the window opens it).
    void plugDevice(const QString &product = QStringLiteral("Tolvex probe"))
    {
        sim = new SimPlatform;
        HidPlatform::install(sim);
        device = sim->plug(product);
    }

    // The window, on a device plugged in first unless plugDevice was called.
    void openWindow(const QString &product = QStringLiteral("Tolvex probe"))
    {
        if (!sim)
            plugDevice(product);
        window = std::make_unique<MainWindow>();
    }

    // Also uninstalls whatever platform a test installed in the rig's place.
    void closeWindow()
    {
        window.reset();
        device.reset();
        HidPlatform::install(nullptr);
        delete sim;
        sim = nullptr;
    }

    MainWindowProbe probe() { return MainWindowProbe(*window); }
};

// Base of the tests that drive the real window on one simulated device: every test function
// gets a fresh platform, device and window (openWindow in init, closeWindow in cleanup).
class SimulatedWindowTest : public QObject, protected SimulatedWindow
{
protected:
    QTemporaryDir workDir; // the telemetry log files land here
};

#endif // WINDOWRIG_H
