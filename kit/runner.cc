#include "kit/runner.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <fstream>
#include <sstream>
#include <thread>

#include "kit/derived.h"
#include "kit/discount.h"
#include "kit/strength.h"
#include "kit/render.h"

namespace kit {

std::vector<std::string> programCommand(const std::string& program) {
    std::vector<std::string> command;
    if (const char* emulator = std::getenv("LAMVIS2_EMULATOR"); emulator && *emulator) {
        std::istringstream words(emulator);
        for (std::string w; words >> w;) command.push_back(w);
    }
    std::string path = program;
    if (path.empty())
        if (const char* p = std::getenv("LAMVIS2_PROGRAM"); p && *p) path = p;
    if (path.empty()) {
        std::string dir = executableDirectory();
        if (!dir.empty()) {
            std::string beside = dir + "/" + programFileName();
            if (std::ifstream(beside).good()) path = beside;
        }
    }
    if (path.empty()) path = programFileName();
    command.push_back(path);
    return command;
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

void forEach(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& work) {
    if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
    if (jobs > count) jobs = static_cast<unsigned>(count);
    if (jobs <= 1) {
        for (std::size_t i = 0; i < count; ++i) work(i);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < jobs; ++t)
        threads.emplace_back([&] {
            for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
        });
    for (std::thread& t : threads) t.join();
}

namespace {
std::atomic<unsigned long long> traceCount{0};
}  // namespace

TraceFile::TraceFile() {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = ".";
    // Drawn for each file, not once a process: processes forked from one (a pool of
    // workers) must not share names.
    std::random_device entropy;
    const unsigned long long drawn = (static_cast<unsigned long long>(entropy()) << 32) ^ entropy();
    path_ = (dir / ("lamvis2-kit-" + std::to_string(drawn) + "-" + std::to_string(traceCount++) +
                    ".trace")).string();
}

TraceFile::~TraceFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

Environment TraceFile::environment() const { return {std::string(READ_TRACE_VARIABLE) + "=" + path_}; }

std::string TraceFile::contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

InputPairing pairTracedRun(const std::string& answers, const ProcessResult& run,
                           const std::string& trace) {
    InputPairing pairing;
    std::vector<TracedRead> reads;
    if (!parseReadTrace(trace, reads, pairing.error)) return pairing;
    return pairInputs(answerLines(answers), run.out, reads, wantedInput(run.status, run.err));
}

AnsweredRun runAnswers(const std::vector<std::string>& command, const std::string& answers) {
    AnsweredRun result;
    TraceFile trace;
    result.run = runCaptured(command, answers, trace.environment());
    if (!result.run.error.empty()) return result;
    result.pairing = pairTracedRun(answers, result.run, trace.contents());
    return result;
}

RunProgram programRunner(const std::vector<std::string>& command) {
    return [command](const std::string& answers) {
        ProcessResult r = runCaptured(command, answers);
        return ProgramRun{r.status, std::move(r.out), std::move(r.err), std::move(r.error)};
    };
}

void addCaseFileStrength(Results& r, std::string_view caseText, const std::string& caseFile,
                         const std::vector<std::string>& wanted, const std::vector<std::string>& command) {
    addCaseStrength(r, caseText, caseFile);
    addLastPly(r, caseText, caseFile, wanted, programRunner(command));
}

Results runAndRead(const std::vector<std::string>& command, const std::string& answers,
                   bool withInputs, std::string& error, std::string_view caseText,
                   const std::string& caseFile, const std::vector<std::string>& wanted, bool* runFailed) {
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
    if (runFailed) *runFailed = !run.error.empty();
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

}  // namespace kit
