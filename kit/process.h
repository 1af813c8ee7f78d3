// The kit's process layer: runs the program as a user does, a process per run, with its
// standard input from an answer file or from bytes held here, its standard output captured
// or written to a results file, and its standard error captured. The POSIX half is
// process-posix.cc, the Windows half process-win32.cc.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kit {

struct ProcessResult {
    int status = -1;    // exit status (POSIX: 128 + the signal that ended it)
    std::string out;    // standard output, when captured
    std::string err;    // standard error
    std::string error;  // the run could not be made (empty when it was)
};

// Variables given to the run beside the kit's own ("NAME=value" each; one of the kit's own
// of the same name is replaced).
using Environment = std::vector<std::string>;

// Runs `command` (program first) with `input` as its standard input through a pipe,
// capturing standard output and standard error.
ProcessResult runCaptured(const std::vector<std::string>& command, std::string_view input,
                          const Environment& environment = {});

// Runs `command` with standard input read from the file `inputPath` and standard output
// written to the file `outputPath` (created or emptied), capturing standard error: the
// results file is the bytes of `program < input > output`.
ProcessResult runWithFiles(const std::vector<std::string>& command, const std::string& inputPath,
                           const std::string& outputPath, const Environment& environment = {});

// The folder of the running executable ("" when it cannot be told).
std::string executableDirectory();

// The program's file name on this platform ("lamvis2", or "lamvis2.exe").
std::string programFileName();

bool isTerminal(int descriptor);

// Standard output takes the kit's bytes as they are (Windows would otherwise write CR LF for
// each line end), so that its output is the same on every platform; standard input gives
// its bytes as they are.
void binaryStandardOutput();

}  // namespace kit
