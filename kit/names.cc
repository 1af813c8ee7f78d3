#include "kit/names.h"

#include <algorithm>
#include <cctype>

namespace kit {
namespace {

const char* const SIMPLE[] = {
    "eps-xx", "eps-yy", "eps-xy", "kappa-xx", "kappa-yy", "kappa-xy", "nx", "ny", "nxy", "mx",
    "my", "mxy", "relaxation-time", "pause", "thickness", "Ex", "Ey", "Gxy", "nuxy", "nuyx",
    "Efx", "Efy", "Gfxy"};
const char* const SET_FIELDS[] = {"e1", "e2", "nu12", "g12", "thickness", "creep-fraction"};
const char* const PLY_FIELDS[] = {"number", "sigma-1", "sigma-2", "sigma-12", "set", "angle"};
const char* const ROW_FIELDS[] = {"time", "eps-xx", "eps-yy", "eps-xy", "kappa-xx", "kappa-yy", "kappa-xy"};

// Edit distance, a substitution of a letter by itself in the other case costing a third.
double distance(const std::string& a, const std::string& b) {
    std::vector<double> row(b.size() + 1), next(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = double(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        next[0] = double(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            char x = a[i - 1], y = b[j - 1];
            double swap = x == y ? 0
                          : std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y))
                              ? 1.0 / 3
                              : 1;
            next[j] = std::min({row[j] + 1, next[j - 1] + 1, row[j - 1] + swap});
        }
        std::swap(row, next);
    }
    return row[b.size()];
}

}  // namespace

std::vector<std::string> nearestNames(const std::string& name) {
    std::vector<std::string> candidates(std::begin(SIMPLE), std::end(SIMPLE));
    for (const char* t : {"stiffness", "compliance"})
        for (int i = 1; i <= 6; ++i)
            for (int j = 1; j <= 6; ++j)
                candidates.push_back(std::string(t) + "[" + std::to_string(i) + "," + std::to_string(j) + "]");
    for (const char* f : SET_FIELDS) candidates.push_back(std::string("set[1].") + f);
    for (const char* f : PLY_FIELDS) candidates.push_back(std::string("ply[1].") + f);
    for (const char* f : ROW_FIELDS) {
        candidates.push_back(std::string("relaxation[1].") + f);
        candidates.push_back(std::string("relaxation[last].") + f);
    }
    std::vector<std::pair<double, std::string>> scored;
    for (const std::string& c : candidates) scored.push_back({distance(name, c), c});
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> nearest;
    double limit = std::max(2.0, double(name.size()) / 3);
    for (const auto& [d, c] : scored)
        if (d <= limit && nearest.size() < 3) nearest.push_back(c);
    return nearest;
}

}  // namespace kit
