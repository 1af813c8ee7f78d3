#include "kit/derived.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

namespace kit {
namespace {

std::string text(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

}  // namespace

std::vector<Quantity> deriveQuantities(const Results& r) {
    std::vector<Quantity> out;
    auto value = [&](const std::string& name) -> std::optional<double> {
        const Quantity* q = r.find(name);
        if (q == nullptr) return std::nullopt;
        return q->value;
    };
    auto put = [&](std::string name, double v, std::string note) {
        Quantity q;
        q.name = std::move(name);
        q.kind = QuantityKind::Derived;
        q.table = "derived";
        q.text = text(v);
        if (std::isfinite(v)) q.value = v;
        q.note = std::move(note);
        out.push_back(std::move(q));
    };

    // The thickness: the sum of the thicknesses of the plies' sets, as typed.
    std::optional<double> h;
    std::string hWhy;
    {
        double sum = 0;
        int plies = 0;
        bool known = true;
        for (int k = 1;; ++k) {
            const Quantity* angle = r.find("ply[" + std::to_string(k) + "].angle");
            if (angle == nullptr) break;
            const Quantity* set = r.find("ply[" + std::to_string(k) + "].set");
            std::optional<double> t;
            if (set && set->value)
                t = value("set[" + std::to_string(static_cast<int>(*set->value)) + "].thickness");
            if (!t) {
                known = false;
                break;
            }
            sum += *t;
            ++plies;
        }
        if (known && plies > 0) h = sum;
    }
    if (h) put("thickness", *h, "the sum of the ply thicknesses of the answers");

    double a11 = value("compliance[1,1]").value_or(NAN), a22 = value("compliance[2,2]").value_or(NAN),
           a12 = value("compliance[1,2]").value_or(NAN), a66 = value("compliance[3,3]").value_or(NAN),
           d11 = value("compliance[4,4]").value_or(NAN), d22 = value("compliance[5,5]").value_or(NAN),
           d66 = value("compliance[6,6]").value_or(NAN);
    if (std::isnan(a11) || std::isnan(d66)) return out;  // no whole compliance printed

    // Where the coupling block B is not zero, the constants hold for a laminate that is free
    // to curve. B is zero up to the rounding of the sums (a symmetric layup) when it is below
    // a millionth of the scale of A times the thickness, sqrt(12 |A| |D|).
    std::string note = "from the printed compliance";
    double largestA = 0, largestB = 0, largestD = 0;
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j)
            if (auto v = value("stiffness[" + std::to_string(i) + "," + std::to_string(j) + "]")) {
                double& largest = (i <= 3) == (j <= 3) ? (i <= 3 ? largestA : largestD) : largestB;
                largest = std::max(largest, std::fabs(*v));
            }
    if (largestB > 1e-6 * std::sqrt(12 * largestA * largestD))
        note += "; B is not zero (largest |B| " + text(largestB) +
                "): the laminate is free to curve under these constants";

    if (h) {
        put("Ex", 1 / (*h * a11), note);
        put("Ey", 1 / (*h * a22), note);
        put("Gxy", 1 / (*h * a66), note);
    }
    put("nuxy", -a12 / a11, note);
    put("nuyx", -a12 / a22, note);
    if (h) {
        double h3 = *h * *h * *h;
        put("Efx", 12 / (h3 * d11), note);
        put("Efy", 12 / (h3 * d22), note);
        put("Gfxy", 12 / (h3 * d66), note);
    }
    return out;
}

bool needsInputs(const std::vector<std::string>& names) {
    static const char* const FROM_INPUTS[] = {"thickness", "Ex", "Ey", "Gxy", "Efx", "Efy", "Gfxy"};
    for (const std::string& n : names) {
        for (const char* d : FROM_INPUTS)
            if (n == d) return true;
        bool printed = n.rfind("stiffness[", 0) == 0 || n.rfind("compliance[", 0) == 0 ||
                       n.rfind("eps-", 0) == 0 || n.rfind("kappa-", 0) == 0 ||
                       n.rfind("relaxation[", 0) == 0 || n == "nuxy" || n == "nuyx" ||
                       (n.rfind("ply[", 0) == 0 && n.find("].sigma-") != std::string::npos) ||
                       (n.rfind("ply[", 0) == 0 && n.find("].number") != std::string::npos);
        if (!printed) return true;
    }
    return false;
}

}  // namespace kit
