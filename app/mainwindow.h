#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "commanddescription.h"
#include "devicelist.h"
#include "plotfeed.h"
#include "windowoptions.h"

#include <QColor>
#include <QMainWindow>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>

class QCheckBox;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QTreeWidgetItem;
class DataParser;
class DeviceSession;
class HidPlatform;
class MainWindowForm;
class PlotCursors;
class PlotNavigation;
class usbHID;
struct DecodedAnswer;

// The one window of the program. Its implementation is split by concern:
// mainwindow.cpp (start-up and shut-down), configloading.cpp, deviceselection.cpp,
// plotsandvalues.cpp, plotpause.cpp, plotmenu.cpp, console.cpp, commandform.cpp,
// commandexchange.cpp, sessionrecording.cpp, logfilenotice.cpp.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // On the installed platform (HidPlatform::install), as the tests build it.
    explicit MainWindow(QWidget *parent = nullptr);
    explicit MainWindow(const WindowOptions &options, QWidget *parent = nullptr);
    // On the platform the program chose (not owned; it outlives the window): the device
    // session beneath the window talks through it alone.
    MainWindow(const WindowOptions &options, HidPlatform *platform, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Reports received and not yet decoded. Any thread.
    int reportBacklog() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

private slots:
    void changeCurrentDevice(int index);
    void dataExchangeTimeout();
    void hideAllPlots();
    void showAllPlots();
    void handleReport();
    void replotGraphs();
    void connected(bool ok);
    void on_cbCommand_currentIndexChanged(int index);
    void on_pbSend_clicked();
    void on_cbShowAll_toggled(bool checked);
    void on_cbRecord_toggled(bool checked);

private:
    // configloading.cpp
    void loadConfig();
    void addMessageLabel(const QString &text);
    static QString syntaxErrorText(int error);
    // deviceselection.cpp
    void watchDevices();
    void refreshDevices();
    void showDevices(const DeviceList &listed, int chosen);
    void showDeviceStatus();
    // plotsandvalues.cpp
    void setHeaderLabels();
    void addValueRow(int index);
    void addPlot(int index);
    void addPlotButtons();
    bool takeSamples(int index);
    void takeAllSamples();
    void drawPlot(int index, bool now);
    // plotpause.cpp
    void addPauseSwitch();
    void setPlotsPaused(bool paused);
    // plotmenu.cpp
    QMenu *plotMenu(int index);
    void savePlotImage(int index);
    void copyPlotImage(int index);
    void savePlotPoints(int index);
    QString askSavePath(const QString &title, const QString &suggestedName, const QString &filter,
                        const QString &suffix);
    // console.cpp
    void appendRequestRecord(const QByteArray &request);
    void appendReportRecord(int id, const QByteArray &report);
    // commandform.cpp
    void addCommandItem(const QString &name);
    // logfilenotice.cpp
    void showLogFileFailure(const QString &fileName);
    void showRecordingFailure(const QString &error, const QString &fileName);
    void showFailureNotice();
    // sessionrecording.cpp
    void startSessionLog();
    void connectRecorder();
    void recordingBroke(const QString &error, const QString &fileName);
    // commandexchange.cpp
    void handleAnswer(const DecodedAnswer &answer);
    void setAnswerTexts(const QString &text);
    void setExchangeControlsEnabled(bool enabled);
    // A request field whose text was refused: framed, with the reason under it, until the
    // text changes or a request is made.
    void markRefusedField(QLineEdit *editor, ParamType type, ParamView view);
    void clearRefusedField(QLineEdit *editor);

    WindowOptions options;
    MainWindowForm *form;
    int maxPlotXPoints = 1000;
    int maxConsoleLines = 1000;
    int replotInterval = 50;
    QTimer *replotTimer = nullptr;
    QTimer *exchangeTimer = nullptr;
    DeviceList devices;
    // The platform, the exchange thread and the device policy beneath the window.
    DeviceSession *session = nullptr;
    usbHID *usb = nullptr; // the session's

    DataParser *parser = nullptr;
    QVector<QCustomPlot *> plots;
    QVector<QCheckBox *> plotSwitches;
    QVector<QTreeWidgetItem *> valueItems;
    QVector<QLineEdit *> answerEdits;
    QVector<QLineEdit *> requestEdits;
    QVector<CommandDescription *> commands;
    QStringList valueTexts;
    CommandDescription telemetry;
    int expectedAnswerId = -1;
    bool showAllData = false;
    QString currentDeviceName;
    QString currentDevicePath;
    QVector<QColor> colourCycle;
    QVector<PlotFeed> plotFeeds;
    QVector<bool> plotsBehind; // picture not drawn from the graph's samples (skipped while out of view)
    QVector<PlotNavigation *> plotNavigations;
    QVector<PlotCursors *> plotCursors;
    QCheckBox *pauseSwitch = nullptr;
    // A handleReport is queued and has not begun (set by the parser thread, cleared by the GUI).
    std::atomic<bool> reportPending{false};
    bool plotsPaused = false;
    QLabel *logFileNotice = nullptr;
    QStringList failedLogFiles;
    QString recordingFailure; // the error of the last recording that broke, and its file
    QString recordingFailureFile;
    // Settings of the session file and the plots' key axis.
    bool sessionLogEnabled = true;
    bool plotTimeAxis = false;
    QByteArray configurationText; // as read, for the header of a recording
    bool endingRecording = false; // the operator is ending the session's recording

    friend class MainWindowProbe; // tests read the window's state through it
};

#endif // MAINWINDOW_H
