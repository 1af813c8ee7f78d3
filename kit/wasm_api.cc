// The kit's library as a WebAssembly reactor for the browser page (web/src/kit.js): a small
// C ABI, bytes in and the JSON of `lamvis2-kit read --json`, `strength --json` and
// `case --json` out, so that the page reads a run, names its numbers and derives quantities,
// strength included, with the kit's own code. Built only for
// WASI (kit/CMakeLists.txt); no exceptions there, and no file or process calls.
//
// The page runs the program once and sees each read of standard input; where the command
// line pairs the answers with their prompts by running the program on each prefix of the
// answer file, the page has those runs' outputs already: the run on the first k lines stops
// at the read that asks for line k + 1, having printed what this run had printed when it
// asked for it. So the caller gives, for each k, how much standard output there was when
// line k + 1 was asked for (or -1: never asked, the run ended before).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "kit/case_file.h"
#include "kit/derived.h"
#include "kit/inputs.h"
#include "kit/render.h"
#include "kit/results.h"
#include "kit/strength.h"

namespace {

std::string result;

// JSON as the command line writes it; a text that is not UTF-8 (an answer line of other bytes)
// gets the replacement character, where the command line would stop.
std::string dump(const nlohmann::ordered_json& j) {
    return j.dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string_view bytes(const char* at, std::int32_t size) {
    return size <= 0 || at == nullptr ? std::string_view() : std::string_view(at, size);
}

// The prefix runs that one observed run stands for: `asked[k]` the length of standard output
// when line k + 1 was asked for, -1 when it never was (k = 0 .. lines; asked[lines] is the
// read after the last line, which met the end of the input).
std::vector<kit::PrefixRun> prefixRuns(std::string_view out, const std::int32_t* asked,
                                       std::size_t count) {
    std::vector<kit::PrefixRun> runs(count);
    for (std::size_t k = 0; k < count; ++k) {
        bool wanted = asked[k] >= 0 && static_cast<std::size_t>(asked[k]) <= out.size();
        runs[k].wantedInput = wanted;
        runs[k].out = std::string(wanted ? out.substr(0, asked[k]) : out);
    }
    return runs;
}

// The kit's reading of a run (see kit_read), or nullopt with `result` set to the error.
std::optional<kit::Results> readRun(const char* out, std::int32_t outSize, const char* err,
                                    std::int32_t errSize, std::int32_t status, const char* answers,
                                    std::int32_t answersSize, const std::int32_t* asked,
                                    std::int32_t askedCount, const char* name, std::int32_t nameSize) {
    std::string_view outText = bytes(out, outSize);
    std::optional<std::string_view> errText;
    if (errSize >= 0) errText = bytes(err, errSize);
    std::optional<int> exitStatus;
    if (status >= 0) exitStatus = status;
    kit::Results r = kit::readResults(std::string(bytes(name, nameSize)), outText, errText, exitStatus);
    if (!r.ok()) {
        nlohmann::ordered_json j;
        j["error"] = r.error;
        j["line"] = r.errorLine;
        result = dump(j);
        return std::nullopt;
    }
    if (askedCount > 0) {
        std::vector<std::string> lines = kit::answerLines(bytes(answers, answersSize));
        std::vector<kit::PrefixRun> runs = prefixRuns(outText, asked, askedCount);
        kit::InputPairing pairing;
        if (runs.size() == lines.size() + 1) pairing = kit::pairInputs(lines, runs);
        else pairing.error = "one read position for each line and one after the last is needed";
        if (!pairing.error.empty()) {
            r.warnings.push_back("the inputs are not known: " + pairing.error);
        } else {
            for (kit::Quantity& q : pairing.inputs) r.quantities.push_back(std::move(q));
            if (pairing.endedEarly)
                r.warnings.push_back("the answers end while the program still asks");
            if (pairing.unusedLines > 0)
                r.warnings.push_back(std::to_string(pairing.unusedLines) +
                                     " line(s) after the run's end are not read");
        }
    }
    for (kit::Quantity& q : kit::deriveQuantities(r)) r.quantities.push_back(std::move(q));
    return r;
}

std::uint32_t failWith(const std::string& why) {
    nlohmann::ordered_json j;
    j["error"] = why;
    result = dump(j);
    return static_cast<std::uint32_t>(result.size());
}

}  // namespace

extern "C" {

// Memory for the caller's bytes, and its release.
__attribute__((export_name("kit_alloc"))) void* kit_alloc(std::uint32_t size) {
    return std::malloc(size == 0 ? 1 : size);
}
__attribute__((export_name("kit_free"))) void kit_free(void* at) { std::free(at); }

// The last call's result: its address and its length in bytes.
__attribute__((export_name("kit_result"))) const char* kit_result() { return result.data(); }
__attribute__((export_name("kit_result_size"))) std::uint32_t kit_result_size() {
    return static_cast<std::uint32_t>(result.size());
}

// `lamvis2-kit read --json` of a run: `out` what it wrote to standard output; `err` to
// standard error (errSize < 0: not known); `status` its exit status (< 0: not known);
// `answers` the lines it was given, with `asked` (askedCount = lines + 1 entries, see
// prefixRuns) where it asked for each; askedCount 0: no answers, a results file alone.
// Returns the result's length; the JSON, or {"error": ..., "line": N} for a file that is
// not a results file, is at kit_result().
__attribute__((export_name("kit_read"))) std::uint32_t kit_read(
        const char* out, std::int32_t outSize, const char* err, std::int32_t errSize,
        std::int32_t status, const char* answers, std::int32_t answersSize,
        const std::int32_t* asked, std::int32_t askedCount, const char* name,
        std::int32_t nameSize) {
    std::optional<kit::Results> r = readRun(out, outSize, err, errSize, status, answers, answersSize,
                                            asked, askedCount, name, nameSize);
    if (r) result = dump(kit::toJson(*r));
    return kit_result_size();
}

// `lamvis2-kit strength --json` of a run (the arguments of kit_read) with `strengths`, a
// strengths file (TOML: a [[set]] table a set, in order), `criteria` a list as --criteria
// takes it ("all", "tsai-wu,hashin") and `factor` the load factor (not a number: none).
// {"error": ...} when there are no strength numbers, and why.
__attribute__((export_name("kit_strength"))) std::uint32_t kit_strength(
        const char* out, std::int32_t outSize, const char* err, std::int32_t errSize,
        std::int32_t status, const char* answers, std::int32_t answersSize,
        const std::int32_t* asked, std::int32_t askedCount, const char* name,
        std::int32_t nameSize, const char* strengths, std::int32_t strengthsSize,
        const char* criteria, std::int32_t criteriaSize, double factor) {
    std::optional<kit::Results> r = readRun(out, outSize, err, errSize, status, answers, answersSize,
                                            asked, askedCount, name, nameSize);
    if (!r) return kit_result_size();
    std::string bad;
    std::optional<std::vector<kit::Criterion>> list = kit::criteriaNamed(bytes(criteria, criteriaSize), bad);
    if (!list) return failWith("unknown criterion \"" + bad + "\"");
    std::string error;
    std::optional<kit::StrengthsFile> file = kit::readStrengths(bytes(strengths, strengthsSize), "strengths", error);
    if (!file) return failWith(error);
    if (r->end.report && !r->find("ply[1].sigma-1"))
        return failWith("the run ended in its report: " + kit::oneLine(*r->end.report));
    std::string why;
    std::optional<kit::Laminate> laminate = kit::laminateOf(*r, why);
    if (!laminate) return failWith(why);
    std::vector<int> plySets;
    for (const kit::LayupPly& p : laminate->plies) plySets.push_back(p.set);
    if (std::string missing = kit::missingStrengths("strengths", file->sets, plySets); !missing.empty())
        return failWith(missing);
    kit::StrengthOptions options;
    options.criteria = *list;
    if (std::isfinite(factor)) options.factor = factor;
    kit::StrengthReport report = kit::strengthOf(*r, *laminate, kit::caseStrengths(file->sets), options);
    if (!report.ok()) return failWith(report.error);
    for (kit::Quantity& q : report.quantities) r->quantities.push_back(std::move(q));
    result = dump(kit::toJson(*r));
    return kit_result_size();
}

// `lamvis2-kit case --json` of the case file `text` (TOML), called `name` in messages: the
// case as the kit reads it, its answers included; {"error": "NAME:LINE: what"} when it breaks
// a rule of the case format. Returns the result's length.
__attribute__((export_name("kit_case"))) std::uint32_t kit_case(const char* text, std::int32_t size,
                                                                const char* name,
                                                                std::int32_t nameSize) {
    std::string error;
    std::optional<kit::CaseFile> c = kit::readCase(bytes(text, size), std::string(bytes(name, nameSize)), error);
    nlohmann::ordered_json j;
    if (c) j = kit::toJson(*c);
    else j["error"] = error;
    result = dump(j);
    return kit_result_size();
}

}  // extern "C"
