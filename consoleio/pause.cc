// The pause: shows its text on a line of its own, waits for the user's answer and runs a
// non-empty answer as a command line before the caller goes on.
#include "consoleio/pause.h"

#include <cstring>
#include <memory>
#include <new>

#include "consoleio/reader.h"
#include "consoleio/record.h"
#include "runtime/console.h"
#include "runtime/error.h"

namespace {

// A terminal answer: one direct read on standard input, the console record untouched.
int readTerminalAnswer(char* buffer, int capacity) {
    long count = platformConsole().read(STANDARD_INPUT, buffer, capacity);
    if (count <= 0) return 0;  // nothing typed (or the read failed): an empty answer
    int length = static_cast<int>(count);
    if (buffer[length - 1] == '\n') {
        --length;
        if (length > 0 && buffer[length - 1] == '\r') --length;
    } else if (length == capacity) {
        // The line did not fit: the last two bytes go where its line end would have been,
        // and the rest of the line stays for the next console input statement.
        length = length >= 2 ? length - 2 : 0;
    }
    // A shorter read without a line end is a line ended by end of input: all of it is the
    // answer.
    return length;
}

// A redirected answer: bytes taken through the console input connection up to the line
// end; the first `capacity` are kept and the rest of the line is skipped.
int readRedirectedAnswer(ConsoleUnits& units, char* buffer, int capacity) {
    int length = 0;
    for (;;) {
        char byte = takeConsoleByte(units);
        if (byte == '\n') break;
        if (byte == '\r') {
            // The LF of a CR LF belongs to this line; any other byte is given back.
            if (takeConsoleByte(units) != '\n') --units.input().position;
            break;
        }
        if (length < capacity) buffer[length++] = byte;
    }
    return length;
}

}  // namespace

int readPauseLine(ConsoleUnits& units, char* buffer, int capacity) {
    if (capacity < 0) capacity = 0;
    units.trace.beginStatement();
    int length = units.inputIsTerminal()
                     ? readTerminalAnswer(buffer, capacity)
                     : readRedirectedAnswer(units, buffer, capacity);
    buffer[length] = '\0';
    return length;
}

void runCommandLine(const char* commandLine) { platformConsole().runCommand(commandLine); }

void pauseForInput(ConsoleUnits& units, int length, const char* text) {
    // The prompt starts on a line of its own; the line end stays owed as well, so the next
    // record leaves an empty line after the answer.
    UnitRecord& output = units.output();
    writeOwedLineEnd(output);

    if (text == nullptr) {
        writeConsoleBytes(output, STANDARD_OUTPUT, DEFAULT_PAUSE_PROMPT,
                          static_cast<long>(std::strlen(DEFAULT_PAUSE_PROMPT)));
    } else {
        if (length < 0) length = 0;
        const auto size = static_cast<std::size_t>(length) + 3;
        std::unique_ptr<char[]> prompt(new (std::nothrow) char[size]);
        if (!prompt)
            raiseRuntimeError(output.errors, ErrorCode::NoMemoryRuntime, StatementKind::General);
        std::memcpy(prompt.get(), text, static_cast<std::size_t>(length));
        prompt[static_cast<std::size_t>(length)] = '\r';
        prompt[static_cast<std::size_t>(length) + 1] = '\n';
        prompt[static_cast<std::size_t>(length) + 2] = '\0';
        writeConsoleBytes(output, STANDARD_OUTPUT, prompt.get(), static_cast<long>(length) + 2);
    }

    char answer[PAUSE_LINE_LENGTH + 1];
    int answerLength = readPauseLine(units, answer, PAUSE_LINE_LENGTH);
    while (answerLength > 0 &&
           (answer[answerLength - 1] == ' ' || answer[answerLength - 1] == '\t'))
        --answerLength;
    answer[answerLength] = '\0';

    // An empty answer goes on at once; so does a single character (a lone Ctrl-Z among
    // them), which the prompt's offer of "a blank line or a command" does not take for one.
    if (answerLength >= 2) runCommandLine(answer);
}
