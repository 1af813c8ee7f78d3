// Compiles arbitrary texts as format specifications: compilation must end, and the byte
// code must decode as a chain of complete elements ending in the final ")" or an error
// element. Formats whose repeats stay small are also run as statements on a fake console,
// with a few items of every type and the program's floating-point traps in force: the
// statement must end (normally or by a run-time error), never loop, and never make a
// floating-point fault.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "consoleio/format.h"
#include "consoleio/output.h"
#include "fuzz/fuzz_run.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "format_fuzz: %s\n", what);
    std::abort();
}

// Checks the element chain; returns whether running the format stays small (the product
// of nested repeat counts, and every other count, bounded).
bool checkByteCode(const CompiledFormat& format) {
    constexpr std::int64_t LIMIT = 100000;
    std::int64_t nested[FORMAT_MAX_GROUP_DEPTH + 1] = {1};
    int depth = 0;
    bool small = true;
    std::size_t at = 0;
    for (;;) {
        const FormatElement element = decodeFormatElement(format, at);
        if (!element.complete) fail("incomplete element");
        if (element.code == FORMAT_GROUP_OPEN) {
            if (depth == FORMAT_MAX_GROUP_DEPTH) fail("groups nested too deep");
            nested[depth + 1] = std::min<std::int64_t>(nested[depth] * element.repeat, LIMIT + 1);
            ++depth;
            if (nested[depth] > LIMIT) small = false;
        } else if (element.code == FORMAT_GROUP_CLOSE) {
            if (depth == 0) fail("unbalanced group");
            --depth;
        } else {
            const std::int64_t count = std::max<std::int64_t>(
                {1, element.repeat, element.parameterCount > 0 ? element.parameters[0] : 0});
            if (nested[depth] * count > LIMIT) small = false;
        }
        if (element.code == FORMAT_END || element.code == FORMAT_ERROR) {
            if (element.next != format.code.size()) fail("code after the last element");
            if (element.code == FORMAT_END && depth != 0) fail("final ) inside a group");
            return small;
        }
        at = element.next;
    }
}

void runOne(const std::string& text, int itemCount) {
    const CompiledFormat format = compileFormat(text.data(), static_cast<int>(text.size()));
    if (!checkByteCode(format)) return;
    // The NUL-terminated form stops at the first NUL byte: it must compile as well.
    checkByteCode(compileFormat(text.c_str(), -1));

    FloatingPointGuard guard;
    FuzzConsole console(guard);
    FuzzRun run(console, guard, false);
    run.scope.runToExit([&] {
        beginWrite(run.scope.io, CONSOLE_OUTPUT_UNIT, text.data(), static_cast<int>(text.size()));
        for (int i = 0; i < itemCount; ++i) {
            switch (i % 4) {
            case 0: writeInteger(run.scope.io, -i * 12345); break;
            case 1: writeReal(run.scope.io, static_cast<float>(i) / 3.0f); break;
            case 2: writeCharacter(run.scope.io, "text", 4); break;
            default: writeDouble(run.scope.io, -1.0e100); break;
            }
        }
        endWrite(run.scope.io);
    });
    if (guard.faultsMet() != 0) fail("a floating-point fault");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int itemCount = size > 0 ? data[0] % 6 : 0;
    runOne(text, itemCount);
    // Most random texts do not start with a parenthesis: also try them as the inside of one.
    runOne("(" + text, itemCount);
    return 0;
}
