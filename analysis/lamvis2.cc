// The analysis session. For now it writes the banner; the phases follow.
#include "analysis/lamvis2.h"

#include <cstring>

#include "consoleio/output.h"

namespace {

void writeText(const char* text) {
    beginWrite(CONSOLE_OUTPUT_UNIT, nullptr, 0);
    writeCharacter(text, static_cast<int>(std::strlen(text)));
    endWrite();
}

}  // namespace

void AnalysisSession::run() {
    writeText("Viscoelastic laminate code, rev 9/11/99");
    beginWrite(CONSOLE_OUTPUT_UNIT, nullptr, 0);
    endWrite();
}
