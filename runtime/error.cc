// Run-time errors: the message table, the one report layout on standard error, and the
// close-down that ends every run, normally or after a report.
#include "runtime/error.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/console.h"
#include "runtime/signal_state.h"

namespace {

struct MessageEntry {
    ErrorCode code;
    int number;        // message number; the report shows 6000 plus it
    const char* text;
};

// One row per error code. The numbers are fixed by the reports users know; the wording is
// a short phrase naming the condition.
const MessageEntry MESSAGES[] = {
    {ErrorCode::IntegerOverflow, 100, "integer overflow"},
    {ErrorCode::IntegerSyntax, 101, "invalid integer"},
    {ErrorCode::RealDoubleRange, 102, "real overflow"},
    {ErrorCode::RealSyntax, 103, "invalid real"},
    {ErrorCode::RealSingleRange, 104, "real too large for single precision"},
    {ErrorCode::BasedSecondHash, 302, "invalid based integer: second '#'"},
    {ErrorCode::BasedBadBase, 303, "invalid base in based integer"},
    {ErrorCode::ConsoleLineTooLong, 407, "console line too long"},
    {ErrorCode::ReadFailed, 500, "read error on console"},
    {ErrorCode::EndOfFile, 501, "end of file encountered"},
    {ErrorCode::RepeatCountZero, 502, "zero repeat count"},
    {ErrorCode::SecondRepeatCount, 503, "multiple repeat counts"},
    {ErrorCode::QuotedNumericValue, 504, "quoted value for numeric item"},
    {ErrorCode::UnitNumberInvalid, 421, "invalid unit number"},
    {ErrorCode::ListItemTooWide, 422, "list-directed item too wide"},
    {ErrorCode::WriteFailed, 423, "write error on console"},
    {ErrorCode::FormatMissingParen, 980, "format must begin with '('"},
    {ErrorCode::FormatUnexpectedEnd, 981, "unexpected end of format"},
    {ErrorCode::FormatBadDescriptor, 982, "invalid edit descriptor"},
    {ErrorCode::FormatBadNumber, 983, "invalid number in format"},
    {ErrorCode::FormatNotRepeatable, 984, "repeat count not allowed here"},
    {ErrorCode::FormatTooDeep, 985, "format groups nested too deeply"},
    {ErrorCode::FormatUnsupported, 986, "edit descriptor not supported"},
    {ErrorCode::FormatTypeMismatch, 987, "item type does not match edit descriptor"},
    {ErrorCode::FormatNoDataDescriptor, 988, "no data edit descriptor in format"},
    {ErrorCode::NoMemoryRuntime, 700, "out of memory"},
    {ErrorCode::NoMemoryTemporary, 763, "out of memory for array temporary"},
    {ErrorCode::WorkArrayAllocate, 773, "cannot allocate array"},
    {ErrorCode::WorkArrayNoStorage, 774, "array has no storage"},
    {ErrorCode::WorkArrayNotAllocated, 776, "array not allocated"},
    {ErrorCode::FloatingPointUnknown, 990, "unexpected floating-point exception"},
};

const MessageEntry& entryFor(ErrorCode code) {
    for (const auto& entry : MESSAGES)
        if (entry.code == code) return entry;
    return MESSAGES[0];  // every code has a row; this is not reached
}

bool isInputOutputKind(StatementKind kind) {
    return kind == StatementKind::Read || kind == StatementKind::Write;
}

// Report writes go straight to standard error; their failures are ignored.
void writeError(std::string_view text) {
    const char* bytes = text.data();
    long remaining = static_cast<long>(text.size());
    while (remaining > 0) {
        long written = platformConsole().write(STANDARD_ERROR, bytes, remaining);
        if (written <= 0) return;
        bytes += written;
        remaining -= written;
    }
}

}  // namespace

int messageNumber(ErrorCode code) { return entryFor(code).number; }

const char* messageText(ErrorCode code) { return entryFor(code).text; }

void ErrorState::nameConnection(const char* name) {
    // Every statement names the console again: the copy is made only when it changes.
    if (std::strcmp(connectionName.c_str(), name) != 0) connectionName = name;
}

void registerConsoleHooks(ErrorState& errors, RunTimeHook closeDown, RunTimeHook inputOutputError,
                          void* console) {
    errors.closeDown = closeDown;
    errors.inputOutputError = inputOutputError;
    errors.console = console;
}

void raiseRuntimeError(ErrorState& errors, ErrorCode code, StatementKind kind) {
    std::string name = errors.connectionName;
    const MessageEntry& entry = entryFor(code);
    if (isInputOutputKind(kind) && errors.inputOutputError != nullptr)
        errors.inputOutputError(errors.console);
    errors.nameConnection(name.c_str());
    reportRuntimeError(errors, 6000 + entry.number, entry.text, kind);
    // Only reached when the error was raised during the close-down.
    platformConsole().exitProcess(errors.endingStatus);
    std::abort();
}

void reportRuntimeError(ErrorState& errors, int number, std::string_view text, StatementKind kind) {
    const std::string_view connectionName = errors.connectionName;
    // The report is composed in one buffer and written in one go.
    std::string report;
    report.reserve(64 + text.size() + connectionName.size());
    report.append("\r\nrun-time error ");
    report.append(kind == StatementKind::Math ? "M" : "F");
    report.append(std::to_string(number));
    switch (kind) {
        case StatementKind::Read: report.append(": READ("); break;
        case StatementKind::Write: report.append(": WRITE("); break;
        case StatementKind::Math: report.append(": MATH\r\n- "); break;
        case StatementKind::General: report.append("\r\n- "); break;
    }
    if (isInputOutputKind(kind)) {
        report.append(connectionName);
        report.append(text.empty() ? ")\r\n" : ")\r\n- ");
    }
    report.append(text);
    report.append("\r\n");
    writeError(report);
    if (!errors.closeDownStarted) endRun(errors, 1);
}

void endRun(ErrorState& errors, int status) {
    if (!errors.closeDownStarted) {
        errors.closeDownStarted = true;
        errors.endingStatus = status;
        if (errors.closeDown != nullptr) errors.closeDown(errors.console);
    }
    platformConsole().exitProcess(errors.endingStatus);
    std::abort();
}

// The handler's path: the run in progress, or (none) a state of the report's own.

void useErrorState(ErrorState* errors) { signalState.errors = errors; }

void raiseRuntimeError(ErrorCode code, StatementKind kind) {
    ErrorState outsideRun;  // code run without a run (a test of one routine) reports alone
    raiseRuntimeError(signalState.errors != nullptr ? *signalState.errors : outsideRun, code, kind);
}

void reportRuntimeError(int number, std::string_view text, StatementKind kind) {
    ErrorState outsideRun;
    reportRuntimeError(signalState.errors != nullptr ? *signalState.errors : outsideRun, number,
                       text, kind);
}
