#ifndef EXITSTATUS_H
#define EXITSTATUS_H

// tolvexctl's exit statuses; the README lists them. Fixed once chosen: scripts test them.
namespace ExitStatus {
constexpr int ok = 0;
constexpr int failure = 1;        // anything not listed below (output that cannot be written, ...)
constexpr int usage = 2;          // unknown subcommand or option, bad option value
constexpr int noDevice = 3;       // no matching device, or not the one asked for
constexpr int cannotOpen = 4;     // the device is listed but does not open (usually permission)
constexpr int timedOut = 5;       // send: no answer within the time-out
constexpr int unknownName = 6;    // send: no such command or field
constexpr int deviceGone = 7;     // the device was unplugged (or failed) while in use
constexpr int badConfig = 8;      // the configuration cannot be read, or check-config found problems
constexpr int badRecording = 9;   // decode: the file is no recording, or a damaged one
} // namespace ExitStatus

#endif // EXITSTATUS_H
