// Placeholder until console input lands.
#include "consoleio/input.h"
#include "runtime/error.h"

void beginRead(int) {}
int readIntegerItem(std::int32_t&) { raiseRuntimeError(ErrorCode::EndOfFile, StatementKind::Read); }
int readRealItem(float&) { raiseRuntimeError(ErrorCode::EndOfFile, StatementKind::Read); }
int endRead() { return 0; }
char takeConsoleByte() { raiseRuntimeError(ErrorCode::EndOfFile, StatementKind::Read); }
void resetConsoleInput() {}
