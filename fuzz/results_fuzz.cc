// Arbitrary bytes as a results file for the kit's reader: no crash and bounded work; the
// same reading whether the bytes come whole or in two pieces; every number read has a text
// that reads back as its value; the counts of the tables add up to the numbers read; and
// the file compared with itself agrees.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "kit/compare.h"
#include "kit/results.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "results_fuzz: %s\n", what);
        std::abort();
    }
}

bool sameReading(const kit::Results& a, const kit::Results& b) {
    if (a.error != b.error || a.errorLine != b.errorLine || a.quantities.size() != b.quantities.size() ||
        a.tables.size() != b.tables.size() || a.end.where != b.end.where)
        return false;
    for (std::size_t i = 0; i < a.quantities.size(); ++i)
        if (a.quantities[i].name != b.quantities[i].name || a.quantities[i].text != b.quantities[i].text ||
            a.quantities[i].line != b.quantities[i].line)
            return false;
    return a.sha256 == b.sha256;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kit::Results whole = kit::readResults("fuzz", bytes);
    kit::ResultsReader pieces("fuzz");
    std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    pieces.feed(bytes.substr(0, cut));
    pieces.feed(bytes.substr(cut));
    require(sameReading(whole, pieces.finish()), "a reading that depends on how the bytes come");
    if (!whole.ok()) {
        require(whole.quantities.empty() && whole.errorLine > 0, "an error without its line");
        return 0;
    }
    int counted = 0;
    for (const kit::TableSummary& t : whole.tables) counted += t.count;
    require(counted == static_cast<int>(whole.quantities.size()), "table counts that do not add up");
    for (const kit::Quantity& q : whole.quantities) {
        require(!q.name.empty() && q.line > 0, "a number without a name or a line");
        if (q.name.size() > 7 && q.name.compare(q.name.size() - 7, 7, ".number") == 0) continue;
        auto again = kit::readRealField(q.text);
        require(again.has_value(), "a text that is no printed field");
        require(again->has_value() == q.value.has_value() &&
                    (!q.value || **again == *q.value || (**again != **again && *q.value != *q.value)),
                "a text that does not read back as its value");
    }
    kit::Comparison c = kit::compareResults(whole, whole, {});
    require(c.agree(), "a file that does not agree with itself");
    return 0;
}
