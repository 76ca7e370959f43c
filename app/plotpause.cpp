// Pausing the plots: every plot keeps its picture while decoding, the values tree, the console
// and the log files go on. Samples that arrive meanwhile wait in the parser's window, so
// resuming shows the current window at once.
#include "mainwindow.h"

#include "mainwindowform.h"
#include "plotpanel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLayout>

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
    if (paused) {
        // Every plot stops at the same sample: all of them, shown or hidden, in view or not,
        // take the parser's window under one hold of its lock (between two holds the parser
        // may append). Those in view draw it now, the others when they come into view.
        takeAllSamples();
        for (int i = 0; i < plotPanels.size(); ++i) {
            if (plotSwitches[i]->isChecked() && plotPanels[i]->inView())
                plotPanels[i]->draw();
            else
                plotPanels[i]->markBehind();
        }
        return;
    }
    for (int i = 0; i < plotPanels.size(); ++i) {
        if (!plotSwitches[i]->isChecked())
            continue;
        if (!plotPanels[i]->inView())
            plotPanels[i]->markBehind();
        else if (takeSamples(i) || plotPanels[i]->isBehind())
            plotPanels[i]->draw();
    }
}
