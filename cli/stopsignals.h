#ifndef STOPSIGNALS_H
#define STOPSIGNALS_H

#include <QObject>

class QSocketNotifier;

// Turns the requests to stop that a terminal or a service manager sends (SIGINT and SIGTERM;
// on Windows Ctrl+C, Ctrl+Break and closing the console) into a signal on the main thread,
// so that a long run ends cleanly with its output written. One instance at a time. Each
// system has its own file (stopsignals_*.cpp).
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested();

private:
    QSocketNotifier *notifier = nullptr; // where signals arrive through a descriptor
};

#endif // STOPSIGNALS_H
