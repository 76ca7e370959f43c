// The session file with time, and recording the raw reports and requests.
#include "mainwindow.h"

#include "dataparser.h"
#include "devicesession.h"
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
    // The session records every report with the time it read it; a recording that breaks is
    // its notice, said here at once rather than when the operator ends it.
    connect(session, &DeviceSession::recordingBroke, this, &MainWindow::recordingBroke);
}

void MainWindow::recordingBroke(const QString &error, const QString &fileName)
{
    // Ended by the operator: the status bar says how it ended.
    if (endingRecording)
        return;
    const QSignalBlocker blocker(form->cbRecord);
    form->cbRecord->setChecked(false);
    // The notice above the plots says it; the status bar no longer says it is recording.
    const QString recordingText = tr("Запись сеанса: %1").arg(QDir::toNativeSeparators(fileName));
    if (form->statusBar->currentMessage() == recordingText)
        form->statusBar->clearMessage();
    showRecordingFailure(error, fileName);
}

int MainWindow::reportBacklog() const
{
    return parser->queuedReports();
}

void MainWindow::on_cbRecord_toggled(bool checked)
{
    const RecordingWriter &recording = session->recording();
    if (!checked) {
        if (!session->isRecording())
            return;
        endingRecording = true;
        session->stopRecording();
        endingRecording = false;
        const QString name = QDir::toNativeSeparators(recording.fileName());
        if (recording.failed()) {
            form->statusBar->showMessage(tr("Запись сеанса прервана (%1): %2")
                                             .arg(recording.errorString(), name));
        } else {
            form->statusBar->showMessage(tr("Запись сеанса сохранена: %1 (%2 записей)")
                                             .arg(name).arg(recording.recordCount()));
        }
        return;
    }

    const QString base = QStringLiteral("recording-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = QDir::current().filePath(base + QStringLiteral(".tvxr"));
    for (int n = 2; QFile::exists(path); ++n)
        path = QDir::current().filePath(base + QStringLiteral("-%1.tvxr").arg(n));
    // The header names the session's chosen device, the one the window shows.
    if (!session->startRecording(path, configuration.text)) {
        const QSignalBlocker blocker(form->cbRecord);
        form->cbRecord->setChecked(false);
        form->statusBar->showMessage(tr("Не удалось начать запись сеанса: %1").arg(recording.errorString()));
        return;
    }
    form->statusBar->showMessage(tr("Запись сеанса: %1").arg(QDir::toNativeSeparators(recording.fileName())));
}
