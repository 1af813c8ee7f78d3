// The pause prompt with its command escape.
#pragma once

constexpr int PAUSE_LINE_LENGTH = 128;

// Shows `text` (or the default prompt when `text` is nullptr), reads the answer and runs
// it through the command interpreter when it is a command.
void pauseForInput(int length, const char* text);

// Reads the answer into `buffer`; returns its length without the line end.
int readPauseLine(char* buffer, int capacity);

// Runs a command line and waits for it.
void runCommandLine(const char* commandLine);
