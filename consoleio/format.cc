// Placeholder until the format compiler lands.
#include "consoleio/format.h"
#include "consoleio/output.h"
#include "runtime/error.h"

CompiledFormat compileFormat(const char*, int) { return {}; }

void runFormattedItems(UnitRecord&, const CompiledFormat&, const std::vector<OutputItem>&) {
    raiseRuntimeError(ErrorCode::FormatUnsupported, StatementKind::Write);
}
