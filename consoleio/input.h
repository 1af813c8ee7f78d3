// List-directed console input: input statements of one item, the console record reader,
// the value scanner and the integer and real conversions.
#pragma once

#include <cstdint>

constexpr int TOKEN_CAPACITY = 260;

// The console's default input unit.
constexpr int CONSOLE_INPUT_UNIT = -34001;

void beginRead(int unit);
int readIntegerItem(std::int32_t& target);
int readRealItem(float& target);
int endRead();

// Takes the next byte through the console input connection, as an input statement takes
// it (reading a new record when the buffer is used up; end of input raises F6501).
char takeConsoleByte();

// Resets the console reader's process-wide state; for tests.
void resetConsoleInput();
