// Processor time of the kit's strength of one run, in process: every criterion at the three
// faces of every ply, the first-ply failures and the quantities, from the results already
// read (the mean over many repetitions, from the process's processor clock).
//   kit_strength_bench CASE RESULTS [REPETITIONS]
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "kit/case_file.h"
#include "kit/laminate_case.h"
#include "kit/results.h"
#include "kit/strength.h"

static std::string slurp(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kit_strength_bench CASE RESULTS [REPETITIONS]\n");
        return 2;
    }
    std::string error;
    std::optional<kit::CaseFile> c = kit::readCase(slurp(argv[1]), argv[1], error);
    std::optional<kit::Laminate> lam = c ? kit::laminateOfCase(*c) : std::nullopt;
    if (!lam) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.empty() ? "no laminate" : error.c_str());
        return 2;
    }
    kit::Results r = kit::readResults(argv[2], slurp(argv[2]));
    kit::SetStrengths strengths = kit::caseStrengths(c->sets);
    const int repetitions = argc > 3 ? std::atoi(argv[3]) : 2000;
    std::size_t quantities = 0;
    std::clock_t start = std::clock();
    for (int i = 0; i < repetitions; ++i) {
        kit::StrengthReport rep = kit::strengthOf(r, *lam, strengths, kit::StrengthOptions{});
        if (!rep.ok()) {
            std::fprintf(stderr, "%s: %s\n", argv[2], rep.error.c_str());
            return 1;
        }
        quantities += rep.quantities.size();
    }
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC / repetitions;
    std::printf("strength of %s: %zu plies, 6 criteria, 3 faces, %zu quantities\n", argv[1],
                lam->plies.size(), quantities / repetitions);
    std::printf("strength: %8.1f us of processor time (mean of %d)\n", seconds * 1e6, repetitions);
    return 0;
}
