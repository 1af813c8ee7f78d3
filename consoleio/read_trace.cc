#include "consoleio/read_trace.h"

#include <charconv>

#include "runtime/console.h"

void ReadTrace::open(const char* path) {
    descriptor = platformConsole().openWriteFile(path);
    static constexpr char FIRST_LINE[] = "lamvis2 read trace 1\n";
    write(FIRST_LINE, sizeof FIRST_LINE - 1);
}

void ReadTrace::lineBegins() {
    ++lines;
    if (!on()) return;
    // Three numbers of at most 20 digits, their separators and the line end.
    char text[3 * 21];
    long length = 0;
    const long long numbers[3] = {statement, outputBytes, lines};
    for (int i = 0; i < 3; ++i) {
        const auto result = std::to_chars(text + length, text + length + 20, numbers[i]);
        length = result.ptr - text;
        text[length++] = i < 2 ? ' ' : '\n';
    }
    write(text, length);
}

void ReadTrace::write(const char* text, long count) {
    while (on() && count > 0) {
        const long written = platformConsole().write(descriptor, text, count);
        if (written <= 0) {
            descriptor = -1;  // a trace that cannot be written is dropped
            return;
        }
        text += written;
        count -= written;
    }
}
