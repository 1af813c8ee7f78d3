// Processor time of the kit's read and compare of one results file, in process: the mean
// over many repetitions, from the process's processor clock.
//   kit_reader_bench RESULTS [REPETITIONS]
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "kit/compare.h"
#include "kit/results.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kit_reader_bench RESULTS [REPETITIONS]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int repetitions = argc > 2 ? std::atoi(argv[2]) : 2000;
    std::size_t numbers = 0;
    std::clock_t start = std::clock();
    for (int i = 0; i < repetitions; ++i) numbers += kit::readResults(argv[1], bytes).quantities.size();
    double readSeconds = double(std::clock() - start) / CLOCKS_PER_SEC / repetitions;
    kit::Results a = kit::readResults("a", bytes), b = kit::readResults("b", bytes);
    std::size_t agreeing = 0;
    start = std::clock();
    for (int i = 0; i < repetitions; ++i) agreeing += kit::compareResults(a, b, {}).agree();
    double compareSeconds = double(std::clock() - start) / CLOCKS_PER_SEC / repetitions;
    std::printf("results file: %s, %zu bytes, %zu numbers\n", argv[1], bytes.size(),
                numbers / repetitions);
    std::printf("read:    %8.1f us of processor time (mean of %d)\n", readSeconds * 1e6, repetitions);
    std::printf("compare: %8.1f us of processor time (mean of %d; %zu agreed)\n",
                compareSeconds * 1e6, repetitions, agreeing);
    return 0;
}
