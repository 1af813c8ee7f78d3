#include "kit/batch.h"

#include <cstdio>

#include "kit/derived.h"
#include "kit/process.h"
#include "kit/render.h"
#include "kit/runner.h"

namespace kit {

bool needsInputs(const std::vector<std::string>& names) {
    static const char* const FROM_INPUTS[] = {"thickness", "Ex", "Ey", "Gxy", "Efx", "Efy", "Gfxy"};
    for (const std::string& n : names) {
        for (const char* d : FROM_INPUTS)
            if (n == d) return true;
        bool printed = n.rfind("stiffness[", 0) == 0 || n.rfind("compliance[", 0) == 0 ||
                       n.rfind("eps-", 0) == 0 || n.rfind("kappa-", 0) == 0 ||
                       n.rfind("relaxation[", 0) == 0 || n == "nuxy" || n == "nuyx" ||
                       (n.rfind("ply[", 0) == 0 && n.find("].sigma-") != std::string::npos) ||
                       (n.rfind("ply[", 0) == 0 && n.find("].number") != std::string::npos);
        if (!printed) return true;
    }
    return false;
}

void addInputsAndDerived(Results& r, const std::string& answers, bool withInputs,
                         const std::vector<std::string>& command) {
    if (withInputs) {
        AnsweredRun run = runAnswers(command, answers);
        if (run.pairing.error.empty())
            for (Quantity& q : run.pairing.inputs) r.quantities.push_back(std::move(q));
        else
            r.warnings.push_back(run.pairing.error);
    }
    for (Quantity& q : deriveQuantities(r)) r.quantities.push_back(std::move(q));
}

std::string cell(const Results& r, const std::string& name) {
    const Quantity* q = r.find(name);
    if (q == nullptr) return "";
    if (q->kind == QuantityKind::Printed) return q->text;
    if (q->kind == QuantityKind::Input) return q->answer;
    return q->value ? shortest(*q->value) : q->text;
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
