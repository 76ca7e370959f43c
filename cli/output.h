#ifndef OUTPUT_H
#define OUTPUT_H

#include <QByteArray>
#include <QString>

// Standard output for lines that may come by the ten thousand a second: they are gathered
// and written together, at the latest when the event loop has nothing else to do, so a pipe
// sees each line soon after its report arrived while a fast stream costs few writes.
class Output
{
public:
    static void line(const QByteArray &text);
    static void line(const QString &text) { line(text.toUtf8()); }
    // Writes what is gathered now; false when standard output cannot be written.
    static bool flush();
    // Whether a write has failed (a closed pipe, a full disk).
    static bool failed();
    // A write has failed for this reason: said once on standard error, and failed() from now
    // on. flush() calls it; so does a subcommand that writes standard output another way.
    static void noteFailure(const QString &reason);
};

// A message for the user on standard error, prefixed with the program's name.
void complain(const QString &text);

#endif // OUTPUT_H
