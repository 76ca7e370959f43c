#include "closedpipe.h"

void letClosedPipesFailWrites()
{
    // Windows sends no signal: the write fails by itself.
}
