#include "standardoutput.h"

#include <csignal>

void prepareStandardOutput()
{
    // Lines already end in LF. Ignored, SIGPIPE leaves the write to fail with EPIPE.
    std::signal(SIGPIPE, SIG_IGN);
}
