#ifndef WINDOWTESTING_H
#define WINDOWTESTING_H

// Helpers for tests that build the real main window: the configuration it reads, and a probe
// into its state.

#include "commanddescription.h"
#include "dataparser.h"
#include "mainwindow.h"
#include "plotpanel.h"
#include "usbhid.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QMetaObject>
#include <QTimer>

class QCheckBox;
class QCustomPlot;
class QLineEdit;
class QMenu;
class PlotCursors;
class PlotNavigation;

// The window reads the JSON file named after the running executable, beside it (on Windows
// without the ".exe").
inline QString configPathOfThisExecutable()
{
    const QFileInfo executable(QCoreApplication::applicationFilePath());
#ifdef Q_OS_WIN
    const QString name = executable.completeBaseName();
#else
    const QString name = executable.fileName();
#endif
    return executable.path() + QLatin1Char('/') + name + QStringLiteral(".json");
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

class MainWindowProbe
{
public:
    explicit MainWindowProbe(MainWindow &window) : window(window) {}

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
    QTimer *replotTimer() const { return window.replotTimer; }
    QTimer *exchangeTimer() const { return window.exchangeTimer; }
    DataParser *parser() const { return window.parser; }
    usbHID *usb() const { return window.usb; }
    PlotCursors *plotCursors(int index) const { return window.plotPanels.at(index)->cursors(); }
    PlotNavigation *plotNavigation(int index) const { return window.plotPanels.at(index)->navigation(); }
    QMenu *plotMenu(int index) { return window.plotMenu(index); }

    void replot() { window.replotGraphs(); }
    void timeOut() { window.dataExchangeTimeout(); }

private:
    MainWindow &window;
};

#endif // WINDOWTESTING_H
