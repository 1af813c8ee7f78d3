// The kit's library as a WebAssembly reactor for the browser page (web/src/kit.js): a small
// C ABI, bytes in and the JSON of `lamvis2-kit read --json`, `strength --json` and
// `case --json` out, so that the page reads a run, names its numbers and derives quantities,
// strength included, with the kit's own code. Built only for
// WASI (kit/CMakeLists.txt); no exceptions there, and no file or process calls.
//
// The page runs the program once and sees each read of standard input, as the command line
// sees them in the program's read trace (kit/inputs.h): the caller gives, for each k, how
// much standard output there was when line k + 1 was asked for (or -1: never asked, the run
// ended before).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "kit/case_file.h"
#include "kit/derived.h"
#include "kit/discount.h"
#include "kit/envelope.h"
#include "kit/laminate_case.h"
#include "kit/inputs.h"
#include "kit/render.h"
#include "kit/results.h"
#include "kit/strength.h"

namespace {

std::string result;

// JSON as the command line writes it.
std::string dump(const nlohmann::ordered_json& j) { return kit::jsonText(j); }

std::string_view bytes(const char* at, std::int32_t size) {
    return size <= 0 || at == nullptr ? std::string_view() : std::string_view(at, size);
}

// The reads that one observed run stands for, as a read trace: `asked[k]` the length of
// standard output when line k + 1 was asked for, -1 when it never was (k = 0 .. lines;
// asked[lines] is the read after the last line, which met the end of the input). The page
// does not see read statements: the lines asked for at one length of output are taken as
// one statement's (the lines before the last, empty ones it skipped), as a run on each
// prefix of the answers would show them.
std::vector<kit::TracedRead> tracedReads(const std::int32_t* asked, std::size_t count) {
    std::vector<kit::TracedRead> reads;
    long long statement = 0, last = -1;
    for (std::size_t k = 0; k < count && asked[k] >= 0; ++k) {
        if (asked[k] != last) ++statement;
        last = asked[k];
        reads.push_back({statement, asked[k], static_cast<long long>(k + 1)});
    }
    return reads;
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
        kit::InputPairing pairing;
        if (static_cast<std::size_t>(askedCount) == lines.size() + 1)
            pairing = kit::pairInputs(lines, outText, tracedReads(asked, askedCount),
                                      asked[lines.size()] >= 0);
        else
            pairing.error = "one read position for each line and one after the last is needed";
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

// The laminate of a run's inputs, where the run printed its ply stresses; nullopt with
// `result` set to the error.
std::optional<kit::Laminate> runLaminate(const kit::Results& r) {
    if (r.end.report && !r.find("ply[1].sigma-1"))
        return failWith("the run ended in its report: " + kit::oneLine(*r.end.report)), std::nullopt;
    std::string why;
    std::optional<kit::Laminate> laminate = kit::laminateOf(r, why);
    if (!laminate) return failWith(why), std::nullopt;
    return laminate;
}

struct StrengthSetup {
    kit::Laminate laminate;
    std::vector<kit::Criterion> criteria;
    kit::StrengthsFile file;
};

// The laminate of a run (its inputs), the strengths file's sets and the criteria, checked as
// the command line checks them; nullopt with `result` set to the error.
std::optional<StrengthSetup> strengthSetup(const kit::Results& r, std::string_view strengths,
                                           std::string_view criteria) {
    StrengthSetup out;
    std::string bad;
    std::optional<std::vector<kit::Criterion>> list = kit::criteriaNamed(criteria, bad);
    if (!list) return failWith("unknown criterion \"" + bad + "\""), std::nullopt;
    out.criteria = *list;
    std::string error;
    std::optional<kit::StrengthsFile> file = kit::readStrengths(strengths, "strengths", error);
    if (!file) return failWith(error), std::nullopt;
    out.file = *file;
    std::optional<kit::Laminate> laminate = runLaminate(r);
    if (!laminate) return std::nullopt;
    out.laminate = *laminate;
    std::vector<int> plySets;
    for (const kit::LayupPly& p : laminate->plies) plySets.push_back(p.set);
    if (std::string missing = kit::missingStrengths("strengths", file->sets, plySets); !missing.empty())
        return failWith(missing), std::nullopt;
    return out;
}

// An envelope in the making: the laminate, its strengths, the plane and its directions, the
// run under the loads held fixed (when any), and the points found so far. The caller runs
// the program on each answer file that kit_envelope_start gives and hands each run back.
struct EnvelopeJob {
    kit::Laminate laminate;
    kit::SetStrengths strengths;
    std::vector<kit::Criterion> criteria;
    kit::EnvelopePlane plane;
    int points = 72;
    double scale = 1;
    std::array<double, 6> fixed{};
    std::optional<kit::DerivedStresses> base;
    std::vector<std::vector<kit::EnvelopePoint>> found;  // per direction
};
std::optional<EnvelopeJob> envelope;

// The ply states of a run of `laminate` that the caller has made, read as the library reads
// its own runs (laminateRun), the run handed over rather than started.
std::optional<kit::DerivedStresses> statesOf(const kit::Laminate& laminate, std::string_view out,
                                             std::string_view err, int status, std::string& why) {
    kit::ProgramRun made;
    made.status = status;
    made.out = std::string(out);
    made.err = std::string(err);
    return kit::laminateRun([&](const std::string&) { return made; }, laminate, why);
}

// Last-ply failure in the making: the laminate, its strengths, the discount so far and the
// degraded laminate of the run the caller is to make.
struct LastPlyJob {
    kit::Laminate laminate;
    kit::SetStrengths strengths;
    kit::DiscountRun run;
    kit::SetStrengths extended;
    std::optional<kit::Laminate> degraded;
};
std::optional<LastPlyJob> lastPly;

// The discount's next run, {"answers": ...}, or its end: {"done": true, "text": ...,
// "quantities": [...]}, as `lamvis2-kit strength --last-ply` gives them.
std::uint32_t lastPlyNext() {
    LastPlyJob& job = *lastPly;
    nlohmann::ordered_json j;
    if (!job.run.discount.finished && job.run.error.empty()) {
        job.extended.clear();
        std::string why;
        job.degraded = kit::degradedLaminate(job.laminate, job.run.discount, job.strengths, job.extended, why);
        if (job.degraded) {
            ++job.run.runs;
            j["answers"] = kit::laminateAnswers(*job.degraded);
            result = dump(j);
            return static_cast<std::uint32_t>(result.size());
        }
        job.run.discount.stop = why;
    }
    j["done"] = true;
    j["text"] = kit::discountText(job.run);
    j["quantities"] = nlohmann::ordered_json::array();
    for (const kit::Quantity& q : kit::discountQuantities(job.run, job.laminate)) j["quantities"].push_back(kit::toJson(q));
    result = dump(j);
    return static_cast<std::uint32_t>(result.size());
}

// The laminate of direction i's run (i < 0: the loads held fixed alone).
kit::Laminate directionLaminate(const EnvelopeJob& job, int i) {
    kit::Laminate run = job.laminate;
    if (i < 0) {
        run.loads = job.fixed;
        return run;
    }
    const std::array<double, 6> scaled =
        kit::directionLoads(job.plane, kit::envelopeDirection(i, job.points), job.scale);
    for (int j = 0; j < 6; ++j) run.loads[j] = job.fixed[j] + scaled[j];
    return run;
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
    std::optional<StrengthSetup> setup = strengthSetup(*r, bytes(strengths, strengthsSize), bytes(criteria, criteriaSize));
    if (!setup) return kit_result_size();
    kit::StrengthOptions options;
    options.criteria = setup->criteria;
    if (std::isfinite(factor)) options.factor = factor;
    kit::StrengthReport report =
        kit::strengthOf(*r, setup->laminate, kit::caseStrengths(setup->file.sets), options);
    if (!report.ok()) return failWith(report.error);
    for (kit::Quantity& q : report.quantities) r->quantities.push_back(std::move(q));
    result = dump(kit::toJson(*r));
    return kit_result_size();
}

// Each ply's stresses and strains at its faces, which need no strengths: the JSON of
// kit_read with the quantities ply[k].FACE.sigma-1 ... gamma-12 of `lamvis2-kit strength
// --json` added (the same names and values, the same order). {"error": ...} when the run
// did not print its ply stresses, its inputs are not known, or they do not belong to it.
__attribute__((export_name("kit_faces"))) std::uint32_t kit_faces(
        const char* out, std::int32_t outSize, const char* err, std::int32_t errSize,
        std::int32_t status, const char* answers, std::int32_t answersSize,
        const std::int32_t* asked, std::int32_t askedCount, const char* name,
        std::int32_t nameSize) {
    std::optional<kit::Results> r = readRun(out, outSize, err, errSize, status, answers, answersSize,
                                            asked, askedCount, name, nameSize);
    if (!r) return kit_result_size();
    std::optional<kit::Laminate> laminate = runLaminate(*r);
    if (!laminate) return kit_result_size();
    kit::FaceStresses faces = kit::faceStressesOf(*r, *laminate);
    if (!faces.ok()) return failWith(faces.error);
    for (kit::Quantity& q : faces.quantities) r->quantities.push_back(std::move(q));
    result = dump(kit::toJson(*r));
    return kit_result_size();
}

// Starts an envelope of the run (the arguments of kit_strength) in the plane `plane` ("nx,ny")
// with `points` directions: {"runs": [answer file, ...]}, the answer files of the runs the
// caller makes, in order: the loads held fixed alone (when any are not zero: "base": true),
// then each direction. {"error": ...} when it cannot be made.
__attribute__((export_name("kit_envelope_start"))) std::uint32_t kit_envelope_start(
        const char* out, std::int32_t outSize, const char* err, std::int32_t errSize,
        std::int32_t status, const char* answers, std::int32_t answersSize,
        const std::int32_t* asked, std::int32_t askedCount, const char* name,
        std::int32_t nameSize, const char* strengths, std::int32_t strengthsSize,
        const char* criteria, std::int32_t criteriaSize, const char* plane,
        std::int32_t planeSize, std::int32_t points) {
    envelope.reset();
    std::optional<kit::Results> r = readRun(out, outSize, err, errSize, status, answers, answersSize,
                                            asked, askedCount, name, nameSize);
    if (!r) return kit_result_size();
    std::optional<StrengthSetup> setup = strengthSetup(*r, bytes(strengths, strengthsSize), bytes(criteria, criteriaSize));
    if (!setup) return kit_result_size();
    std::string bad;
    std::optional<kit::EnvelopePlane> p = kit::planeNamed(bytes(plane, planeSize), bad);
    if (!p) return failWith("unknown plane \"" + bad + "\" (two of nx, ny, nxy, mx, my, mxy)");
    if (points < 4 || points > 720) return failWith("the points of an envelope are 4 to 720");
    EnvelopeJob job;
    job.laminate = setup->laminate;
    job.strengths = kit::caseStrengths(setup->file.sets);
    job.criteria = setup->criteria;
    job.plane = *p;
    job.points = points;
    job.fixed = kit::fixedLoads(job.laminate.loads, job.plane);
    job.scale = kit::envelopeScale(job.laminate.loads, job.plane);
    job.found.resize(points);
    nlohmann::ordered_json j;
    j["runs"] = nlohmann::ordered_json::array();
    const bool withBase = kit::anyLoad(job.fixed);
    for (int i = withBase ? -1 : 0; i < points; ++i)
        j["runs"].push_back({{"direction", i < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(kit::envelopeDirection(i, points))},
                             {"answers", kit::laminateAnswers(directionLaminate(job, i))}});
    envelope = std::move(job);
    result = dump(j);
    return kit_result_size();
}

// One of the envelope's runs: direction `i` (-1: the loads held fixed alone) and what the
// program wrote. {} when taken; {"error": ...} when the run gives no ply states.
__attribute__((export_name("kit_envelope_run"))) std::uint32_t kit_envelope_run(
        std::int32_t i, const char* out, std::int32_t outSize, const char* err,
        std::int32_t errSize, std::int32_t status) {
    if (!envelope || i < -1 || i >= envelope->points) return failWith("no such run of an envelope");
    EnvelopeJob& job = *envelope;
    std::string why;
    std::optional<kit::DerivedStresses> states =
        statesOf(directionLaminate(job, i), bytes(out, outSize), bytes(err, errSize), status, why);
    if (!states) return failWith((i < 0 ? std::string("the loads held fixed: ") : "direction " + kit::shortest(kit::envelopeDirection(i, job.points)) + ": ") + why);
    if (i < 0) {
        job.base = std::move(states);
        result = "{}\n";
        return kit_result_size();
    }
    if (job.base)
        for (std::size_t k = 0; k < states->plies.size(); ++k)
            for (int f = 0; f < 3; ++f)
                for (int m = 0; m < 3; ++m) {
                    states->plies[k].faces[f].sigma[m] -= job.base->plies[k].faces[f].sigma[m];
                    states->plies[k].faces[f].eps[m] -= job.base->plies[k].faces[f].eps[m];
                }
    const double degrees = kit::envelopeDirection(i, job.points);
    job.found[i].clear();
    for (kit::Criterion c : job.criteria) {
        kit::FirstPly fp = kit::firstPlyFailure(job.laminate, job.strengths, c, states->plies,
                                                job.base ? &job.base->plies : nullptr);
        kit::EnvelopePoint p = kit::envelopePoint(c, job.plane, degrees, job.scale, fp.failure.factor);
        p.ply = fp.ply, p.face = fp.face, p.mode = fp.failure.mode;
        if (fp.failure.alreadyFailed)
            return failWith(std::string("the loads held fixed fail the laminate by themselves (") + kit::criterionName(c) + ")");
        job.found[i].push_back(p);
    }
    result = "{}\n";
    return kit_result_size();
}

// The envelope once every run is in: {"csv": ..., "svg": ...}, as `lamvis2-kit envelope`
// writes them, each criterion's points in order of direction.
__attribute__((export_name("kit_envelope_finish"))) std::uint32_t kit_envelope_finish(const char* title,
                                                                                      std::int32_t titleSize) {
    if (!envelope) return failWith("no envelope was started");
    std::vector<kit::EnvelopePoint> ordered;
    for (kit::Criterion c : envelope->criteria)
        for (const auto& direction : envelope->found)
            for (const kit::EnvelopePoint& p : direction)
                if (p.criterion == c) ordered.push_back(p);
    nlohmann::ordered_json j;
    j["csv"] = kit::envelopeCsv(envelope->plane, ordered);
    j["svg"] = kit::envelopeSvg(envelope->plane, ordered, envelope->laminate.loads, std::string(bytes(title, titleSize)));
    result = dump(j);
    return kit_result_size();
}

// Starts last-ply failure by ply discount for `criterion` (one name) of a run (the arguments
// of kit_strength): the first step's run, as lastPlyNext gives it.
__attribute__((export_name("kit_last_ply_start"))) std::uint32_t kit_last_ply_start(
        const char* out, std::int32_t outSize, const char* err, std::int32_t errSize,
        std::int32_t status, const char* answers, std::int32_t answersSize,
        const std::int32_t* asked, std::int32_t askedCount, const char* name,
        std::int32_t nameSize, const char* strengths, std::int32_t strengthsSize,
        const char* criterion, std::int32_t criterionSize) {
    lastPly.reset();
    std::optional<kit::Results> r = readRun(out, outSize, err, errSize, status, answers, answersSize,
                                            asked, askedCount, name, nameSize);
    if (!r) return kit_result_size();
    std::optional<StrengthSetup> setup = strengthSetup(*r, bytes(strengths, strengthsSize), bytes(criterion, criterionSize));
    if (!setup) return kit_result_size();
    if (setup->criteria.size() != 1) return failWith("last-ply failure is found for one criterion at a time");
    LastPlyJob job;
    job.laminate = setup->laminate;
    job.strengths = kit::caseStrengths(setup->file.sets);
    job.run.discount = kit::startDiscount(setup->criteria.front(), job.laminate.plies.size());
    lastPly = std::move(job);
    return lastPlyNext();
}

// The run of the step that kit_last_ply_start or the last kit_last_ply_run asked for: the
// next step's run, or the end.
__attribute__((export_name("kit_last_ply_run"))) std::uint32_t kit_last_ply_run(
        const char* out, std::int32_t outSize, const char* err, std::int32_t errSize,
        std::int32_t status) {
    if (!lastPly || !lastPly->degraded) return failWith("no last-ply failure was started");
    LastPlyJob& job = *lastPly;
    std::string why;
    std::optional<kit::DerivedStresses> states =
        statesOf(*job.degraded, bytes(out, outSize), bytes(err, errSize), status, why);
    if (!states) job.run.error = why;
    else
        kit::advanceDiscount(job.run.discount, *job.degraded, job.extended, states->plies,
                             kit::loadWork(job.laminate.loads, states->deformation));
    return lastPlyNext();
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
