// The session file with time, and recording the raw reports and requests.
#include "mainwindow.h"

#include "dataparser.h"
#include "devicesession.h"
#include "devicetag.h"
#include "mainwindowform.h"
#include "recordingwriter.h"
#include "sessioncsv.h"
#include "usbhid.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalBlocker>
#include <QStatusBar>

void MainWindow::startSessionLog()
{
    // The file is created in the working directory with the first telemetry report.
    if (!configuration.sessionLog || telemetry.inNames.isEmpty())
        return;
    auto writer = std::make_unique<SessionCsvWriter>(telemetry.inNames, telemetry.inUnits);
    writer->writeToDirectory();
    parser->setSessionLog(std::move(writer));
}

void MainWindow::connectRecorder()
{
    recorder = std::make_unique<RecordingWriter>();
    // Buffered on the exchange thread as each report is read, with the time the session read
    // it; the writer's own thread puts them into the file.
    RecordingWriter *writer = recorder.get();
    connect(session, &DeviceSession::reportRead, this,
            [writer](const QByteArray &report, qint64 readNs) {
                writer->record(RecordingFormat::RecordKind::Report, report, readNs);
            },
            Qt::DirectConnection);
    // A recording that breaks is said at once, not when the operator ends it.
    writer->setFailureHandler([this] {
        QMetaObject::invokeMethod(this, &MainWindow::recordingBroke, Qt::QueuedConnection);
    });
}

void MainWindow::recordingBroke()
{
    // Ended by the operator meanwhile (and said in the status bar), or another one begun.
    if (!recorder->isOpen() || !recorder->failed())
        return;
    recorder->close();
    const QSignalBlocker blocker(form->cbRecord);
    form->cbRecord->setChecked(false);
    // The notice above the plots says it; the status bar no longer says it is recording.
    const QString recordingText = tr("Запись сеанса: %1").arg(QDir::toNativeSeparators(recorder->fileName()));
    if (form->statusBar->currentMessage() == recordingText)
        form->statusBar->clearMessage();
    showRecordingFailure(recorder->errorString(), recorder->fileName());
}

int MainWindow::reportBacklog() const
{
    return parser->queuedReports();
}

void MainWindow::on_cbRecord_toggled(bool checked)
{
    if (!checked) {
        if (!recorder->isOpen())
            return;
        recorder->close();
        const QString name = QDir::toNativeSeparators(recorder->fileName());
        if (recorder->failed()) {
            form->statusBar->showMessage(tr("Запись сеанса прервана (%1): %2")
                                             .arg(recorder->errorString(), name));
        } else {
            form->statusBar->showMessage(tr("Запись сеанса сохранена: %1 (%2 записей)")
                                             .arg(name).arg(recorder->recordCount()));
        }
        return;
    }

    RecordingFormat::Header header;
    header.product = currentDeviceName;
    header.path = currentDevicePath;
    if (!currentDevicePath.isEmpty())
        header.tag = deviceTag(currentDeviceName, currentDevicePath);
    header.configuration = configuration.text;
    const QString base = QStringLiteral("recording-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = QDir::current().filePath(base + QStringLiteral(".tvxr"));
    for (int n = 2; QFile::exists(path); ++n)
        path = QDir::current().filePath(base + QStringLiteral("-%1.tvxr").arg(n));
    if (!recorder->open(path, header)) {
        const QSignalBlocker blocker(form->cbRecord);
        form->cbRecord->setChecked(false);
        form->statusBar->showMessage(tr("Не удалось начать запись сеанса: %1").arg(recorder->errorString()));
        return;
    }
    form->statusBar->showMessage(tr("Запись сеанса: %1").arg(QDir::toNativeSeparators(recorder->fileName())));
}
