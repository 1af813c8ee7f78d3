// The read trace: a side channel for front ends that pair each prompt with the answer line
// it took (lamvis2-kit). When the environment variable LAMVIS2_READ_TRACE names a file that
// the run can create, the run writes into it the line "lamvis2 read trace 1", then, each time
// it goes to read a new line of input, the line "S O L": S the input statement reading (1, 2,
// ... counting the READs and the pause's reads in order), O the bytes written to standard
// output before it, L the line's number in the input (1, 2, ...; one past the last line when
// the input has ended). A line that an input statement takes and skips (an empty one) shows
// as a line of the same statement before the one that answers it; the statement that meets
// the end of the input shows with the line it did not find.
// The trace changes nothing that the program prints or its exit status: it is written only
// to its own file, through the console's own descriptor calls, and a trace that cannot be
// opened or written is dropped without a word.
#pragma once

struct ReadTrace {
    int descriptor = -1;         // where the trace goes; -1: no trace
    long long outputBytes = 0;   // bytes written to standard output so far
    long statement = 0;          // input statements begun
    long lines = 0;              // input lines begun

    // Opens the trace file `path` (created or emptied) and writes its first line.
    void open(const char* path);
    bool on() const { return descriptor >= 0; }
    void beginStatement() {
        if (on()) ++statement;
    }
    // A new line of input is about to be read.
    void lineBegins();

private:
    void write(const char* text, long count);
};
