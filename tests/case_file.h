// Whole-program case files (tests/cases/*.case): one run of the program each, with its
// standard input and the exact standard output, standard error and exit status expected.
//
// A case file holds free comment lines, then sections introduced by "--- stdin",
// "--- stdout", "--- stderr" and "--- status", and optionally "--- file size limit" (a
// number of bytes: standard output is then a file under that limit). Each stdin line gets
// LF appended, each stdout and stderr line CR LF. Escapes: \\ \r \n \t \xHH, and \z at
// the end of a line drops its terminator. A section "--- stdout closed" (empty) runs the
// program with nobody reading its standard output. A section "--- comspec" (Windows cases)
// holds the value COMSPEC has when the program starts, an empty line meaning unset.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct CaseFile {
    std::string name;  // the file's name without its extension
    std::string input, out, err;
    int status = 0;
    long fileSizeLimit = -1;  // -1: standard output is a pipe
    bool outputClosed = false;
    bool setsComspec = false;
    std::string comspec;
};

CaseFile readCaseFile(const std::filesystem::path& path);

// The .case files of `folders` (a missing folder has none), in the order of their names.
std::vector<CaseFile> readCaseFiles(const std::vector<std::filesystem::path>& folders);
