#include "standardoutput.h"

#include <cstdio>

#include <fcntl.h>
#include <io.h>

void prepareStandardOutput()
{
    // In binary mode "\n" is not turned into CR LF. Windows sends no signal for a closed
    // pipe: the write fails by itself.
    _setmode(_fileno(stdout), _O_BINARY);
}
