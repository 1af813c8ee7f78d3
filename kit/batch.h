// What `run` and `study` share: the quantities asked for by name, a row of the summary per
// run, and the progress bar on a terminal.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "kit/results.h"

namespace kit {

// Whether any of `names` is an input or a quantity derived from the inputs: those need the
// pairing runs of the answer file (runner.h), the others only the results.
bool needsInputs(const std::vector<std::string>& names);

// Adds the inputs (from pairing runs of `answers`) and the derived quantities to `r`.
void addInputsAndDerived(Results& r, const std::string& answers, bool withInputs,
                         const std::vector<std::string>& command);

// The text of quantity `name` in `r` as a summary cell ("" when it is not there).
std::string cell(const Results& r, const std::string& name);

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
