#ifndef COMMANDANSWERER_H
#define COMMANDANSWERER_H

#include "commanddescription.h"
#include "simdevice.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <memory>

// Answers every configured command sent to a simulated device: for each request whose id byte
// belongs to a command, an input report with that id byte and the command's "in" values comes
// back after a short delay. An "in" value whose name matches an "out" parameter echoes the
// request's value; any other gets a plausible value of its type.
class CommandAnswerer
{
public:
    explicit CommandAnswerer(const QList<CommandDescription> &commands, int delayMs = 20);

    // Makes the device answer through this object (which must outlive the device's use of it,
    // or be removed with device.setResponder(nullptr)).
    void attachTo(SimDevice &device);

    // While off, requests are taken but never answered.
    void setAnswering(bool on) { answering = on; }
    bool isAnswering() const { return answering.load(); }
    quint64 answersSent() const { return sent.load(); }

    // The answer to a request for a command (only the id byte for a command without "in" values).
    static QByteArray makeAnswer(const CommandDescription &command, const QByteArray &request);

private:
    void answer(SimDevice &device, const QByteArray &request);

    const QList<CommandDescription> commands;
    const int delayMs;
    std::atomic<bool> answering{true};
    std::atomic<quint64> sent{0};
};

#endif // COMMANDANSWERER_H
