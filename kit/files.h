// Reading the kit's input files: a results file is fed to the reader in pieces, so that a
// file of any size is read in bounded memory; an answer file is read whole up to a limit.
#pragma once

#include <optional>
#include <string>

#include "kit/results.h"

namespace kit {

// Reads the results file `path` ("-" for standard input). `error` says why it could not be
// read (the file's own faults are the reader's: Results::error).
Results readResultsFile(const std::string& path, std::string& error,
                        std::optional<std::string_view> stderrText = std::nullopt,
                        std::optional<int> exitStatus = std::nullopt);

// The whole of a file of at most `limit` bytes; nullopt, with `error` set, otherwise.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit, std::string& error);

// The answers of `path`: the bytes of an answer file, or of a case file (`isCaseFile`) the
// answers it writes (or those of the answer file it names, relative to it). nullopt, with
// `error` ("FILE:LINE: what" for a bad case), when there are none.
std::optional<std::string> readAnswers(const std::string& path, std::string& error);

// The same for a case file's text already read (a study's filled template).
std::optional<std::string> caseFileAnswers(const std::string& path, std::string_view text,
                                           std::string& error);

// Whether the kit takes `path` as a case file rather than an answer file: its extension is
// .toml.
bool isCaseFile(const std::string& path);

bool writeFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace kit
