#include "kit/batch.h"

#include <cstdio>

#include "kit/derived.h"
#include "kit/process.h"
#include "kit/runner.h"
#include "kit/strength.h"

namespace kit {

void addInputsAndDerived(Results& r, const std::string& answers, bool withInputs,
                         const std::vector<std::string>& command, std::string_view caseText,
                         const std::string& caseFile) {
    if (withInputs) {
        AnsweredRun run = runAnswers(command, answers, 1);
        if (run.pairing.error.empty())
            for (Quantity& q : run.pairing.inputs) r.quantities.push_back(std::move(q));
        else
            r.warnings.push_back(run.pairing.error);
    }
    for (Quantity& q : deriveQuantities(r)) r.quantities.push_back(std::move(q));
    if (withInputs && !caseText.empty()) addCaseStrength(r, caseText, caseFile);
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
