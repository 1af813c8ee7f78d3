// What `run` and `study` share: the quantities asked for by name, a row of the summary per
// run, and the progress bar on a terminal.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kit/derived.h"
#include "kit/provenance.h"
#include "kit/render.h"
#include "kit/results.h"
#include "kit/runner.h"

namespace kit {

extern const char* const VERSION;

// Each of `names` a known name (names.h); otherwise false, with `error` naming the nearest.
bool checkQuantityNames(const std::vector<std::string>& names, std::string& error);

// Runs the program on `answers` (with its read trace when the inputs are wanted) and reads
// its output, adding the inputs and the derived quantities. `error` says when the run could
// not be made or its output read.
// With `caseText`, the text of the (filled) case file `caseFile` that gave the answers, its
// strength quantities too (addCaseFileStrength).
Results runAndRead(const std::vector<std::string>& command, const std::string& answers,
                   bool withInputs, std::string& error, std::string_view caseText = {},
                   const std::string& caseFile = "", const std::vector<std::string>& wanted = {});

// Quantity `name` of `r` as a JSON value: a number where it has one, else its text (null
// when it is not there).
nlohmann::ordered_json cellJson(const Results& r, const std::string& name);

// Adds the strength quantities of the case file whose text is `caseText` to `r`, and the
// last-ply failures that `wanted` names (each a ply discount's runs of `command`).
void addCaseFileStrength(Results& r, std::string_view caseText, const std::string& caseFile,
                         const std::vector<std::string>& wanted, const std::vector<std::string>& command);

// A progress bar on standard error, drawn only when standard error is a terminal.
class Progress {
public:
    explicit Progress(std::size_t total);
    void step();
    void done();

private:
    std::mutex mutex_;
    std::size_t total_, count_ = 0;
    int drawn_ = -1;
    bool shown_;
};

}  // namespace kit
