// What the Windows floating-point layer's exception handler is made of, for another handler
// of the same exceptions (the fuzz guard's): which exceptions are floating point, the
// program's code of one, and resuming the interrupted arithmetic.
#pragma once

#include <windows.h>

// Whether a structured exception is one of the floating-point units'.
bool isFloatingPointException(DWORD code);

// The code of a floating-point structured exception (0: a kind the program has no code
// for). Exceptions of the SSE unit may arrive as "multiple traps"; the unmasked flags of
// the interrupted control register tell which.
int exceptionCodeOf(const EXCEPTION_RECORD& record, const CONTEXT& context);

// Lets the interrupted arithmetic go on with the default result: an SSE instruction that
// trapped runs again when the handler returns, so its exceptions must no longer trap; the
// x87 unit's pending flags are cleared and its trapped exceptions masked likewise.
void quietInterruptedArithmetic(CONTEXT& context);
