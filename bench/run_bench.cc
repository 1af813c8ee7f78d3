// Benchmarks: a whole run of the analysis for a 20-ply laminate over an in-process console,
// and the E12.4 editing of a real that every printed figure goes through.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "analysis/lamvis2.h"
#include "consoleio/edit.h"
#include "tests/fake_console.h"

namespace {

// Two material sets, twenty plies [0/45/-45/90/0]s twice over, loads in all six entries and a
// relaxation time of 1 (16 rows of the sweep).
std::string twentyPlyAnswers() {
    std::ostringstream text;
    text << "181000\n10300\n0.28\n7170\n0.125\n0.05\n";
    text << "38600\n8270\n0.26\n4140\n0.25\n0.1\n";
    text << "-1\n";
    const int angles[] = {0, 45, -45, 90, 0, 0, 90, -45, 45, 0};
    for (int half = 0; half < 2; ++half)
        for (int k = 0; k < 10; ++k) {
            const int ply = half == 0 ? k : 9 - k;
            text << (ply % 3 == 0 ? 2 : 1) << "\n" << angles[ply] << "\n";
        }
    text << "100\n50\n10\n5\n2\n1\n";
    text << "1\n";
    return text.str();
}

void BM_WholeRunTwentyPlies(benchmark::State& state) {
    const std::string input = twentyPlyAnswers();
    std::size_t bytes = 0;
    for (auto _ : state) {
        FakeConsole console;
        console.input = input;
        FakeConsoleScope scope(console);
        AnalysisSession session(scope.io);
        const int status = scope.runToExit([&] { session.run(); });
        if (status != 0 || session.layup.plyCount != 20) state.SkipWithError("the run did not complete");
        bytes = console.out.size();
        benchmark::DoNotOptimize(console.out.data());
    }
    state.counters["output_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WholeRunTwentyPlies)->Unit(benchmark::kMicrosecond);

void BM_EditRealE12_4(benchmark::State& state) {
    EditDescriptor descriptor;
    descriptor.code = EditCode::Exponent;
    descriptor.width = 12;
    descriptor.digits = 4;
    const float values[] = {123.456f, -2.5e-5f, 0.0f, 9.99996f, 3.0e38f, 1.0e-10f, 56.234142f, -0.12345f};
    std::size_t i = 0;
    for (auto _ : state) {
        EditedField field = editReal(values[i++ % 8], false, descriptor);
        benchmark::DoNotOptimize(field.chars.data());
    }
}
BENCHMARK(BM_EditRealE12_4);

}  // namespace
