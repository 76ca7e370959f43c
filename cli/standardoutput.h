#ifndef STANDARDOUTPUT_H
#define STANDARDOUTPUT_H

// Readies standard output for what tolvexctl writes, the same on every system (each has its
// own file):
// - lines end in LF, so that what decode writes is byte for byte the window's session file
//   and a script reads the same output everywhere;
// - a write to a pipe whose reader has gone (`tolvexctl watch | head -1`) fails with an error,
//   as any other output that cannot be written, instead of ending the program without a
//   word: tolvexctl then says so and ends with status 1.
void prepareStandardOutput();

#endif // STANDARDOUTPUT_H
