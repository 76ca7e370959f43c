#include "mainwindow.h"

#include "fittedtext.h"
#include "mainwindowform.h"

#include <QBoxLayout>
#include <QLabel>

namespace {
constexpr int longestFileName = 300;
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
        logFileNotice->setWordWrap(true);
        logFileNotice->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        if (auto *layout = qobject_cast<QBoxLayout *>(form->scrollAreaWidgetContents->layout()))
            layout->insertWidget(0, logFileNotice);
    }
    // Each name cut on its own, and the line wrapped between names, so that the notice never
    // needs more width than one cut name.
    QStringList shown;
    bool cut = false;
    for (const QString &name : qAsConst(failedLogFiles)) {
        const FittedText fitted = fitText(name, logFileNotice->font(), longestFileName);
        shown.append(fitted.text);
        cut = cut || !fitted.toolTip.isEmpty();
    }
    const QString text = tr("Не удалось записать журнал: %1");
    logFileNotice->setText(text.arg(shown.join(QStringLiteral(", "))));
    logFileNotice->setToolTip(
        cut ? wholeTextToolTip(text.arg(failedLogFiles.join(QStringLiteral(", ")))) : QString());
}
