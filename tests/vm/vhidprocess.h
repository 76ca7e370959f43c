#ifndef VHIDPROCESS_H
#define VHIDPROCESS_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>

// A vhid virtual device run beside a test: started with the test configuration, steered by
// lines on its standard input, its printed lines collected. Waiting keeps the test's event
// loop running, so a window under test goes on working meanwhile.
class VhidProcess : public QObject
{
    Q_OBJECT

public:
    explicit VhidProcess(QObject *parent = nullptr);
    ~VhidProcess() override; // unplugs the device and ends the process

    // The test configuration, the count pattern at 100 reports per second, product "Tolvex VM".
    static QStringList defaultArguments();
    static QString configPath();

    // Starts vhid and, unless started with --unplugged, waits until its device is plugged in.
    bool start(const QStringList &arguments = defaultArguments(), int timeoutMs = 10000);
    void stop();

    bool plug(int timeoutMs = 10000);   // and wait for its node
    bool unplug(int timeoutMs = 10000); // and wait until it is gone
    void send(const QByteArray &line);

    // Waits until a line starting with prefix has come after the first `from` lines; returns
    // its index, or -1 after timeoutMs.
    int waitForLine(const QByteArray &prefix, int timeoutMs, int from = 0);
    int lineCount() const { return received.size(); }
    QList<QByteArray> lines() const { return received; }
    // The payloads of the lines that start with prefix ("output ", "answer "), in order.
    QList<QByteArray> linesAfter(const QByteArray &prefix) const;

    // The hidraw node of the plugged device, as vhid announced it.
    QString node() const { return currentNode; }

private:
    void collect();

    QProcess process;
    QByteArray partial;
    QList<QByteArray> received;
    QString currentNode;
};

#endif // VHIDPROCESS_H
