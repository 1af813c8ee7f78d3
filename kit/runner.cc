#include "kit/runner.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

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

AnsweredRun runAnswers(const std::vector<std::string>& command, const std::string& answers,
                       unsigned jobs) {
    AnsweredRun result;
    std::vector<std::string> lines = answerLines(answers);
    // The prefixes: the first k lines, each with its line end, as the file has them.
    std::vector<std::size_t> ends = answerPrefixEnds(answers);
    std::vector<PrefixRun> runs(lines.size() + 1);
    std::vector<std::string> errors(lines.size() + 1);
    forEach(runs.size() + 1, jobs, [&](std::size_t i) {
        if (i == runs.size()) {
            result.run = runCaptured(command, answers);
            return;
        }
        ProcessResult r = runCaptured(command, std::string_view(answers).substr(0, ends[i]));
        errors[i] = r.error;
        runs[i].out = std::move(r.out);
        runs[i].wantedInput = wantedInput(r.status, r.err);
    });
    for (const std::string& e : errors)
        if (!e.empty()) {
            result.pairing.error = e;
            return result;
        }
    if (!result.run.error.empty()) return result;
    result.pairing = pairInputs(lines, runs);
    return result;
}

}  // namespace kit
