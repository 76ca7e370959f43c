#include "vhidprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

VhidProcess::VhidProcess(QObject *parent) : QObject(parent)
{
    process.setProgram(QStringLiteral(TOLVEX_VHID));
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel); // its complaints in our log
    connect(&process, &QProcess::readyReadStandardOutput, this, &VhidProcess::collect);
}

VhidProcess::~VhidProcess()
{
    stop();
}

QString VhidProcess::configPath()
{
    return QStringLiteral(TOLVEX_VM_CONFIG);
}

QStringList VhidProcess::defaultArguments()
{
    return {QStringLiteral("--config"), configPath(), QStringLiteral("--pattern"),
            QStringLiteral("count"), QStringLiteral("--rate"), QStringLiteral("100"),
            QStringLiteral("--product"), QStringLiteral("Tolvex VM")};
}

bool VhidProcess::start(const QStringList &arguments, int timeoutMs)
{
    process.setArguments(arguments);
    process.start();
    if (!process.waitForStarted(timeoutMs))
        return false;
    if (arguments.contains(QStringLiteral("--unplugged")))
        return true;
    return waitForLine("plugged ", timeoutMs) >= 0 && !currentNode.isEmpty();
}

void VhidProcess::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    send("quit");
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

bool VhidProcess::plug(int timeoutMs)
{
    const int from = received.size();
    send("plug");
    return waitForLine("plugged ", timeoutMs, from) >= 0 && !currentNode.isEmpty();
}

bool VhidProcess::unplug(int timeoutMs)
{
    const int from = received.size();
    send("unplug");
    if (waitForLine("unplugged", timeoutMs, from) < 0)
        return false;
    // The kernel removes the node a moment after the device is destroyed.
    QElapsedTimer clock;
    clock.start();
    while (!currentNode.isEmpty() && QFile::exists(currentNode) && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return currentNode.isEmpty() || !QFile::exists(currentNode);
}

void VhidProcess::send(const QByteArray &line)
{
    if (process.state() == QProcess::Running) {
        process.write(line + '\n');
        process.waitForBytesWritten(1000);
    }
}

int VhidProcess::waitForLine(const QByteArray &prefix, int timeoutMs, int from)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        collect();
        for (int i = from; i < received.size(); ++i) {
            if (received[i].startsWith(prefix))
                return i;
        }
        if (clock.elapsed() >= timeoutMs || process.state() == QProcess::NotRunning)
            return -1;
        QTest::qWait(10);
    }
}

QList<QByteArray> VhidProcess::linesAfter(const QByteArray &prefix) const
{
    QList<QByteArray> payloads;
    for (const QByteArray &line : received) {
        if (line.startsWith(prefix))
            payloads.append(line.mid(prefix.size()));
    }
    return payloads;
}

void VhidProcess::collect()
{
    partial.append(process.readAllStandardOutput());
    int end;
    while ((end = partial.indexOf('\n')) >= 0) {
        const QByteArray line = partial.left(end);
        partial.remove(0, end + 1);
        received.append(line);
        if (line.startsWith("plugged "))
            currentNode = QString::fromUtf8(line.mid(8));
    }
}
