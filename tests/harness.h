// Runs a program as a child process, for whole-program tests: through pipes (standard
// input from a string, standard output and standard error captured apart) or through a
// pseudo-terminal (standard input, output and error all on the terminal).
#pragma once

#include <string>
#include <vector>

struct RunResult {
    std::string out;   // standard output (with a terminal: everything the terminal showed)
    std::string err;   // standard error (empty with a terminal)
    int status = -1;   // exit status, or 128 + signal number when a signal ended it
    bool timedOut = false;
};

// Runs `command` (the program and its arguments, searched along PATH) with `input` on a
// pipe as standard input (written whole, then closed). With `outputClosed` standard output
// is a pipe that nobody reads: its read end is closed before the program starts.
RunResult runWithPipes(const std::vector<std::string>& command, const std::string& input,
                       double timeoutSeconds = 20.0, bool outputClosed = false);

// Runs `program` with `input` on a pipe and standard output to a regular file that may
// not grow beyond `fileSizeLimit` bytes (a file-size limit); `out` is the file's content.
RunResult runWithOutputFile(const std::vector<std::string>& command, const std::string& input,
                            long fileSizeLimit, double timeoutSeconds = 20.0);

// Runs `command` with standard input and output on pipes, as a front end drives a dialogue:
// for each step, waits until standard output (after what the previous step awaited) shows
// `awaited`, then writes `answer` and waits for the next. After the last step standard input
// is closed. Times out if an awaited text does not come.
struct DialogueStep {
    std::string awaited;
    std::string answer;
};
RunResult runDialogue(const std::vector<std::string>& command,
                      const std::vector<DialogueStep>& steps, double timeoutSeconds = 20.0);

// Runs `command` (the program and its arguments, searched along PATH) on a pseudo-terminal
// in canonical (line) mode with echo off and output passed through untranslated. `typed` is
// written to the terminal at the start, as if typed ahead: each read of the program then
// returns one line; a Ctrl-D byte (\x04) on a line of its own makes a read return 0 bytes
// (end of input). Standard error goes to the terminal too, so `out` holds everything and
// `err` stays empty.
RunResult runWithPty(const std::vector<std::string>& command, const std::string& typed,
                     double timeoutSeconds = 20.0);

// Reads a whole file.
std::string readFile(const std::string& path);

// The program under test and the directory of test drivers, as the build configured them.
std::string programPath();

// The command that runs the program under test: the words of LAMVIS2_EMULATOR, if set (an
// emulator such as qemu-aarch64 or wine), then LAMVIS2_PROGRAM if set (a binary built for
// another platform), else programPath().
std::vector<std::string> programCommand();
std::string driverPath(const std::string& name);

// The command that runs test driver `name`: the native driver, or, with LAMVIS2_DRIVER_DIR
// set (drivers built for another platform), the words of LAMVIS2_EMULATOR and the driver
// of that folder (name.exe where there is no plain name).
std::vector<std::string> driverCommand(const std::string& name);
std::string testSourceDir();
