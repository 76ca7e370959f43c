#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "commanddescription.h"
#include "configuration.h"
#include "devicelist.h"
#include "windowoptions.h"

#include <QColor>
#include <QMainWindow>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>

class Configuration;
class MqttPublisher;
class RemoteCommands;
struct MqttState;
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
class PlotPanel;
class usbHID;
struct DecodedAnswer;

// The one window of the program. Its implementation is split by concern:
// mainwindow.cpp (start-up and shut-down), configloading.cpp, deviceselection.cpp,
// plotsandvalues.cpp, plotpause.cpp, plotmenu.cpp, console.cpp, commandform.cpp,
// commandexchange.cpp, sessionrecording.cpp, logfilenotice.cpp, mqttlink.cpp, and
// devicenotice_*.cpp (the system's device notices, on each system).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // On the installed platform (HidPlatform::install), as the tests build it.
    explicit MainWindow(QWidget *parent = nullptr);
    // Reads the configuration the options name (the file beside the executable by default).
    explicit MainWindow(const WindowOptions &options, QWidget *parent = nullptr);
    // On the platform the program chose (not owned; it outlives the window): the device
    // session beneath the window talks through it alone.
    MainWindow(const WindowOptions &options, HidPlatform *platform, QWidget *parent = nullptr);
    // With the configuration already read (the program reads it once, before the window, for
    // its language).
    MainWindow(const Configuration &configuration, const WindowOptions &options, QWidget *parent = nullptr);
    // Both: the configuration already read, and the platform the program chose.
    MainWindow(const Configuration &configuration, const WindowOptions &options, HidPlatform *platform,
               QWidget *parent = nullptr);
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
    // mqttlink.cpp
    void readMqttSettings(const Configuration &configuration);
    void connectMqtt();
    void stopMqtt();
    void showMqttState(const MqttState &state);
    // commandexchange.cpp
    void handleAnswer(const DecodedAnswer &answer);
    void setAnswerTexts(const QString &text);
    void setExchangeControlsEnabled(bool enabled);
    // A request field whose text was refused: framed, with the reason under it, until the
    // text changes or a request is made.
    void markRefusedField(QLineEdit *editor, ParamType type, ParamView view);
    void clearRefusedField(QLineEdit *editor);

    WindowOptions options;
    // The configuration as read; what the window needs of it beyond the members below that
    // hold a setting (set from it once, while loading) is read from here.
    const Configuration configuration;
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
    // What the window keeps for each plot beside the plot: feed, title, zoom, cursors.
    QVector<PlotPanel *> plotPanels;
    QCheckBox *pauseSwitch = nullptr;
    // A handleReport is queued and has not begun (set by the parser thread, cleared by the GUI).
    std::atomic<bool> reportPending{false};
    bool plotsPaused = false;
    QLabel *logFileNotice = nullptr;
    QStringList failedLogFiles;
    QString recordingFailure; // the error of the last recording that broke, and its file
    QString recordingFailureFile;
    bool endingRecording = false; // the operator is ending the session's recording
    // The lab's broker, when the configuration names one; commands from it when it allows them.
    MqttPublisher *publisher = nullptr;
    RemoteCommands *remoteCommands = nullptr;
    QLabel *mqttStatus = nullptr;

    friend class MainWindowProbe; // tests read the window's state through it
};

#endif // MAINWINDOW_H
