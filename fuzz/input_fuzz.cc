// Arbitrary bytes as console input: input statements read integers and reals until the run
// ends, which it must do with one of the input errors, after any number of values and null
// values; no crash, no endless loop, no value outside the single-precision range, and no
// floating-point fault under the program's traps. The conversions also get the bytes
// directly as a token.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>

#include "consoleio/input.h"
#include "fuzz/fuzz_run.h"

namespace {

const std::set<int> INPUT_ERRORS = {6100, 6101, 6102, 6103, 6104, 6302, 6303,
                                    6407, 6501, 6502, 6503, 6504};

void require(bool condition, const char* what = "a broken rule") {
    if (!condition) fuzzFailure("input_fuzz", what);
}

// The reported number of the one report on standard error, with its layout checked.
int reportedNumber(const std::string& err) {
    const std::string head = "\r\nrun-time error F";
    require(err.size() > head.size() + 16 && err.compare(0, head.size(), head) == 0);
    require(err.compare(head.size() + 4, 12, ": READ(CON)\r") == 0);
    require(err.size() >= 2 && err.compare(err.size() - 2, 2, "\r\n") == 0);
    return 6000 + std::atoi(err.substr(head.size() + 1, 3).c_str());
}

void checkConversions(std::string_view token) {
    IntegerConversion integer = parseIntegerToken(token);
    if (!integer.ok) require(INPUT_ERRORS.count(6000 + messageNumber(integer.error)) == 1);
    RealConversion real = parseRealToken(token);
    if (real.ok) require(std::isfinite(real.value));
    else require(INPUT_ERRORS.count(6000 + messageNumber(real.error)) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    // The first byte chooses the console: terminal flags and the size of pipe reads.
    FloatingPointGuard guard;
    FuzzConsole console(guard);
    console.input = bytes;
    console.inputTerminal = (data[0] & 1) != 0;
    console.outputTerminal = (data[0] & 2) != 0;
    console.readSizes = {1 + (data[0] >> 2) % 140};

    // Every statement takes at least one byte, and a byte is taken at most twice.
    const std::size_t statementLimit = 4 * size + 10;
    std::size_t statements = 0;
    int status;
    {
        FuzzRun run(console, guard, false);
        checkConversions(bytes);
        status = run.scope.runToExit([&] {
            for (;;) {
                require(++statements <= statementLimit);
                beginRead(run.scope.io, statements % 3 == 0 ? NUMBERED_INPUT_UNIT : CONSOLE_INPUT_UNIT);
                std::int32_t integer = 0;
                float real = std::numeric_limits<float>::quiet_NaN();
                readIntegerItem(run.scope.io, integer);
                readRealItem(run.scope.io, real);
                if (!std::isnan(real)) require(std::isfinite(real));
                endRead(run.scope.io);
            }
        });
        require(guard.faultsMet() == 0, "a floating-point fault");
    }
    require(status == 1);
    int number = reportedNumber(console.err);
    require(INPUT_ERRORS.count(number) == 1);
    if (!console.inputTerminal) require(number != 6407);
    return 0;
}
