// The console's unit records: the record buffer of output statements, placing characters,
// the record end with its lazy line end, and the console's carriage control.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/console.h"
#include "consoleio/read_trace.h"
#include "runtime/error.h"

constexpr int CONSOLE_RECORD_LENGTH = 132;

// Redirected input: bytes read from standard input and not yet handed out as records. It
// holds at most one partial record (under 132 bytes) and the read that completes it.
struct ReadAhead {
    char bytes[2 * CONSOLE_RECORD_LENGTH] = {};
    int start = 0;                // index of the next byte to hand out
    int end = 0;                  // one past the last byte read
    bool inputEnded = false;      // a read returned no bytes
    bool lineContinues = false;   // the last record was a 132-byte piece without line end
    char pieceTail[2] = {};       // the last two bytes of that piece
};

// The run-time's record of one connected unit. Its errors are raised in the run's error
// state, which the record is given when created.
struct UnitRecord {
    explicit UnitRecord(ErrorState& runErrors) : errors(runErrors) {}

    ErrorState& errors;
    std::string name = "CON";
    int descriptor = STANDARD_OUTPUT;
    bool lineOpen = false;        // a record was written and its line end is still owed
    bool endOfFile = false;       // end of input was met
    char recordBuffer[CONSOLE_RECORD_LENGTH] = {};
    int position = 0;             // output: characters placed since the last flush;
                                  // input: index of the next byte to take
    int lastIndex = -1;           // input: index of the last valid byte, -1 when empty
    int charsInRecord = 0;        // output: characters placed in the current record so far
    int pendingBlanks = 0;        // output: blanks owed before the next character placed
    bool recordStarted = false;   // output: the record's first chunk has gone to the device
    bool carriageControl = true;
    bool terminal = false;        // input: standard input is a terminal (one line per read)
    bool broken = false;          // output: a write to the device failed; nothing more is owed
    ReadAhead readAhead;          // input from a file or pipe
    ReadTrace* trace = nullptr;   // the run's read trace (counts output, notes input lines)
};

// The console's records of one run: one shared record when standard input and standard
// output are both terminals, otherwise one for input and one for output. The records raise
// their errors in the run's error state, `errors`.
class ConsoleUnits {
public:
    explicit ConsoleUnits(ErrorState& errors) : errors_(errors) {}

    // The run's read trace (off unless opened); the records are given it.
    ReadTrace trace;

    // Creates the records for the console in use.
    void open();
    // Releases them (part of the close-down).
    void close();
    bool isOpen() const { return input_ != nullptr; }

    // Whether one record serves both input and output.
    bool shared() const { return shared_; }
    // Whether standard input is a terminal, as found when the records were created: the
    // console a process starts with stays what it is for the whole run.
    bool inputIsTerminal() {
        if (!input_) open();
        return inputTerminal_;
    }

    // The output and input records (the same record when shared). Created on first use if
    // start-up has not.
    UnitRecord& output() {
        if (!input_) open();
        return shared_ ? *input_ : *output_;
    }
    UnitRecord& input() {
        if (!input_) open();
        return *input_;
    }

private:
    ErrorState& errors_;
    std::unique_ptr<UnitRecord> input_;
    std::unique_ptr<UnitRecord> output_;  // null when the input record is shared
    bool shared_ = false;
    bool inputTerminal_ = false;
};

// Writes bytes to a standard descriptor for the console's output record `output`,
// completing partial writes. A failed write raises the WRITE error WriteFailed (after
// marking `output` broken, so that the close-down does not try again) in its error state.
void writeConsoleBytes(UnitRecord& output, int descriptor, const char* bytes, long count);

// Adds `count` blanks to the blanks owed before the next character of the record.
void addPendingBlanks(UnitRecord& unit, int count);

// Places characters in the current record: owed blanks first, then the text. A full buffer
// is written to the device as one chunk, with the line control if it is the record's first.
void placeCharacters(UnitRecord& unit, const char* text, int count);

// The record end on the console: an empty record gets one blank, the rest of the buffer is
// written, the line end is owed (lineOpen). Owed blanks are dropped.
void endRecord(UnitRecord& unit);

// Writes CR LF if the record's line is open; leaves lineOpen as it is.
void writeOwedLineEnd(UnitRecord& unit);

// The console's part of the close-down, given the ConsoleUnits: an open output line gets
// its CR LF (a failed write is reported, without ending the run again), then the records
// are released.
void closeDownConsole(void* units);

// After an input/output error, given the ConsoleUnits: a shared record forgets its
// half-read line, and the end-of-file state is cleared, so that the console stays usable
// for the close-down.
void resetConsoleAfterError(void* units);
