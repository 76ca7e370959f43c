#include "mainwindow.h"

#include "fittedtext.h"
#include "mainwindowform.h"

#include <QBoxLayout>
#include <QLabel>

namespace {
constexpr int longestNotice = 700;
} // namespace

// Values whose log file cannot be written are still decoded and shown; the operator learns
// once, above the plots, which files miss their lines.
void MainWindow::showLogFileFailure(const QString &fileName)
{
    if (failedLogFiles.contains(fileName))
        return;
    failedLogFiles.append(fileName);
    if (!logFileNotice) {
        logFileNotice = new QLabel(form->scrollAreaWidgetContents);
        logFileNotice->setObjectName(QStringLiteral("lbLogFileNotice"));
        logFileNotice->setAlignment(Qt::AlignCenter);
        if (auto *layout = qobject_cast<QBoxLayout *>(form->scrollAreaWidgetContents->layout()))
            layout->insertWidget(0, logFileNotice);
    }
    const FittedText notice = fitText(
        tr("Не удалось записать журнал: %1").arg(failedLogFiles.join(QStringLiteral(", "))),
        logFileNotice->font(), longestNotice);
    logFileNotice->setText(notice.text);
    logFileNotice->setToolTip(notice.toolTip);
}
