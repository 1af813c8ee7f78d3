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

// Quantity `name` of `r` as a JSON value: a number where it has one, else its text (null
// when it is not there).
nlohmann::ordered_json cellJson(const Results& r, const std::string& name);

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
