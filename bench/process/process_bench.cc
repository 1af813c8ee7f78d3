// Whole-process cost of one run: the program on the largest dialogue (10 material sets,
// 20 plies, 17 rows of the relaxation table) against a bare C process that reads the same
// answers and writes the same bytes line by line. The two are started alternately, in
// pairs whose order alternates, with standard input from the answer file and standard
// output to a file, as a batch job runs them; the figures are the median wall times, their
// ratio and, when valgrind is installed, the instructions each whole process executes
// (under valgrind the program cannot enable its floating-point traps and checks the
// exception flags instead, which costs more instructions than the native run).
//
// Usage: lamvis_process_bench [PAIRS [PROGRAM]]   (default 300 pairs and the program of
// this build; another build of the program can be measured the same way)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Run {
    int status = -1;
    double seconds = 0.0;
};

// Starts `argv` with standard input from `input` and standard output (and, unless
// `errorPath` is given, standard error) to `outputPath`, and waits for it.
Run runProcess(const std::vector<std::string>& argv, const std::string& input,
               const std::string& outputPath, const char* errorPath = "/dev/null") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errorPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    if (posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Instructions of the whole process (loader and start-up included), counted by callgrind;
// -1 when valgrind is not installed or the count cannot be read.
long long instructionCount(std::vector<std::string> argv, const std::string& input,
                           const std::string& scratch) {
    const std::string report = scratch + ".valgrind";
    argv.insert(argv.begin(), {"valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"});
    if (runProcess(argv, input, "/dev/null", report.c_str()).status < 0) return -1;
    std::istringstream text(readFile(report));
    unlink(report.c_str());
    std::string line;
    long long count = -1;
    while (std::getline(text, line)) {
        const std::size_t at = line.find("Collected : ");
        if (at != std::string::npos) count = std::atoll(line.c_str() + at + 12);
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const std::string answers = BENCH_ANSWERS;
    const std::string scratch = "/tmp/lamvis_process_bench." + std::to_string(getpid());
    const std::string expectedPath = scratch + ".expected";
    const std::string outputPath = scratch + ".out";
    const std::vector<std::string> program = {argc > 2 ? argv[2] : LAMVIS2_BINARY};
    const std::vector<std::string> bare = {BARE_WRITER_BINARY, expectedPath};

    // The bytes the program writes are the bytes the bare process is to write.
    if (runProcess(program, answers, expectedPath).status != 0) {
        std::fprintf(stderr, "the program did not complete the dialogue\n");
        return 1;
    }
    const std::string expected = readFile(expectedPath);
    if (runProcess(bare, answers, outputPath).status != 0 || readFile(outputPath) != expected) {
        std::fprintf(stderr, "the bare process does not write the program's bytes\n");
        return 1;
    }

    std::vector<double> programTimes, bareTimes, ratios;
    for (int i = 0; i < pairs; ++i) {
        Run first, second;
        if (i % 2 == 0) {
            first = runProcess(program, answers, outputPath);
            second = runProcess(bare, answers, outputPath);
        } else {
            second = runProcess(bare, answers, outputPath);
            first = runProcess(program, answers, outputPath);
        }
        if (first.status != 0 || second.status != 0) {
            std::fprintf(stderr, "a run failed (status %d, %d)\n", first.status, second.status);
            return 1;
        }
        programTimes.push_back(first.seconds);
        bareTimes.push_back(second.seconds);
        ratios.push_back(first.seconds / second.seconds);
    }

    const double programMedian = median(programTimes);
    const double bareMedian = median(bareTimes);
    std::printf("whole run of the largest dialogue (%zu output bytes), %d pairs, %s\n",
                expected.size(), pairs, program[0].c_str());
    std::printf("  wall time, median:  program %8.1f us   bare process %8.1f us\n",
                programMedian * 1e6, bareMedian * 1e6);
    std::printf("  wall-time ratio:    %.2f (ratio of medians), %.2f (median of pair ratios)\n",
                programMedian / bareMedian, median(ratios));
    const long long programInstructions = instructionCount(program, answers, scratch);
    const long long bareInstructions = instructionCount(bare, answers, scratch);
    if (programInstructions < 0 || bareInstructions < 0) {
        std::printf("  instructions:       not counted (valgrind is not installed)\n");
    } else {
        std::printf("  instructions:       program %.3f M   bare process %.3f M\n",
                    static_cast<double>(programInstructions) / 1e6,
                    static_cast<double>(bareInstructions) / 1e6);
        // valgrind neither unmasks floating-point traps nor sets the exception flags.
        std::printf("                      (callgrind; valgrind cannot enable the floating-point\n"
                    "                      traps, so the program runs there with its flag checks)\n");
    }
    unlink(expectedPath.c_str());
    unlink(outputPath.c_str());
    return 0;
}
