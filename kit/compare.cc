#include "kit/compare.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace kit {
namespace {

const std::string LEGACY_SUMMED =
    "the legacy program summed the creep resultants of all earlier time steps (README, "
    "departure 2); the time column and the first row agree";
const std::string LEGACY_SET_NUMBER =
    "the dialogues part where this program refuses a material set number that the legacy "
    "program stored unchecked (README, departure 1); what follows comes from other inputs";
const std::string LEGACY_ENDLESS =
    "the legacy program printed its first relaxation row again and again where the time does "
    "not grow (README, departure 3)";

bool refusal(const std::string& line) {
    return line.rfind("material set must be a number from 1 to", 0) == 0 ||
           line.rfind("no material set is defined", 0) == 0;
}

std::string fmt(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.3g", v);
    return buf;
}

// The row of a relaxation quantity's name, and whether it is the time column.
int relaxationRow(const std::string& name, bool& isTime) {
    if (name.rfind("relaxation[", 0) != 0) return 0;
    int row = std::atoi(name.c_str() + 11);
    isTime = name.size() > 5 && name.compare(name.size() - 5, 5, ".time") == 0;
    return row;
}

}  // namespace

std::string differingDigits(const std::string& a, const std::string& b) {
    std::size_t n = std::max(a.size(), b.size());
    std::string ra = std::string(n - a.size(), ' ') + a, rb = std::string(n - b.size(), ' ') + b;
    std::string marks(n, ' ');
    for (std::size_t i = 0; i < n; ++i)
        if (ra[i] != rb[i]) marks[i] = '^';
    while (!marks.empty() && marks.back() == ' ') marks.pop_back();
    return marks;
}

Comparison compareResults(const Results& archived, const Results& fresh, const CompareOptions& o) {
    Comparison c;
    // The dialogues, line by line: where they first differ.
    const auto& da = archived.dialogue;
    const auto& db = fresh.dialogue;
    std::size_t i = 0;
    while (i < da.size() && i < db.size() && da[i].text == db[i].text) ++i;
    int partedAtArchived = 1 << 30, partedAtNew = 1 << 30;
    if (i < da.size() || i < db.size()) {
        Parting p;
        if (i < da.size()) p.archived = da[i];
        if (i < db.size()) p.fresh = db[i];
        if (i > 0) p.after = da[i - 1].text;
        // A run that ended earlier, with a report, shows in the ends too.
        if (o.legacy && i < db.size() && refusal(db[i].text)) {
            p.why = LEGACY_SET_NUMBER;
            c.partingExplained = true;
        }
        partedAtArchived = i < da.size() ? da[i].line : 1 << 30;
        partedAtNew = i < db.size() ? db[i].line : 1 << 30;
        c.parting = p;
    }

    // A name that a damaged or pasted-together file prints more than once is paired
    // occurrence by occurrence: the k-th on one side with the k-th on the other.
    std::map<std::string, std::vector<const Quantity*>> byName;
    for (const Quantity& q : fresh.quantities)
        if (q.kind == QuantityKind::Printed) byName[q.name].push_back(&q);
    std::map<std::string, std::size_t> seen;
    std::vector<std::string> order;
    std::map<std::string, TableTally> tallies;
    auto tally = [&](const std::string& table) -> TableTally& {
        if (!tallies.count(table)) {
            order.push_back(table);
            tallies[table].name = table;
        }
        return tallies[table];
    };
    // Each table's scale: the largest magnitude printed in it, on either side. The
    // relaxation table's time column is a scale of its own: its deformations are measured
    // against the deformations.
    auto scaleOf = [](const std::string& table, const std::string& name) {
        bool time = false;
        return relaxationRow(name, time) > 0 && time ? table + " time" : table;
    };
    std::map<std::string, double> scales;
    for (const Results* r : {&archived, &fresh})
        for (const Quantity& q : r->quantities)
            if (q.kind == QuantityKind::Printed && q.value && std::isfinite(*q.value)) {
                double& scale = scales[scaleOf(q.table, q.name)];
                scale = std::max(scale, std::fabs(*q.value));
            }
    double previousArchivedTime = NAN;
    auto judge = [&](const Quantity* a, const Quantity* b) {
        const std::string& name = a ? a->name : b->name;
        const std::string& table = a ? a->table : b->table;
        TableTally& t = tally(table);
        ++t.count;
        bool agree;
        Difference d;
        d.name = name;
        d.table = table;
        if (a) { d.archivedText = a->text; d.archived = a->value; d.archivedLine = a->line; }
        if (b) { d.newText = b->text; d.fresh = b->value; d.newLine = b->line; }
        if (!a || !b) {
            agree = false;
        } else if (a->value && b->value) {
            double x = *a->value, y = *b->value;
            double diff = std::fabs(x - y);
            double smaller = std::min(std::fabs(x), std::fabs(y));
            d.absolute = diff;
            d.relative = diff == 0 ? 0.0 : smaller == 0 ? INFINITY : diff / smaller;
            if (o.relative == 0 && o.absolute == 0) agree = a->text == b->text || x == y;
            else agree = diff <= o.absolute || *d.relative <= o.relative;
        } else {
            agree = a->text == b->text;
        }
        if (agree) {
            ++t.agree;
            return;
        }
        if (a && b) d.marks = differingDigits(a->text, b->text);
        double scale = scales[scaleOf(table, name)];
        d.scaled = !d.absolute ? INFINITY : scale > 0 ? *d.absolute / scale : *d.absolute > 0 ? INFINITY : 0;
        t.scale = scale;
        // Explained differences of a legacy archive.
        bool isTime = false;
        int row = relaxationRow(name, isTime);
        if (o.legacy) {
            if (c.partingExplained && (a ? a->line > partedAtArchived : b->line > partedAtNew))
                d.why = LEGACY_SET_NUMBER;
            else if (row > 1 && !isTime && a && b)
                d.why = LEGACY_SUMMED;
            else if (row > 1 && a && !b && isTime && a->value && previousArchivedTime == *a->value)
                d.why = LEGACY_ENDLESS;
            else if (row > 1 && a && !b && !isTime && !c.explained.empty() &&
                     c.explained.back().why == LEGACY_ENDLESS)
                d.why = LEGACY_ENDLESS;
        }
        if (!d.why.empty()) {
            ++t.explained;
            c.explained.push_back(std::move(d));
        } else if (o.floor > 0 && d.absolute && *d.absolute <= o.floor * scale) {
            ++t.roundOff;
            c.roundOff.push_back(std::move(d));
        } else {
            ++t.differ;
            if (d.absolute) t.largestAbsolute = std::max(t.largestAbsolute.value_or(0), *d.absolute);
            if (d.relative) t.largestRelative = std::max(t.largestRelative.value_or(0), *d.relative);
            c.differences.push_back(std::move(d));
        }
    };
    for (const Quantity& a : archived.quantities) {
        if (a.kind != QuantityKind::Printed) continue;
        std::size_t k = seen[a.name]++;
        auto it = byName.find(a.name);
        judge(&a, it == byName.end() || k >= it->second.size() ? nullptr : it->second[k]);
        bool isTime = false;
        if (relaxationRow(a.name, isTime) > 0 && isTime && a.value) previousArchivedTime = *a.value;
    }
    std::map<std::string, std::size_t> freshSeen;
    for (const Quantity& b : fresh.quantities) {
        if (b.kind != QuantityKind::Printed) continue;
        auto it = seen.find(b.name);
        if (freshSeen[b.name]++ >= (it == seen.end() ? 0 : it->second)) judge(nullptr, &b);
    }
    for (const std::string& name : order) {
        tallies[name].scale = scales[name];
        c.tables.push_back(tallies[name]);
    }
    // Largest first, to its table's scale; a number missing on one side first of all; ties in
    // file order.
    auto largestFirst = [](const Difference& x, const Difference& y) { return x.scaled > y.scaled; };
    std::stable_sort(c.differences.begin(), c.differences.end(), largestFirst);
    std::stable_sort(c.roundOff.begin(), c.roundOff.end(), largestFirst);
    c.afterEndDiffers = archived.end.afterEnd.text != fresh.end.afterEnd.text;

    auto endText = [](const Results& r) {
        std::string s = "exit status " + std::to_string(r.end.exitStatus);
        if (r.end.report) s += ", " + r.end.report->substr(0, r.end.report->find('\n'));
        return s;
    };
    c.archivedEnd = endText(archived);
    c.newEnd = endText(fresh);
    c.endsDiffer = c.archivedEnd != c.newEnd && !c.partingExplained;
    return c;
}

std::string comparisonText(const Comparison& c, const Results& a, const Results& b,
                           const CompareOptions& o) {
    std::string out = "archived: " + a.file + " (sha256 " + a.sha256 + ")\nnew:      " + b.file +
                      " (sha256 " + b.sha256 + ")\n";
    out += "agree when: ";
    if (o.relative == 0 && o.absolute == 0) out += "printed alike\n";
    else out += "absolute difference <= " + fmt(o.absolute) + " or relative difference <= " +
                fmt(o.relative) + "\n";
    if (o.floor > 0)
        out += "round-off: a difference of at most " + fmt(o.floor) +
               " times its table's largest number (not counted)\n";

    // How each run ended, first.
    auto ending = [](const Results& r) {
        return std::string(r.end.complete ? "complete" : "not complete") + ", " + r.end.where;
    };
    out += "\nhow the runs end" + std::string(c.archivedEnd != c.newEnd ? " (differently):\n" : ":\n");
    out += "    archived " + c.archivedEnd + "; " + ending(a) + "\n";
    out += "    new      " + c.newEnd + "; " + ending(b) + "\n";
    for (const auto& [label, r] : {std::pair<const char*, const Results*>{"archived", &a}, {"new     ", &b}})
        if (r->end.afterEnd.line)
            out += "    " + std::string(label) + " text after the end of the run, line " +
                   std::to_string(r->end.afterEnd.line) + ": \"" + r->end.afterEnd.text + "\"\n";

    // A table a line.
    out += "\n";
    for (const TableTally& t : c.tables) {
        char buf[200];
        std::snprintf(buf, sizeof buf, "  %-12s %4d of %4d agree, %3d differ", t.name.c_str(), t.agree,
                      t.count, t.differ);
        out += buf;
        if (t.largestAbsolute)
            out += "; largest absolute " + fmt(*t.largestAbsolute) + ", relative " +
                   (t.largestRelative && std::isinf(*t.largestRelative) ? std::string("infinite")
                                                                        : fmt(t.largestRelative.value_or(0)));
        if (t.roundOff) out += "; " + std::to_string(t.roundOff) + " round-off";
        if (t.explained) out += "; " + std::to_string(t.explained) + " differ as explained";
        out += "\n";
    }
    auto list = [&](const std::vector<Difference>& ds) {
        for (const Difference& d : ds) {
            out += "\n  " + d.name + " (" + d.table + ")\n";
            auto side = [&](const char* label, const std::string& text, int line) {
                char buf[160];
                if (line == 0) std::snprintf(buf, sizeof buf, "    %-9s %14s\n", label, "(not printed)");
                else std::snprintf(buf, sizeof buf, "    %-9s %14s   line %d\n", label, text.c_str(), line);
                out += buf;
            };
            side("archived", d.archivedText, d.archivedLine);
            side("new", d.newText, d.newLine);
            if (!d.marks.empty()) {
                std::size_t width = std::max(d.archivedText.size(), d.newText.size());
                out += "    " + std::string(10 + 14 - width, ' ') + d.marks + "\n";
            }
            if (d.absolute)
                out += "    absolute difference " + fmt(*d.absolute) + ", relative " +
                       (std::isinf(*d.relative) ? std::string("infinite") : fmt(*d.relative)) +
                       (std::isfinite(d.scaled) ? ", " + fmt(d.scaled) + " of the table's largest" : "") + "\n";
            if (!d.why.empty()) out += "    explained: " + d.why + "\n";
        }
    };
    if (!c.differences.empty()) {
        out += "\ndifferences, largest first (to the largest number of their table):\n";
        list(c.differences);
    }
    if (c.parting) {
        const Parting& p = *c.parting;
        out += "\nthe dialogues part";
        if (!p.after.empty()) out += " after \"" + p.after + "\"";
        out += ":\n";
        out += "    archived " + (p.archived.line ? "line " + std::to_string(p.archived.line) + ": \"" +
                                                        p.archived.text + "\""
                                                  : std::string("(ends)")) + "\n";
        out += "    new      " + (p.fresh.line ? "line " + std::to_string(p.fresh.line) + ": \"" +
                                                     p.fresh.text + "\""
                                               : std::string("(ends)")) + "\n";
        if (!p.why.empty()) out += "    explained: " + p.why + "\n";
    }
    if (!c.roundOff.empty()) {
        out += "\nround-off, below the floor (not counted): " + std::to_string(c.roundOff.size()) + "\n";
        list(c.roundOff);
    }
    if (!c.explained.empty()) {
        out += "\nexplained differences of the legacy program (not counted): " +
               std::to_string(c.explained.size()) + "\n";
        list(c.explained);
    }
    std::size_t counted = c.differences.size() + (c.parting && !c.partingExplained ? 1 : 0) +
                          (c.endsDiffer ? 1 : 0) + (c.afterEndDiffers ? 1 : 0);
    out += "\n";
    out += c.agree() ? "agree\n" : std::to_string(counted) + " difference(s)\n";
    return out;
}

}  // namespace kit
