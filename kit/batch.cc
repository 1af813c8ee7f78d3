#include "kit/batch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kit/derived.h"
#include "kit/names.h"
#include "kit/process.h"
#include "kit/runner.h"
#include "kit/strength.h"
#include "kit/strength_runs.h"

namespace kit {

void addCaseFileStrength(Results& r, std::string_view caseText, const std::string& caseFile,
                         const std::vector<std::string>& wanted, const std::vector<std::string>& command) {
    addCaseStrength(r, caseText, caseFile);
    addLastPly(r, caseText, caseFile, wanted, command);
}

Provenance provenanceOf(const std::vector<std::string>& command) {
    Provenance p;
    p.kit = VERSION;
    namespace fs = std::filesystem;
    std::string program = command.empty() ? "" : command.back();
    fs::path found;
    std::error_code ec;
    if (program.find_first_of("/\\") != std::string::npos) {
        found = program;
    } else if (const char* path = std::getenv("PATH")) {
        // A bare name is looked for along the path, as the run finds it.
        std::string dirs = path;
#ifdef _WIN32
        const char separator = ';';
#else
        const char separator = ':';
#endif
        for (std::size_t start = 0; start <= dirs.size();) {
            std::size_t end = dirs.find(separator, start);
            if (end == std::string::npos) end = dirs.size();
            fs::path candidate = fs::path(dirs.substr(start, end - start)) / program;
            if (fs::is_regular_file(candidate, ec)) {
                found = candidate;
                break;
            }
            start = end + 1;
        }
    }
    if (!found.empty()) {
        fs::path absolute = fs::absolute(found, ec);
        p.program = (ec ? found : absolute).lexically_normal().string();
        std::ifstream in(found, std::ios::binary);
        if (in) {
            Sha256 digest;
            char buf[65536];
            while (in.read(buf, sizeof buf) || in.gcount() > 0)
                digest.update(std::string_view(buf, static_cast<std::size_t>(in.gcount())));
            p.programSha256 = digest.hexDigest();
        }
    } else {
        p.program = program;
    }
    return p;
}

nlohmann::ordered_json toJson(const Provenance& p) {
    nlohmann::ordered_json j;
    j["kit"] = p.kit;
    j["program"] = {{"path", p.program}, {"sha256", p.programSha256}};
    return j;
}

const std::vector<std::string> PROVENANCE_COLUMNS = {"sha256", "complete", "warnings", "kit",
                                                     "program", "program_sha256"};

std::vector<std::string> provenanceCells(const Results& r, const Provenance& p) {
    std::string warnings;
    for (const std::string& w : r.warnings) warnings += (warnings.empty() ? "" : "; ") + w;
    return {r.sha256, r.sha256.empty() ? "" : r.end.complete ? "true" : "false", oneLine(warnings),
            p.kit, p.program, p.programSha256};
}

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

Results runAndRead(const std::vector<std::string>& command, const std::string& answers,
                   bool withInputs, std::string& error, std::string_view caseText,
                   const std::string& caseFile, const std::vector<std::string>& wanted) {
    Results results;
    ProcessResult run;
    InputPairing pairing;
    if (withInputs) {
        AnsweredRun answered = runAnswers(command, answers);
        run = std::move(answered.run);
        pairing = std::move(answered.pairing);
    } else {
        run = runCaptured(command, answers);
    }
    if (!run.error.empty()) {
        error = run.error;
        return results;
    }
    results = readResults("", run.out, run.err, run.status);
    if (!results.ok()) {
        error = "the program's output is not a results file: " + results.error;
        return results;
    }
    if (withInputs) {
        if (pairing.error.empty())
            for (Quantity& q : pairing.inputs) results.quantities.push_back(std::move(q));
        else
            results.warnings.push_back(pairing.error);
    }
    for (Quantity& q : deriveQuantities(results)) results.quantities.push_back(std::move(q));
    if (withInputs && !caseText.empty()) addCaseFileStrength(results, caseText, caseFile, wanted, command);
    return results;
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
