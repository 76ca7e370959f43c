#include "mainwindow.h"

#include "mainwindowform.h"

#include <QPlainTextEdit>

// Each record is three lines: a heading, the 64 bytes in lower-case hex, and an empty line.

void MainWindow::on_cbShowAll_toggled(bool checked)
{
    showAllData = checked;
}

void MainWindow::appendRequestRecord(const QByteArray &request)
{
    form->pte->appendPlainText(tr("Запрос:"));
    form->pte->appendPlainText(QString::fromLatin1(request.toHex()));
    form->pte->appendPlainText(QString());
}

void MainWindow::appendReportRecord(int id, const QByteArray &report)
{
    // Telemetry is echoed only on request; answers, awaited or not, always are.
    if (id == 0 && !showAllData)
        return;
    form->pte->appendPlainText(tr("Ответ:"));
    form->pte->appendPlainText(QString::fromLatin1(report.toHex()));
    form->pte->appendPlainText(QString());
}
