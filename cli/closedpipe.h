#ifndef CLOSEDPIPE_H
#define CLOSEDPIPE_H

// Makes a write to a pipe whose reader has gone (`tolvexctl watch | head -1`) fail with an
// error, as any other output that cannot be written, instead of ending the program without
// a word: tolvexctl then says so and ends with status 1. Each system has its own file.
void letClosedPipesFailWrites();

#endif // CLOSEDPIPE_H
