#include "replaycontrol.h"

#include "replayplatform.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

ReplayControl::ReplayControl(ReplayPlatform &replay, const QString &fileName, QWidget *parent)
    : QWidget(parent), replay(replay), fileName(QFileInfo(fileName).fileName())
{
    setObjectName(QStringLiteral("replayControl"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    progress = new QLabel(this);
    progress->setObjectName(QStringLiteral("lbReplay"));
    layout->addWidget(progress);
    // Named apart from the plots' "Пауза", which freezes the pictures only.
    pause = new QPushButton(tr("Пауза воспроизведения"), this);
    pause->setObjectName(QStringLiteral("pbReplayPause"));
    pause->setCursor(Qt::PointingHandCursor);
    pause->setCheckable(true);
    layout->addWidget(pause);
    connect(pause, &QPushButton::toggled, this, [this](bool paused) {
        this->replay.setPaused(paused);
        pause->setText(paused ? tr("Продолжить воспроизведение") : tr("Пауза воспроизведения"));
        refresh();
    });

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ReplayControl::refresh);
    timer->start(200);
    connect(&replay, &ReplayPlatform::finished, this, &ReplayControl::refresh, Qt::QueuedConnection);
    refresh();
}

void ReplayControl::refresh()
{
    const QString seconds = QString::number(replay.secondsPlayed(), 'f', 1);
    if (replay.isFinished()) {
        pause->setEnabled(false);
        const QString problem = replay.endProblem();
        progress->setText(problem.isEmpty()
                              ? tr("Запись %1 воспроизведена до конца (%2 с)").arg(fileName, seconds)
                              : tr("Запись %1 воспроизведена до %2 с: %3").arg(fileName, seconds, problem));
        return;
    }
    progress->setText((replay.isPaused() ? tr("Пауза: %1, %2 с") : tr("Воспроизведение: %1, %2 с"))
                          .arg(fileName, seconds));
}
