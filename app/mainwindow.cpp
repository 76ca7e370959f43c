#include "mainwindow.h"

#include "dataparser.h"
#include "devicesession.h"
#include "hidplatform.h"
#include "mainwindowform.h"
#include "plotpanel.h"
#include "usbhid.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QTimer>

#include <cstdio>

MainWindow::MainWindow(QWidget *parent) : MainWindow(WindowOptions(), parent) {}

MainWindow::MainWindow(const WindowOptions &options, QWidget *parent)
    : MainWindow(Configuration::load(options.configFile()), options, HidPlatform::instance(), parent)
{
}

MainWindow::MainWindow(const WindowOptions &options, HidPlatform *platform, QWidget *parent)
    : MainWindow(Configuration::load(options.configFile()), options, platform, parent)
{
}

MainWindow::MainWindow(const Configuration &configuration, const WindowOptions &options, QWidget *parent)
    : MainWindow(configuration, options, HidPlatform::instance(), parent)
{
}

MainWindow::MainWindow(const Configuration &configuration, const WindowOptions &options,
                       HidPlatform *platform, QWidget *parent)
    : QMainWindow(parent), options(options), configuration(configuration), form(new MainWindowForm),
      colourCycle{Qt::red,       Qt::blue,    Qt::darkRed,     Qt::darkGreen,
                  Qt::darkBlue,  Qt::magenta, Qt::darkCyan,    Qt::darkMagenta}
{
    form->setupForm(this);
    // Set before the configuration is read, so the form's placeholder title never shows.
    setWindowTitle(QStringLiteral("Tolvex_Client ") + QStringLiteral(TOLVEX_VERSION_TEXT)
                   + tr(" - Программа управления ТРЕМ"));

    replotTimer = new QTimer(this);
    connect(replotTimer, &QTimer::timeout, this, &MainWindow::replotGraphs);
    exchangeTimer = new QTimer(this);
    exchangeTimer->setSingleShot(true);
    connect(exchangeTimer, &QTimer::timeout, this, &MainWindow::dataExchangeTimeout);

    loadConfig();

    // The platform handed in: the system's, the simulated one or a replay.
    session = new DeviceSession(platform, this);
    usb = session->link();
    parser = new DataParser(telemetry, maxPlotXPoints, this);
    parser->setTimeAxis(configuration.plotTimeAxis);
    startSessionLog();

    connect(parser, &QThread::finished, parser, &QObject::deleteLater);
    connect(usb, &usbHID::connected, this, &MainWindow::connected);
    // Opening a device may restart the plot history: the next tick copies whole windows.
    connect(usb, &usbHID::connected, this, [this] {
        for (PlotPanel *panel : qAsConst(plotPanels))
            panel->restartHistory();
    });
    // A report goes straight from the exchange thread into the parser's queue, with the time
    // the session read it: appending takes only the queue's own lock, and a trip through the
    // GUI thread's event queue would cost that thread an event per report. The parser gets
    // bytes of its own, so the exchange thread's read buffer is never shared and is read into
    // again without a hand-back through reference counts inside QtCore.
    connect(session, &DeviceSession::reportRead, parser, [this](const QByteArray &report, qint64 readNs) {
        parser->appendNewData(QByteArray(report.constData(), report.size()), readNs);
    }, Qt::DirectConnection);
    // One pending handleReport serves every report decoded before it runs: it takes every
    // answer one by one and the newest telemetry, so asking for one per report would only
    // flood the GUI thread at high rates.
    connect(parser, &DataParser::dataReady, this, [this] {
        if (!reportPending.exchange(true))
            QMetaObject::invokeMethod(this, &MainWindow::handleReport, Qt::QueuedConnection);
    }, Qt::DirectConnection);
    for (const QString &fileName : parser->logFilesFailedAtStart())
        showLogFileFailure(fileName);
    connect(parser, &DataParser::logFileFailed, this, &MainWindow::showLogFileFailure,
            Qt::QueuedConnection);
    connectRecorder();
    connectMqtt();

    // Under its id each; a later entry with an id already there replaces the earlier one.
    for (const CommandDescription &description : configuration.descriptions())
        parser->descriptions.insert(description.id, description);

    connect(form->cbCurrentDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::changeCurrentDevice);
    watchDevices();

    refreshDevices();

    parser->start(QThread::InheritPriority);
    session->start(QThread::InheritPriority);
}

MainWindow::~MainWindow()
{
    // The exchange thread ends first, so that every report it read is in the parser's queue
    // when the parser is told to stop; the parser then decodes and writes what is queued.
    session->stop();
    parser->stopParsing();
    parser->quit();
    parser->wait();
    // The window is going: standard error is left to say what the files miss.
    if (const int dropped = parser->reportsDroppedAtStop()) {
        std::fprintf(stderr,
                     "%d reports received before closing were not decoded within %d s: the "
                     "session file and the value logs end without them.\n",
                     dropped, int(DataParser::stopDecodeLimit.count() / 1000));
    }
    stopMqtt();
    qDeleteAll(commands);
    commands.clear();
    delete form;
}

void MainWindow::closeEvent(QCloseEvent *)
{
    // Closing needs no confirmation: the event stays accepted and the event loop ends.
}
