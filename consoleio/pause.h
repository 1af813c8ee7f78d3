// The pause prompt with its command escape.
#pragma once

class ConsoleUnits;

constexpr int PAUSE_LINE_LENGTH = 128;

// The prompt of a pause without a text.
constexpr const char* DEFAULT_PAUSE_PROMPT =
    "Pause - Please enter a blank line (to continue) or a DOS command.\r\n";

// Shows `text` (or the default prompt when `text` is nullptr), reads the answer and runs
// it through the command interpreter when it is a command of two or more characters.
void pauseForInput(ConsoleUnits& units, int length, const char* text);

// Reads the answer into `buffer`, which has room for `capacity` + 1 bytes; returns its
// length without the line end and leaves it terminated by a zero byte.
int readPauseLine(ConsoleUnits& units, char* buffer, int capacity);

// Runs a command line and waits for it.
void runCommandLine(const char* commandLine);
