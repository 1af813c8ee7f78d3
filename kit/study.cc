#include "kit/study.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kit {
namespace {

bool nameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

bool number(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && std::isfinite(v);
}

}  // namespace

std::string valueText(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

bool parseRange(const std::string& spec, Range& range, std::string& error) {
    std::size_t eq = spec.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "--vary " + spec + ": expected NAME=FROM:TO:STEP";
        return false;
    }
    range.name = spec.substr(0, eq);
    for (char c : range.name)
        if (!nameChar(c)) {
            error = "--vary " + spec + ": a name holds letters, digits, '_', '-' and '.' only";
            return false;
        }
    std::vector<std::string> parts;
    std::string rest = spec.substr(eq + 1);
    for (std::size_t at; (at = rest.find(':')) != std::string::npos;) {
        parts.push_back(rest.substr(0, at));
        rest = rest.substr(at + 1);
    }
    parts.push_back(rest);
    double from, to, step;
    if (parts.size() == 1 && number(parts[0], from)) {
        range.values = {parts[0]};
        return true;
    }
    if (parts.size() != 3 || !number(parts[0], from) || !number(parts[1], to) || !number(parts[2], step)) {
        error = "--vary " + spec + ": expected NAME=FROM:TO:STEP with three numbers";
        return false;
    }
    if (step == 0 || (to - from) / step < 0) {
        error = "--vary " + spec + ": the range yields no value (the step must lead from FROM to TO)";
        return false;
    }
    // Values FROM + i STEP up to TO, which counts as reached within a millionth of a step.
    double count = std::floor((to - from) / step + 1e-6);
    if (count + 1 > double(MAX_VALUES)) {
        error = "--vary " + spec + ": more than " + std::to_string(MAX_VALUES) + " values";
        return false;
    }
    for (long i = 0; i <= long(count); ++i) range.values.push_back(valueText(from + double(i) * step));
    return true;
}

std::vector<Placeholder> placeholders(const std::string& t) {
    std::vector<Placeholder> found;
    int line = 1;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\n') ++line;
        if (t[i] != '{') continue;
        std::size_t j = i + 1;
        while (j < t.size() && nameChar(t[j])) ++j;
        if (j == i + 1 || j >= t.size() || t[j] != '}') continue;
        std::string name = t.substr(i + 1, j - i - 1);
        bool known = false;
        for (const Placeholder& p : found) known = known || p.name == name;
        if (!known) found.push_back({name, line});
        i = j;
    }
    return found;
}

std::string fill(const std::string& t, const std::vector<std::string>& names,
                 const std::vector<std::string>& values) {
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '{') {
            std::size_t j = t.find('}', i);
            if (j != std::string::npos) {
                std::string name = t.substr(i + 1, j - i - 1);
                bool replaced = false;
                for (std::size_t k = 0; k < names.size() && !replaced; ++k)
                    if (names[k] == name) {
                        out += values[k];
                        replaced = true;
                    }
                if (replaced) {
                    i = j;
                    continue;
                }
            }
        }
        out += t[i];
    }
    return out;
}

bool gridSize(const std::vector<Range>& ranges, std::size_t& size, std::string& error) {
    size = 1;
    for (const Range& r : ranges) {
        if (r.values.empty()) {
            error = r.name + ": no values to vary over";
            return false;
        }
        if (r.values.size() > MAX_GRID_POINTS / size) {
            error = "the grid has more than " + std::to_string(MAX_GRID_POINTS) + " points";
            return false;
        }
        size *= r.values.size();
    }
    return true;
}

std::vector<std::size_t> gridPoint(const std::vector<Range>& ranges, std::size_t i) {
    std::vector<std::size_t> at(ranges.size(), 0);
    for (std::size_t k = ranges.size(); k > 0; --k) {
        std::size_t n = ranges[k - 1].values.size();
        at[k - 1] = i % n;
        i /= n;
    }
    return at;
}

std::vector<std::vector<std::size_t>> grid(const std::vector<Range>& ranges) {
    std::size_t size;
    std::string error;
    if (!gridSize(ranges, size, error)) return {};
    std::vector<std::vector<std::size_t>> points;
    points.reserve(size);
    for (std::size_t i = 0; i < size; ++i) points.push_back(gridPoint(ranges, i));
    return points;
}

}  // namespace kit
