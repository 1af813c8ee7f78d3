// Runs a fuzz target's entry point over pseudo-random inputs, so that the target works as
// an ordinary long randomized test without a coverage-guided fuzzer. The seed and the
// number of runs can be set by FUZZ_SEED and FUZZ_RUNS.
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Bytes that matter to the console's parsers, so that random inputs reach deep states.
static const char INTERESTING[] = "0123456789+-.eEdD#*,/ \t\r\n'\"()xX:IiHh\x1a";

int main() {
    const char* seedText = std::getenv("FUZZ_SEED");
    const char* runsText = std::getenv("FUZZ_RUNS");
    std::mt19937_64 random(seedText ? std::strtoull(seedText, nullptr, 10) : 12345);
    long runs = runsText ? std::strtol(runsText, nullptr, 10) : 20000;
    std::vector<std::uint8_t> data;
    for (long run = 0; run < runs; ++run) {
        std::size_t size = random() % 400;
        data.resize(size);
        for (auto& byte : data) {
            if (random() % 4 == 0) byte = static_cast<std::uint8_t>(random());
            else byte = static_cast<std::uint8_t>(INTERESTING[random() % (sizeof INTERESTING - 1)]);
        }
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    return 0;
}
