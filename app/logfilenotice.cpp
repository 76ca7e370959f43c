#include "mainwindow.h"

#include "fittedtext.h"
#include "mainwindowform.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QLabel>

namespace {
constexpr int longestFileName = 300;
} // namespace

// Values whose log file cannot be written are still decoded and shown; the operator learns
// once, above the plots, which files miss their lines. A recording that breaks is said there
// too, as soon as it breaks.
void MainWindow::showLogFileFailure(const QString &fileName)
{
    if (failedLogFiles.contains(fileName))
        return;
    failedLogFiles.append(fileName);
    showFailureNotice();
}

void MainWindow::showRecordingFailure(const QString &error, const QString &fileName)
{
    recordingFailure = error;
    recordingFailureFile = QFileInfo(fileName).fileName();
    showFailureNotice();
}

void MainWindow::showFailureNotice()
{
    if (!logFileNotice) {
        logFileNotice = new QLabel(form->scrollAreaWidgetContents);
        logFileNotice->setObjectName(QStringLiteral("lbLogFileNotice"));
        logFileNotice->setAlignment(Qt::AlignCenter);
        logFileNotice->setWordWrap(true);
        logFileNotice->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        if (auto *layout = qobject_cast<QBoxLayout *>(form->scrollAreaWidgetContents->layout()))
            layout->insertWidget(0, logFileNotice);
    }
    // Each name cut on its own, and the line wrapped between names, so that the notice never
    // needs more width than one cut name.
    bool cut = false;
    const auto fitted = [this, &cut](const QString &name) {
        const FittedText text = fitText(name, logFileNotice->font(), longestFileName);
        cut = cut || !text.toolTip.isEmpty();
        return text.text;
    };
    QStringList lines;
    QStringList wholeLines;
    if (!failedLogFiles.isEmpty()) {
        QStringList shown;
        for (const QString &name : qAsConst(failedLogFiles))
            shown.append(fitted(name));
        const QString text = tr("Не удалось записать журнал: %1");
        lines.append(text.arg(shown.join(QStringLiteral(", "))));
        wholeLines.append(text.arg(failedLogFiles.join(QStringLiteral(", "))));
    }
    if (!recordingFailureFile.isEmpty()) {
        const QString text = tr("Запись сеанса прервана (%1): %2");
        lines.append(text.arg(recordingFailure, fitted(recordingFailureFile)));
        wholeLines.append(text.arg(recordingFailure, recordingFailureFile));
    }
    logFileNotice->setText(lines.join(QLatin1Char('\n')));
    logFileNotice->setToolTip(cut ? wholeTextToolTip(wholeLines.join(QLatin1Char('\n'))) : QString());
}
