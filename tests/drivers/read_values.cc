// Reads values from the console through input statements and prints them, so that
// whole-program tests can check the reader through pipes and through a terminal.
//
// The script comes from the first argument, or from the environment variable
// READ_VALUES_SCRIPT: words separated by blanks, one input statement per word, one item per
// letter (i = integer, r = real). A word that starts with p first writes the prompt
// "Value: ". After each statement one line shows the items' values separated by commas,
// "null" for a target the statement left untouched. The run then ends normally.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>

#include "consoleio/input.h"
#include "consoleio/output.h"
#include "runtime/error.h"
#include "runtime/startup.h"

namespace {

constexpr std::int32_t INTEGER_UNTOUCHED = std::numeric_limits<std::int32_t>::min() + 1;

void writeLine(const std::string& text) {
    beginWrite(CONSOLE_OUTPUT_UNIT, nullptr, -1);
    writeCharacter(text.data(), static_cast<int>(text.size()));
    endWrite();
}

std::string runStatement(const std::string& word) {
    std::string values;
    beginRead(CONSOLE_INPUT_UNIT);
    for (char type : word) {
        if (!values.empty()) values += ',';
        if (type == 'i') {
            std::int32_t target = INTEGER_UNTOUCHED;
            readIntegerItem(target);
            values += target == INTEGER_UNTOUCHED ? "null" : std::to_string(target);
        } else {
            float target = std::numeric_limits<float>::quiet_NaN();
            readRealItem(target);
            char text[40];
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(target));
            values += std::isnan(target) ? "null" : text;
        }
    }
    endRead();
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    const char* script = argc > 1 ? argv[1] : std::getenv("READ_VALUES_SCRIPT");
    startRuntime();
    std::istringstream words(script ? script : "");
    std::string word;
    while (words >> word) {
        if (word[0] == 'p') {
            writeLine("Value: ");
            word.erase(0, 1);
        }
        writeLine(runStatement(word));
    }
    endRun(0);
}
