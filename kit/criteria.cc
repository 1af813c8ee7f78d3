#include "kit/criteria.h"

#include <algorithm>
#include <cmath>

namespace kit {

const char* criterionName(Criterion c) {
    switch (c) {
    case Criterion::MaxStress: return "max-stress";
    case Criterion::MaxStrain: return "max-strain";
    case Criterion::TsaiHill: return "tsai-hill";
    case Criterion::TsaiWu: return "tsai-wu";
    case Criterion::Hoffman: return "hoffman";
    case Criterion::Hashin: return "hashin";
    }
    return "";
}

std::optional<Criterion> criterionNamed(std::string_view name) {
    for (Criterion c : ALL_CRITERIA)
        if (name == criterionName(c)) return c;
    return std::nullopt;
}

std::optional<std::vector<Criterion>> criteriaNamed(std::string_view list, std::string& bad) {
    std::vector<Criterion> out;
    if (list == "all") return std::vector<Criterion>(std::begin(ALL_CRITERIA), std::end(ALL_CRITERIA));
    std::size_t start = 0;
    while (true) {
        std::size_t comma = list.find(',', start);
        std::string_view name = list.substr(start, comma == list.npos ? list.npos : comma - start);
        auto c = criterionNamed(name);
        if (!c) {
            bad = std::string(name);
            return std::nullopt;
        }
        if (std::find(out.begin(), out.end(), *c) == out.end()) out.push_back(*c);
        if (comma == list.npos) break;
        start = comma + 1;
    }
    return out;
}

const char* modeName(Mode m) {
    switch (m) {
    case Mode::None: return "";
    case Mode::FibreTension: return "fibre-tension";
    case Mode::FibreCompression: return "fibre-compression";
    case Mode::MatrixTension: return "matrix-tension";
    case Mode::MatrixCompression: return "matrix-compression";
    case Mode::Shear: return "shear";
    }
    return "";
}

bool isFibreMode(Mode m) { return m == Mode::FibreTension || m == Mode::FibreCompression; }

Allowables allowablesOf(const Strengths& s, const MaterialSet& m) {
    Allowables a{};
    a.xt = s.xt, a.xc = s.xc, a.yt = s.yt, a.yc = s.yc, a.s = s.s;
    a.st = s.st.value_or(s.yc / 2);
    a.e1t = s.e1t.value_or(s.xt / m.e1);
    a.e1c = s.e1c.value_or(s.xc / m.e1);
    a.e2t = s.e2t.value_or(s.yt / m.e2);
    a.e2c = s.e2c.value_or(s.yc / m.e2);
    a.g12u = s.g12u.value_or(s.s / m.g12);
    a.f1 = 1 / s.xt - 1 / s.xc;
    a.f2 = 1 / s.yt - 1 / s.yc;
    a.f11 = 1 / (s.xt * s.xc);
    a.f22 = 1 / (s.yt * s.yc);
    a.f66 = 1 / (s.s * s.s);
    a.f12 = s.f12 ? *s.f12 : s.f12star.value_or(-0.5) * std::sqrt(a.f11 * a.f22);
    return a;
}

namespace {

// One condition of a criterion: v^T M v + l . v = 1 on the stresses (or the strains) of the
// face, with the mode it names. M symmetric.
struct Condition {
    Mat3 m{};
    Vec3 l{};
    bool strain = false;
    Mode mode = Mode::None;
};

// The sign of each variable within an interval of lambda: sigma-1, sigma-2, sigma-12, eps-1,
// eps-2, gamma-12 (true: >= 0).
using Signs = std::array<bool, 6>;

Condition linear(int component, double limit, bool strain, Mode mode) {
    Condition c;
    c.l[component] = 1 / limit;
    c.strain = strain;
    c.mode = mode;
    return c;
}

Condition diagonal(double m1, double m2, double m3, Mode mode) {
    Condition c;
    c.m[0][0] = m1, c.m[1][1] = m2, c.m[2][2] = m3;
    c.mode = mode;
    return c;
}

std::vector<Condition> conditions(Criterion cr, const Allowables& a, const Signs& sg) {
    switch (cr) {
    case Criterion::MaxStress:
        return {sg[0] ? linear(0, a.xt, false, Mode::FibreTension) : linear(0, -a.xc, false, Mode::FibreCompression),
                sg[1] ? linear(1, a.yt, false, Mode::MatrixTension) : linear(1, -a.yc, false, Mode::MatrixCompression),
                linear(2, sg[2] ? a.s : -a.s, false, Mode::Shear)};
    case Criterion::MaxStrain:
        return {sg[3] ? linear(0, a.e1t, true, Mode::FibreTension) : linear(0, -a.e1c, true, Mode::FibreCompression),
                sg[4] ? linear(1, a.e2t, true, Mode::MatrixTension) : linear(1, -a.e2c, true, Mode::MatrixCompression),
                linear(2, sg[5] ? a.g12u : -a.g12u, true, Mode::Shear)};
    case Criterion::TsaiHill: {
        const double x = sg[0] ? a.xt : a.xc, y = sg[1] ? a.yt : a.yc;
        Condition c = diagonal(1 / (x * x), 1 / (y * y), 1 / (a.s * a.s), Mode::None);
        c.m[0][1] = c.m[1][0] = -0.5 / (x * x);
        return {c};
    }
    case Criterion::TsaiWu: {
        Condition c = diagonal(a.f11, a.f22, a.f66, Mode::None);
        c.m[0][1] = c.m[1][0] = a.f12;
        c.l = {a.f1, a.f2, 0};
        return {c};
    }
    case Criterion::Hoffman: {
        Condition c = diagonal(1 / (a.xt * a.xc), 1 / (a.yt * a.yc), 1 / (a.s * a.s), Mode::None);
        c.m[0][1] = c.m[1][0] = -0.5 / (a.xt * a.xc);
        c.l = {1 / a.xt - 1 / a.xc, 1 / a.yt - 1 / a.yc, 0};
        return {c};
    }
    case Criterion::Hashin: {
        Condition fibre = sg[0] ? diagonal(1 / (a.xt * a.xt), 0, 1 / (a.s * a.s), Mode::FibreTension)
                                : diagonal(1 / (a.xc * a.xc), 0, 0, Mode::FibreCompression);
        Condition matrix;
        if (sg[1]) {
            matrix = diagonal(0, 1 / (a.yt * a.yt), 1 / (a.s * a.s), Mode::MatrixTension);
        } else {
            const double r = a.yc / (2 * a.st);
            matrix = diagonal(0, 1 / (4 * a.st * a.st), 1 / (a.s * a.s), Mode::MatrixCompression);
            matrix.l[1] = (r * r - 1) / a.yc;
        }
        // On a tie (pure shear reaches both forms at once) the matrix mode is named.
        return {matrix, fibre};
    }
    }
    return {};
}

double quadraticForm(const Mat3& m, const Vec3& u, const Vec3& v) {
    double sum = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) sum += u[i] * m[i][j] * v[j];
    return sum;
}

double dot(const Vec3& u, const Vec3& v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; }

// The least root of a x^2 + b x + c in (lo, hi), where the polynomial is negative at lo.
std::optional<double> leastRoot(double a, double b, double c, double lo, double hi) {
    std::vector<double> roots;
    if (a == 0) {
        if (b != 0) roots.push_back(-c / b);
    } else {
        const double disc = b * b - 4 * a * c;
        if (disc < 0) return std::nullopt;
        const double q = -0.5 * (b + (b < 0 ? -std::sqrt(disc) : std::sqrt(disc)));
        roots.push_back(q / a);
        if (q != 0) roots.push_back(c / q);
    }
    std::optional<double> best;
    for (double r : roots)
        if (r > lo && r < hi && (!best || r < *best)) best = r;
    return best;
}

// The mode of an interactive criterion: the largest of |sigma-1| / X, |sigma-2| / Y and
// |sigma-12| / S at the failure state (in that order on a tie), each with its sign's strength.
Mode dominantMode(const Allowables& a, const Vec3& s) {
    const double r1 = std::fabs(s[0]) / (s[0] >= 0 ? a.xt : a.xc);
    const double r2 = std::fabs(s[1]) / (s[1] >= 0 ? a.yt : a.yc);
    const double r3 = std::fabs(s[2]) / a.s;
    if (r1 >= r2 && r1 >= r3) return s[0] >= 0 ? Mode::FibreTension : Mode::FibreCompression;
    if (r2 >= r3) return s[1] >= 0 ? Mode::MatrixTension : Mode::MatrixCompression;
    return Mode::Shear;
}

}  // namespace

Failure failureFactor(Criterion cr, const Allowables& a, const FaceLoad& base, const FaceLoad& scaled) {
    const double v0[6] = {base.sigma[0], base.sigma[1], base.sigma[2], base.eps[0], base.eps[1], base.eps[2]};
    const double vd[6] = {scaled.sigma[0], scaled.sigma[1], scaled.sigma[2],
                          scaled.eps[0],   scaled.eps[1],   scaled.eps[2]};
    // Where a variable changes sign a criterion may change its form: the intervals between.
    std::vector<double> bounds{0};
    for (int i = 0; i < 6; ++i)
        if (vd[i] != 0 && -v0[i] / vd[i] > 0) bounds.push_back(-v0[i] / vd[i]);
    std::sort(bounds.begin(), bounds.end());
    bounds.push_back(INFINITY);
    for (std::size_t n = 0; n + 1 < bounds.size(); ++n) {
        const double lo = bounds[n], hi = bounds[n + 1];
        if (!(hi > lo)) continue;
        const double inside = std::isinf(hi) ? lo + 1 : lo + (hi - lo) / 2;
        Signs signs;
        for (int i = 0; i < 6; ++i) {
            const double v = v0[i] + inside * vd[i];
            // A variable that is zero throughout counts as >= 0.
            signs[i] = v >= 0 || (v0[i] == 0 && vd[i] == 0);
        }
        std::optional<double> best;
        Mode mode = Mode::None;
        for (const Condition& c : conditions(cr, a, signs)) {
            const Vec3& u0 = c.strain ? base.eps : base.sigma;
            const Vec3& ud = c.strain ? scaled.eps : scaled.sigma;
            const double qa = quadraticForm(c.m, ud, ud);
            const double qb = 2 * quadraticForm(c.m, u0, ud) + dot(c.l, ud);
            const double qc = quadraticForm(c.m, u0, u0) + dot(c.l, u0) - 1;
            std::optional<double> at;
            if ((qa * lo + qb) * lo + qc >= 0) at = lo;  // on the surface where this form starts
            else at = leastRoot(qa, qb, qc, lo, hi);
            if (at && (!best || *at < *best)) best = at, mode = c.mode;
        }
        if (!best) continue;
        Failure f;
        if (*best == 0) {
            f.alreadyFailed = true;
            f.factor = 0;
        } else {
            f.factor = *best;
        }
        if (mode == Mode::None) {
            Vec3 s;
            for (int i = 0; i < 3; ++i) s[i] = base.sigma[i] + *best * scaled.sigma[i];
            mode = dominantMode(a, s);
        }
        f.mode = mode;
        return f;
    }
    return {};
}

Failure strengthRatio(Criterion c, const Allowables& a, const FaceLoad& state) {
    return failureFactor(c, a, FaceLoad{}, state);
}

}  // namespace kit
