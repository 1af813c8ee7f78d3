#include "kit/batch.h"

#include <cstdio>
#include <cstdlib>

#include "kit/derived.h"
#include "kit/names.h"
#include "kit/process.h"
#include "kit/runner.h"
#include "kit/strength.h"

namespace kit {

bool checkQuantityNames(const std::vector<std::string>& names, std::string& error) {
    for (const std::string& n : names) {
        if (isQuantityName(n) || isStrengthQuantityName(n)) continue;
        error = "-q " + n + ": no quantity has this name (doc/names.md)";
        std::vector<std::string> near = nearestNames(n);
        for (std::size_t i = 0; i < near.size(); ++i)
            error += (i == 0 ? "; the nearest: " : ", ") + near[i];
        return false;
    }
    return true;
}

nlohmann::ordered_json cellJson(const Results& r, const std::string& name) {
    const Quantity* q = r.find(name);
    if (q == nullptr) return nullptr;
    if (q->value) return *q->value;
    if (q->kind == QuantityKind::Input) return q->answer;
    return q->text;
}

Progress::Progress(std::size_t total) : total_(total), shown_(isTerminal(2) && total > 1) {}

void Progress::step() {
    if (!shown_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
    int width = 40;
    int filled = static_cast<int>(count_ * width / total_);
    if (filled == drawn_ && count_ != total_ && count_ % 16 != 0) return;
    drawn_ = filled;
    std::fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                 std::string(width - filled, ' ').c_str(), count_, total_);
    std::fflush(stderr);
}

void Progress::done() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%*s\r", 60, "");
    std::fflush(stderr);
}

}  // namespace kit
