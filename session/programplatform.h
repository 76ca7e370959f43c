#ifndef PROGRAMPLATFORM_H
#define PROGRAMPLATFORM_H

#include <QString>

#include <memory>

class HidPlatform;
class ReplayPlatform;

// The platform a program's device session talks through, chosen here for every front end:
// a recording played back as a plugged-in device (the window's --replay), a stand-in the front
// end steers itself (the simulated device of tolvexctl --simulate), or else the system's own
// HID devices. Outlives the session it is handed to.
class ProgramPlatform
{
public:
    ProgramPlatform();
    ~ProgramPlatform();
    ProgramPlatform(const ProgramPlatform &) = delete;
    ProgramPlatform &operator=(const ProgramPlatform &) = delete;

    // Plays the recording at path back at speed instead of the system's devices. False, with
    // errorString(), when it cannot be replayed at all.
    bool replay(const QString &path, double speed);
    // A stand-in the caller owns and steers, instead of the system's devices.
    void useStandIn(HidPlatform *standIn);

    // The platform chosen; the system's, made on first use, when nothing else was.
    HidPlatform *platform();
    // The recording played back, when that was chosen.
    ReplayPlatform *replayed() const { return replaying; }
    QString errorString() const { return error; }

private:
    std::unique_ptr<HidPlatform> owned;
    HidPlatform *chosen = nullptr;
    ReplayPlatform *replaying = nullptr;
    QString error;
};

#endif // PROGRAMPLATFORM_H
