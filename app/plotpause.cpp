// Pausing the plots: every plot keeps its picture while decoding, the values tree, the console
// and the log files go on. Samples that arrive meanwhile wait in the parser's window, so
// resuming shows the current window at once.
#include "mainwindow.h"

#include "mainwindowform.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLayout>

#include <qcustomplot.h>

void MainWindow::addPauseSwitch()
{
    pauseSwitch = new QCheckBox(tr("Пауза"), this);
    pauseSwitch->setObjectName(QStringLiteral("cbPause"));
    pauseSwitch->setCursor(Qt::PointingHandCursor);
    pauseSwitch->setToolTip(tr("Остановить графики (пробел на графике)"));
    form->frame->layout()->addWidget(pauseSwitch);
    connect(pauseSwitch, &QCheckBox::toggled, this, &MainWindow::setPlotsPaused);
}

void MainWindow::setPlotsPaused(bool paused)
{
    plotsPaused = paused;
    for (int i = 0; i < plots.size(); ++i) {
        if (!plotSwitches[i]->isChecked())
            continue;
        const bool inView = !plots[i]->visibleRegion().isEmpty();
        if (paused) {
            // Every plot stops at the same sample: those a tick skipped take theirs now and
            // draw them when they come into view.
            if (plotsBehind[i] || !inView)
                plotsBehind[i] = takeSamples(i) || plotsBehind[i];
        } else if (!inView) {
            plotsBehind[i] = true;
        } else if (takeSamples(i) || plotsBehind[i]) {
            drawPlot(i, true);
        }
    }
}
