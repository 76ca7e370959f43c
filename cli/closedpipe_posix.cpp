#include "closedpipe.h"

#include <csignal>

void letClosedPipesFailWrites()
{
    // Ignored, SIGPIPE leaves the write to fail with EPIPE.
    std::signal(SIGPIPE, SIG_IGN);
}
