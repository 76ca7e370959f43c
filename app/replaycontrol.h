#ifndef REPLAYCONTROL_H
#define REPLAYCONTROL_H

#include <QWidget>

class QLabel;
class QPushButton;
class ReplayPlatform;

// Shown in the status bar while the window replays a recording: how far the replay has come,
// and a button that pauses and resumes it.
class ReplayControl : public QWidget
{
    Q_OBJECT

public:
    ReplayControl(ReplayPlatform &replay, const QString &fileName, QWidget *parent = nullptr);

private:
    void refresh();

    ReplayPlatform &replay;
    QString fileName;
    QLabel *progress;
    QPushButton *pause;
};

#endif // REPLAYCONTROL_H
