// A small command over the kit's library, for comparing its strength on every platform
// (WebAssembly under Node included, where the kit's own command, which starts processes,
// cannot run): standard input holds a case file, a line "%%", then the results file of its
// run; standard output is the strength quantities of every criterion as JSON. Exit status
// 2 for input it cannot use.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "kit/case_file.h"
#include "kit/laminate_case.h"
#include "kit/render.h"
#include "kit/results.h"
#include "kit/strength.h"
#include "kit/trig.h"

int main() {
    std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    const std::size_t split = input.find("\n%%\n");
    if (split == std::string::npos) {
        std::fprintf(stderr, "strength_json: standard input holds no line %%%% after the case\n");
        return 2;
    }
    std::string error;
    std::optional<kit::CaseFile> c = kit::readCase(input.substr(0, split + 1), "case", error);
    std::optional<kit::Laminate> lam = c ? kit::laminateOfCase(*c) : std::nullopt;
    if (!lam) {
        std::fprintf(stderr, "strength_json: %s\n", error.empty() ? "the case gives no laminate" : error.c_str());
        return 2;
    }
    kit::Results r = kit::readResults("results", input.substr(split + 4));
    kit::StrengthOptions options;
    options.factor = 1.5;
    kit::StrengthReport rep = kit::strengthOf(r, *lam, kit::caseStrengths(c->sets), options);
    if (!rep.ok()) {
        std::fprintf(stderr, "strength_json: %s\n", rep.error.c_str());
        return 2;
    }
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const kit::Quantity& q : rep.quantities) out.push_back(kit::toJson(q));
    std::string text = out.dump(1) + "\n" + kit::strengthText(rep);
    // The kit's own cosine and sine, as the envelopes' directions and the plies' angles use them.
    for (double degrees : {0.0, 5.0, 30.0, 45.0, 60.0, 85.0, 90.0, 135.0, 212.5, 355.0, -45.0, 1e5 + 17, 1e17}) {
        const kit::CosSin cs = kit::cosSinDegrees(degrees);
        text += "cos, sin of " + kit::shortest(degrees) + ": " + kit::shortest(cs.cos) + " " + kit::shortest(cs.sin) + "\n";
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
