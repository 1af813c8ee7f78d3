// Runs a fuzz target's entry point over pseudo-random inputs, so that the target works as
// an ordinary long randomized test without a coverage-guided fuzzer: first every seed of
// the target's corpus as it is, then random inputs, half of them made of bytes that matter
// to the parsers and half of them seeds with a few random edits (so that the whole
// dialogue is reached, not only its first prompt). The seed and the number of random runs
// can be set by FUZZ_SEED and FUZZ_RUNS.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// Bytes that matter to the console's parsers, so that random inputs reach deep states.
const char INTERESTING[] = "0123456789+-.eEdD#*,/ \t\r\n'\"()xX:IiHh\x1a";

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> readSeeds() {
    std::vector<Bytes> seeds;
#ifdef FUZZ_SEED_DIR
    std::vector<std::filesystem::path> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_SEED_DIR, error))
        if (entry.is_regular_file()) paths.push_back(entry.path());
    // The directory's order is the file system's; the runs must not depend on it.
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        std::ifstream file(path, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
#endif
    return seeds;
}

std::uint8_t randomByte(std::mt19937_64& random) {
    if (random() % 4 == 0) return static_cast<std::uint8_t>(random());
    return static_cast<std::uint8_t>(INTERESTING[random() % (sizeof INTERESTING - 1)]);
}

// A few edits: a byte changed, inserted or deleted, or a stretch repeated.
void mutate(Bytes& data, std::mt19937_64& random) {
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int edit = 0; edit < edits; ++edit) {
        const std::size_t at = data.empty() ? 0 : random() % data.size();
        switch (random() % 4) {
            case 0:
                if (!data.empty()) data[at] = randomByte(random);
                break;
            case 1: data.insert(data.begin() + static_cast<long>(at), randomByte(random)); break;
            case 2:
                if (!data.empty()) data.erase(data.begin() + static_cast<long>(at));
                break;
            default: {
                const std::size_t length = std::min<std::size_t>(data.size() - at, random() % 16);
                const Bytes stretch(data.begin() + static_cast<long>(at),
                                    data.begin() + static_cast<long>(at + length));
                data.insert(data.begin() + static_cast<long>(at), stretch.begin(), stretch.end());
                break;
            }
        }
    }
}

}  // namespace

int main() {
    const char* seedText = std::getenv("FUZZ_SEED");
    const char* runsText = std::getenv("FUZZ_RUNS");
    std::mt19937_64 random(seedText ? std::strtoull(seedText, nullptr, 10) : 12345);
    const long runs = runsText ? std::strtol(runsText, nullptr, 10) : 20000;

    const std::vector<Bytes> seeds = readSeeds();
    for (const Bytes& seed : seeds) LLVMFuzzerTestOneInput(seed.data(), seed.size());

    Bytes data;
    for (long run = 0; run < runs; ++run) {
        if (!seeds.empty() && random() % 2 == 0) {
            data = seeds[random() % seeds.size()];
            mutate(data, random);
        } else {
            data.resize(random() % 400);
            for (auto& byte : data) byte = randomByte(random);
        }
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    return 0;
}
