// Run-time error raising, the one report layout on standard error, and the close-down that
// ends every run.
#pragma once

#include <string>
#include <string_view>

// The kind of statement or facility in which an error occurred; it selects the letter in
// front of the reported number and the label after it.
enum class StatementKind { Read, Write, Math, General };

// Internal error codes. Each maps to a message number; the report shows 6000 plus it.
enum class ErrorCode {
    // console input
    IntegerOverflow,        // 6100
    IntegerSyntax,          // 6101
    RealDoubleRange,        // 6102
    RealSyntax,             // 6103
    RealSingleRange,        // 6104
    BasedSecondHash,        // 6302
    BasedBadBase,           // 6303
    ConsoleLineTooLong,     // 6407
    ReadFailed,             // 6500
    EndOfFile,              // 6501
    RepeatCountZero,        // 6502
    SecondRepeatCount,      // 6503
    QuotedNumericValue,     // 6504
    // console output
    UnitNumberInvalid,      // 6421 (general)
    ListItemTooWide,        // 6422
    WriteFailed,            // 6423
    // format specifications
    FormatMissingParen,     // 6980
    FormatUnexpectedEnd,    // 6981
    FormatBadDescriptor,    // 6982
    FormatBadNumber,        // 6983
    FormatNotRepeatable,    // 6984
    FormatTooDeep,          // 6985
    FormatUnsupported,      // 6986
    FormatTypeMismatch,     // 6987
    FormatNoDataDescriptor, // 6988
    // memory and work arrays
    NoMemoryRuntime,        // 6700
    NoMemoryTemporary,      // 6763
    WorkArrayAllocate,      // 6773
    WorkArrayNoStorage,     // 6774
    WorkArrayNotAllocated,  // 6776
    // floating point outside the exception table
    FloatingPointUnknown,   // 6990 (general)
};

// The message number (0 to 999) of an error code, and its message text.
int messageNumber(ErrorCode code);
const char* messageText(ErrorCode code);

// What the end of the run and the report do to the console, given the console's state.
using RunTimeHook = void (*)(void* console);

// The error state of one run: whether its close-down has begun and the status the run ends
// with, what the report names (the connection and the kind of the most recent statement),
// and what the close-down and an input/output error do to the console. The start-up
// registers the hooks, so that reporting needs no knowledge of the console records. The
// console I/O holds the run's error state and hands it to every report it makes.
struct ErrorState {
    bool closeDownStarted = false;
    int endingStatus = 0;
    std::string connectionName = "CON";
    // The kind of the most recent input or output statement (set when a statement begins);
    // an error raised outside any statement, such as at the pause, is reported with it.
    StatementKind lastStatementKind = StatementKind::Write;
    RunTimeHook closeDown = nullptr;         // the open line gets its CR LF, records released
    RunTimeHook inputOutputError = nullptr;  // a half-read line is forgotten
    void* console = nullptr;                 // what both hooks are given

    // Names the connection an input/output error is reported on ("CON" for the console).
    void nameConnection(const char* name);
};

// Registers in `errors` the console's part of the close-down and of an input/output error,
// both given `console`.
void registerConsoleHooks(ErrorState& errors, RunTimeHook closeDown, RunTimeHook inputOutputError,
                          void* console);

// Raises a run-time error of the run whose error state is `errors`: reports it and ends the
// run with exit status 1. An error raised while the close-down runs is reported, and the
// process then exits with the status the run was already ending with.
[[noreturn]] void raiseRuntimeError(ErrorState& errors, ErrorCode code, StatementKind kind);

// Writes the report for `number` (6000 plus the message number) with `text` and `kind` to
// standard error and, unless the close-down of `errors`' run has begun, ends the run with
// exit status 1. Returns only while the close-down runs.
void reportRuntimeError(ErrorState& errors, int number, std::string_view text, StatementKind kind);

// Ends the run: runs the close-down once (the registered console close-down, which may
// report an error of its own) and exits the process with `status`.
[[noreturn]] void endRun(ErrorState& errors, int status);

// The handler's path. A floating-point signal or vectored-exception handler is given
// nothing of the program's, and the library wrappers and the inversion are arithmetic with
// no console in reach: they report through the error state made the run in progress by
// useErrorState (kept in signalState). Null: none, as before start-up; a report is then
// made alone and ends the process with status 1.
void useErrorState(ErrorState* errors);
[[noreturn]] void raiseRuntimeError(ErrorCode code, StatementKind kind);
void reportRuntimeError(int number, std::string_view text, StatementKind kind);
