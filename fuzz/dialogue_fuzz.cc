// The whole dialogue with arbitrary console input: the run-time starts as the program
// starts it, the analysis session runs from the banner, and the bytes after the first are
// what the user types. The run must end, at its report or at the end of the sweep, with
// status 0 and no report, or status 1 and exactly one report of the one layout with a
// number this dialogue can reach; line ends on standard output are CR LF; a command given
// at the pause is typed text of at most 128 characters.
//
// The first byte chooses the console: bit 0 standard input a terminal, bit 1 standard
// output a terminal, bits 2-4 the size of pipe reads, bits 5-7 (6 or 7) standard output
// failing after some bytes.
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "fuzz/fuzz_run.h"

namespace {

const char TARGET[] = "dialogue_fuzz";

void require(bool condition, const char* what) {
    if (!condition) fuzzFailure(TARGET, what);
}

const std::set<int> READ_ERRORS = {6100, 6101, 6102, 6103, 6104, 6302, 6303,
                                   6407, 6501, 6502, 6503, 6504};
// Traps of the analysis' arithmetic and errors of power, cosine, sine and exponential.
const std::set<int> MATH_ERRORS = {6101, 6103, 6104, 6201, 6202, 6203, 6205};
constexpr int WRITE_FAILED = 6423;
constexpr int END_OF_FILE = 6501;

struct Report {
    char letter = 0;
    int number = 0;
    std::string label;  // "READ", "WRITE", "MATH" or "" (general)
};

bool startsWith(const std::string& text, std::size_t at, const char* part) {
    return text.compare(at, std::strlen(part), part) == 0;
}

// Parses the report at `at` and moves past it; false when the text there is no report.
bool parseReport(const std::string& err, std::size_t& at, Report& report) {
    const char head[] = "\r\nrun-time error ";
    if (!startsWith(err, at, head)) return false;
    std::size_t i = at + sizeof head - 1;
    if (i + 5 > err.size()) return false;
    report.letter = err[i];
    if (report.letter != 'F' && report.letter != 'M') return false;
    report.number = 0;
    for (int k = 1; k <= 4; ++k) {
        const char digit = err[i + k];
        if (digit < '0' || digit > '9') return false;
        report.number = report.number * 10 + (digit - '0');
    }
    i += 5;
    if (startsWith(err, i, ": READ(CON)\r\n- ")) {
        report.label = "READ";
        i += 16;
    } else if (startsWith(err, i, ": WRITE(CON)\r\n- ")) {
        report.label = "WRITE";
        i += 17;
    } else if (startsWith(err, i, ": MATH\r\n- ")) {
        report.label = "MATH";
        i += 10;
    } else if (startsWith(err, i, "\r\n- ")) {
        report.label = "";
        i += 4;
    } else {
        return false;
    }
    if ((report.letter == 'M') != (report.label == "MATH")) return false;
    // The message text: a short phrase on one line.
    const std::size_t end = err.find("\r\n", i);
    if (end == std::string::npos || end == i) return false;
    if (err.find('\n', i) < end || err.find('\r', i) < end) return false;
    at = end + 2;
    return true;
}

bool reachable(const Report& report, const FuzzConsole& console) {
    if (report.label == "READ") {
        return READ_ERRORS.count(report.number) == 1 &&
               (report.number != 6407 || console.inputTerminal);
    }
    if (report.label == "MATH") return MATH_ERRORS.count(report.number) == 1;
    if (report.label == "WRITE") {
        // End of input while the pause reads its answer after an output statement, or a
        // failed write.
        return report.number == END_OF_FILE ||
               (report.number == WRITE_FAILED && console.outputLimit >= 0);
    }
    return false;  // no general error (memory, work arrays) can happen here
}

void checkRun(int status, const FuzzConsole& console) {
    require(status == 0 || status == 1, "exit status neither 0 nor 1");

    // The reports: one that ends the run; after it, or after a complete run, only the
    // close-down's failed line end may be reported.
    std::size_t at = 0;
    int reports = 0;
    Report report;
    while (at < console.err.size()) {
        require(parseReport(console.err, at, report), "standard error is not a run-time error report");
        ++reports;
        const bool closeDownFault = report.label == "WRITE" && report.number == WRITE_FAILED &&
                                    console.outputLimit >= 0;
        if (reports > 1 || status == 0) require(closeDownFault, "a second report");
        require(reachable(report, console), "a report the dialogue cannot reach");
    }
    if (status == 1) require(reports >= 1, "exit status 1 without a report");
    require(reports <= 2, "more than two reports");

    if (status == 0 && reports == 0) {
        require(console.out.find("Enter relaxation time") != std::string::npos,
                "a complete run without the relaxation sweep");
    }

    for (std::size_t i = 0; i < console.out.size(); ++i) {
        if (console.out[i] == '\n') require(i > 0 && console.out[i - 1] == '\r', "a line end without CR");
    }

    // A command is the pause's answer as a text: typed bytes, at most 128, up to a NUL.
    for (const std::string& command : console.commands) {
        require(command.size() <= 128, "a command too long");
        require(console.input.find(command) != std::string::npos, "a command that was not typed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const long READ_SIZES[] = {0, 1, 2, 3, 5, 64, 131, 132};
    const std::uint8_t choice = data[0];

    FloatingPointGuard guard;
    FuzzConsole console(guard);
    console.input.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    console.inputTerminal = (choice & 1) != 0;
    console.outputTerminal = (choice & 2) != 0;
    if (const long readSize = READ_SIZES[(choice >> 2) & 7]; readSize > 0) console.readSizes = {readSize};
    if ((choice >> 5) >= 6) console.outputLimit = static_cast<long>((size * 37) % 3000);
    // Every prompt answered costs at least one typed byte (an empty or blank line is
    // skipped, not answered), and the longest answerless stretch is the sweep.
    console.outputBound = 200000 + 200 * size;

    const int status = runWholeProgram(console, guard);
    checkRun(status, console);
    return 0;
}
