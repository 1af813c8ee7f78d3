// What `run` and `study` share: the quantities asked for by name, a row of the summary per
// run, and the progress bar on a terminal.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "kit/derived.h"
#include "kit/render.h"
#include "kit/results.h"

namespace kit {

// Adds the inputs (from pairing runs of `answers`) and the derived quantities to `r`; with
// the text of the case file that gave the answers, its strength quantities too.
void addInputsAndDerived(Results& r, const std::string& answers, bool withInputs,
                         const std::vector<std::string>& command, std::string_view caseText = {},
                         const std::string& caseFile = "");

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
