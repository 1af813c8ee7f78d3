#include "kit/results.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kit {
namespace {

constexpr std::string_view BANNER = "Viscoelastic laminate code, rev 9/11/99";
constexpr std::string_view STIFFNESS_HEADING = "laminate stiffness matrix:";
constexpr std::string_view COMPLIANCE_HEADING = "laminate compliance matrix:";
constexpr std::string_view DEFORMATION_HEADING = "midplane strains:";
constexpr std::string_view ROTATIONS_HEADING = "rotations:";
constexpr std::string_view STRESS_HEADING = " ply     sigma-1     sigma-2    sigma-12";
constexpr std::string_view RELAXATION_PROMPT = "Enter relaxation time";
constexpr std::string_view REPORT_START = "run-time error ";

constexpr const char* DEFORMATIONS[6] = {"eps-xx", "eps-yy", "eps-xy",
                                         "kappa-xx", "kappa-yy", "kappa-xy"};
// The label of each strain and curvature line as printed; kappa-yy has its blank after the
// equals sign.
constexpr std::string_view DEFORMATION_LABELS[6] = {"  eps-xx =", "  eps-yy =", "  eps-xy =",
                                                    "  kappa-xx =", "  kappa-yy= ", "  kappa-xy ="};

// No table line is longer than the relaxation rows (83 characters); a longer line is kept
// only in part, which is enough to tell that it is none of them.
constexpr std::size_t KEPT_LINE_LENGTH = 256;
constexpr std::size_t MAX_DIALOGUE_LINES = 20000;
// The program prints a few hundred numbers at most; a file that seems to hold more (a
// legacy run that printed its first relaxation row for ever, say) is read this far.
constexpr std::size_t MAX_QUANTITIES = 20000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view stripLeadingBlanks(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    return s.substr(i);
}

bool allOf(std::string_view s, char c) {
    if (s.empty()) return false;
    for (char x : s)
        if (x != c) return false;
    return true;
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char x : s)
        if (!isDigit(x)) return false;
    return true;
}

// A field of a fixed layout holds no line end (a CR within a line is not part of a field).
bool plainField(std::string_view s) { return s.find('\r') == std::string_view::npos; }

std::optional<std::optional<double>> readIntegerField(std::string_view field) {
    if (!plainField(field)) return std::nullopt;
    std::string_view text = stripLeadingBlanks(field);
    if (allOf(text, '*')) return std::optional<double>();
    std::string_view digits = !text.empty() && text[0] == '-' ? text.substr(1) : text;
    if (!allDigits(digits)) return std::nullopt;
    std::string copy(text);
    return std::optional<double>(std::strtod(copy.c_str(), nullptr));
}

std::string_view trimmedText(std::string_view field) { return stripLeadingBlanks(field); }

std::string index2(int i, int j) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "[%d,%d]", i, j);
    return buf;
}

}  // namespace

std::optional<std::optional<double>> readRealField(std::string_view field) {
    if (!plainField(field)) return std::nullopt;
    std::string_view text = stripLeadingBlanks(field);
    if (allOf(text, '*')) return std::optional<double>();
    // -?.DIGITS then E or D and a signed exponent, or a sign and three exponent digits.
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    if (i >= text.size() || text[i] != '.') return std::nullopt;
    ++i;
    std::size_t digitsStart = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    std::string_view digits = text.substr(digitsStart, i - digitsStart);
    if (digits.empty() || i >= text.size()) return std::nullopt;
    std::string_view exponent;
    if (text[i] == 'E' || text[i] == 'D') {
        exponent = text.substr(i + 1);
        if (exponent.size() < 2 || (exponent[0] != '+' && exponent[0] != '-') ||
            !allDigits(exponent.substr(1)))
            return std::nullopt;
    } else {
        exponent = text.substr(i);
        if (exponent.size() != 4 || (exponent[0] != '+' && exponent[0] != '-') ||
            !allDigits(exponent.substr(1)))
            return std::nullopt;
    }
    // The decimal text's nearest double, as any correctly rounding conversion gives it.
    std::string number = std::string(negative ? "-" : "") + "0." + std::string(digits) + "e" +
                         std::string(exponent);
    return std::optional<double>(std::strtod(number.c_str(), nullptr));
}

const char* kindName(QuantityKind kind) {
    switch (kind) {
    case QuantityKind::Printed: return "printed";
    case QuantityKind::Input: return "input";
    case QuantityKind::Derived: return "derived";
    }
    return "printed";
}

namespace {

// "[N]" with N a whole number from 1, written without leading zeros; "[last]" too when allowed.
// Returns what follows it, or nullopt.
std::optional<std::string_view> index(std::string_view s, bool last) {
    if (s.empty() || s[0] != '[') return std::nullopt;
    std::size_t close = s.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view n = s.substr(1, close - 1);
    bool number = !n.empty() && n.size() <= 9 && n[0] != '0' && allDigits(n);
    if (!number && !(last && n == "last")) return std::nullopt;
    return s.substr(close + 1);
}

bool oneOf(std::string_view s, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (s == n) return true;
    return false;
}

}  // namespace

bool isQuantityName(std::string_view name) {
    const std::initializer_list<std::string_view> DEFORMATION = {
        "eps-xx", "eps-yy", "eps-xy", "kappa-xx", "kappa-yy", "kappa-xy"};
    if (oneOf(name, DEFORMATION)) return true;
    if (oneOf(name, {"nx", "ny", "nxy", "mx", "my", "mxy", "relaxation-time", "pause",
                     "thickness", "Ex", "Ey", "Gxy", "nuxy", "nuyx", "Efx", "Efy", "Gfxy"}))
        return true;
    for (std::string_view matrix : {"stiffness", "compliance"})
        if (name.substr(0, matrix.size()) == matrix) {
            std::string_view rest = name.substr(matrix.size());
            return rest.size() == 5 && rest[0] == '[' && rest[1] >= '1' && rest[1] <= '6' &&
                   rest[2] == ',' && rest[3] >= '1' && rest[3] <= '6' && rest[4] == ']';
        }
    auto indexed = [&](std::string_view prefix, bool last) -> std::optional<std::string_view> {
        if (name.substr(0, prefix.size()) != prefix) return std::nullopt;
        return index(name.substr(prefix.size()), last);
    };
    if (auto rest = indexed("ply", false))
        return oneOf(*rest, {".number", ".sigma-1", ".sigma-2", ".sigma-12", ".set", ".angle"});
    if (auto rest = indexed("relaxation", true)) {
        if (*rest == ".time") return true;
        return !rest->empty() && (*rest)[0] == '.' && oneOf(rest->substr(1), DEFORMATION);
    }
    if (auto rest = indexed("set", false))
        return oneOf(*rest, {".e1", ".e2", ".nu12", ".g12", ".thickness", ".creep-fraction"});
    if (auto rest = indexed("answer", false)) return rest->empty();
    return false;
}

int Results::relaxationRows() const {
    for (const TableSummary& t : tables)
        if (t.name == "relaxation") return t.count / 7;
    return 0;
}

const Quantity* Results::find(std::string_view name) const {
    std::string wanted(name);
    constexpr std::string_view LAST = "relaxation[last].";
    if (wanted.compare(0, LAST.size(), LAST) == 0) {
        int rows = relaxationRows();
        if (rows == 0) return nullptr;
        wanted = "relaxation[" + std::to_string(rows) + "]." + wanted.substr(LAST.size());
    }
    // The last one of a name: an answer that the program refused and asked again for is
    // followed by the one it took.
    for (auto it = quantities.rbegin(); it != quantities.rend(); ++it)
        if (it->name == wanted) return &*it;
    return nullptr;
}

ResultsReader::ResultsReader(std::string file) { results_.file = std::move(file); }

void ResultsReader::feed(std::string_view bytes) {
    digest_.update(bytes);
    if (!bytes.empty()) anyBytes_ = true;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t lf = bytes.find('\n', start);
        std::string_view piece = bytes.substr(start, lf == std::string_view::npos ? bytes.npos
                                                                                  : lf - start);
        if (!failed()) {
            std::size_t room = KEPT_LINE_LENGTH + 1 - std::min(pending_.size(), KEPT_LINE_LENGTH + 1);
            if (piece.size() > room) pendingTruncated_ = true;
            pending_.append(piece.substr(0, std::min(room, piece.size())));
        }
        if (lf == std::string_view::npos) {
            lastByteWasLineEnd_ = false;
            break;
        }
        lastByteWasLineEnd_ = true;
        ++lineNumber_;
        if (!failed()) {
            if (!pending_.empty() && pending_.back() == '\r' && !pendingTruncated_) pending_.pop_back();
            line(pending_, pendingTruncated_);
        }
        pending_.clear();
        pendingTruncated_ = false;
        start = lf + 1;
    }
}

void ResultsReader::startTable(const std::string& name) {
    table_ = name;
    tableRows_ = 0;
    results_.tables.push_back({name, 0, lineNumber_});
}

void ResultsReader::endTable() {
    state_ = state_ == State::Relaxation || state_ == State::RelaxationFirst
                 ? State::AfterRelaxation
                 : State::Dialogue;
    table_.clear();
}

void ResultsReader::add(std::string name, std::string_view field, std::optional<double> value) {
    if (results_.quantities.size() >= MAX_QUANTITIES) {
        if (results_.quantities.size() == MAX_QUANTITIES) {
            results_.warnings.push_back("line " + std::to_string(lineNumber_) + ": more than " +
                                        std::to_string(MAX_QUANTITIES) +
                                        " numbers; the rest are not read");
            results_.quantities.emplace_back();  // a marker: warned once
        }
        return;
    }
    Quantity q;
    q.name = std::move(name);
    q.table = table_;
    q.text = std::string(trimmedText(field));
    q.value = value;
    q.line = lineNumber_;
    results_.quantities.push_back(std::move(q));
    results_.tables.back().count++;
}

bool ResultsReader::relaxationRow(std::string_view text) {
    if (text.size() != 11 + 6 * 12) return false;
    std::optional<double> values[7];
    for (int c = 0; c < 7; ++c) {
        std::string_view field = c == 0 ? text.substr(0, 11) : text.substr(11 + 12 * (c - 1), 12);
        auto v = readRealField(field);
        if (!v) return false;
        values[c] = *v;
    }
    ++tableRows_;
    std::string row = "relaxation[" + std::to_string(tableRows_) + "].";
    for (int c = 0; c < 7; ++c) {
        std::string_view field = c == 0 ? text.substr(0, 11) : text.substr(11 + 12 * (c - 1), 12);
        add(row + (c == 0 ? "time" : DEFORMATIONS[c - 1]), field, values[c]);
    }
    return true;
}

void ResultsReader::dialogueLine(std::string_view text) {
    if (text.compare(0, REPORT_START.size(), REPORT_START) == 0) {
        // The run's report, in a file that holds standard error too (2>&1).
        reportLines_.assign(1, std::string(text));
        state_ = State::Report;
        return;
    }
    if (state_ == State::AfterRelaxation) {
        if (!text.empty() && results_.warnings.empty())
            results_.warnings.push_back("line " + std::to_string(lineNumber_) +
                                        ": text after the relaxation table, the end of a run");
        return;
    }
    if (results_.dialogue.size() < MAX_DIALOGUE_LINES && !text.empty())
        results_.dialogue.push_back({std::string(text), lineNumber_});
    if (text == STIFFNESS_HEADING || text == COMPLIANCE_HEADING) {
        matrixKind_ = text == STIFFNESS_HEADING ? 0 : 1;
        bool seen = false;
        for (const TableSummary& t : results_.tables)
            if (t.name == (matrixKind_ == 0 ? "stiffness" : "compliance")) seen = true;
        if (!seen) {
            startTable(matrixKind_ == 0 ? "stiffness" : "compliance");
            state_ = State::Matrix;
        }
    } else if (text == DEFORMATION_HEADING) {
        startTable("deformation");
        state_ = State::Deformation;
    } else if (text == STRESS_HEADING) {
        startTable("stresses");
        state_ = State::Stresses;
    } else if (text == RELAXATION_PROMPT && !sawRelaxationPrompt_) {
        sawRelaxationPrompt_ = true;
        startTable("relaxation");
        state_ = State::RelaxationFirst;
        heldLine_.clear();
        heldLineNumber_ = 0;
    }
}

void ResultsReader::line(std::string_view text, bool truncated) {
    if (!text.empty() && !truncated) {
        lastContentLine_ = lineNumber_;
        lastContentText_ = std::string(text);
    } else if (!text.empty()) {
        lastContentLine_ = lineNumber_;
        lastContentText_ = std::string(text.substr(0, 60)) + "...";
    }
    if (truncated && state_ != State::Start) text = text.substr(0, KEPT_LINE_LENGTH);
    switch (state_) {
    case State::Start:
        if (text.empty()) return;
        if (text != BANNER) {
            results_.error = "not a results file of lamvis2: its first line that holds anything "
                             "is not the program's banner \"" + std::string(BANNER) + "\"";
            results_.errorLine = lineNumber_;
            return;
        }
        results_.dialogue.push_back({std::string(text), lineNumber_});
        state_ = State::Dialogue;
        return;
    case State::Report:
        if (reportLines_.size() == 1 && text.compare(0, 2, "- ") == 0) {
            reportLines_.push_back(std::string(text));
            return;
        }
        state_ = sawRelaxationPrompt_ ? State::AfterRelaxation : State::Dialogue;
        if (text.empty()) return;
        dialogueLine(text);
        return;
    case State::Dialogue:
    case State::AfterRelaxation:
        dialogueLine(text);
        return;
    case State::Matrix: {
        if (text.compare(0, REPORT_START.size(), REPORT_START) == 0) break;
        if (text.empty() && (tableRows_ == 0 || tableRows_ == 3)) return;
        // Three blanks (the fourth of the format's four went as carriage control), three
        // fields of 12, two blanks, three fields of 12.
        bool row = text.size() == 3 + 36 + 2 + 36 && text.substr(0, 3) == "   " &&
                   text.substr(39, 2) == "  ";
        std::optional<double> values[6];
        for (int c = 0; row && c < 6; ++c) {
            auto v = readRealField(text.substr(c < 3 ? 3 + 12 * c : 41 + 12 * (c - 3), 12));
            if (!v) row = false;
            else values[c] = *v;
        }
        if (!row) break;
        ++tableRows_;
        std::string base = matrixKind_ == 0 ? "stiffness" : "compliance";
        for (int c = 0; c < 6; ++c)
            add(base + index2(tableRows_, c + 1),
                text.substr(c < 3 ? 3 + 12 * c : 41 + 12 * (c - 3), 12), values[c]);
        if (tableRows_ == 6) endTable();
        return;
    }
    case State::Deformation: {
        if (text.compare(0, REPORT_START.size(), REPORT_START) == 0) break;
        if (text.empty() || (text == ROTATIONS_HEADING && tableRows_ == 3)) return;
        std::string_view label = DEFORMATION_LABELS[tableRows_];
        if (text.size() != label.size() + 12 || text.substr(0, label.size()) != label) break;
        auto v = readRealField(text.substr(label.size()));
        if (!v) break;
        add(DEFORMATIONS[tableRows_], text.substr(label.size()), *v);
        if (++tableRows_ == 6) endTable();
        return;
    }
    case State::Stresses: {
        if (text.compare(0, REPORT_START.size(), REPORT_START) == 0) break;
        if (text.empty() && tableRows_ == 0) return;
        // Two blanks, the ply number in two columns, three fields of 12.
        if (text.size() != 2 + 2 + 36 || text.substr(0, 2) != "  ") break;
        auto ply = readIntegerField(text.substr(2, 2));
        std::optional<double> values[3];
        bool row = ply.has_value();
        for (int c = 0; row && c < 3; ++c) {
            auto v = readRealField(text.substr(4 + 12 * c, 12));
            if (!v) row = false;
            else values[c] = *v;
        }
        if (!row) break;
        ++tableRows_;
        std::string base = "ply[" + std::to_string(tableRows_) + "].";
        add(base + "number", text.substr(2, 2), *ply);
        add(base + "sigma-1", text.substr(4, 12), values[0]);
        add(base + "sigma-2", text.substr(16, 12), values[1]);
        add(base + "sigma-12", text.substr(28, 12), values[2]);
        return;
    }
    case State::RelaxationFirst: {
        if (text.compare(0, REPORT_START.size(), REPORT_START) == 0) break;
        if (heldLineNumber_ == 0) {
            if (relaxationRow(text)) {
                state_ = State::Relaxation;
                return;
            }
            // A copy of a terminal's screen has the typed time on the line after the prompt.
            heldLine_ = std::string(text);
            heldLineNumber_ = lineNumber_;
            return;
        }
        if (relaxationRow(text)) {
            state_ = State::Relaxation;
            return;
        }
        std::string held = heldLine_;
        heldLineNumber_ = 0;
        endTable();
        int now = lineNumber_;
        lineNumber_ = now - 1;
        dialogueLine(held);
        lineNumber_ = now;
        if (state_ == State::Report) line(text, false);
        else dialogueLine(text);
        return;
    }
    case State::Relaxation:
        if (text.compare(0, REPORT_START.size(), REPORT_START) == 0) break;
        if (relaxationRow(text)) return;
        break;
    }
    // The line ends the table it was read in; it belongs to what follows.
    endTable();
    dialogueLine(text);
}

namespace {

// The report in what a run wrote to standard error: the line "run-time error ..." and the
// message line "- ..." after it.
std::optional<std::string> reportIn(std::string_view err) {
    std::size_t at = err.find(REPORT_START);
    if (at == std::string_view::npos) return std::nullopt;
    std::string report;
    std::size_t lineEnd = err.find('\n', at);
    std::string_view first = err.substr(at, lineEnd == err.npos ? err.npos : lineEnd - at);
    if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
    report = std::string(first);
    if (lineEnd != err.npos) {
        std::string_view rest = err.substr(lineEnd + 1);
        std::size_t e2 = rest.find('\n');
        std::string_view second = rest.substr(0, e2);
        if (!second.empty() && second.back() == '\r') second.remove_suffix(1);
        if (second.compare(0, 2, "- ") == 0) {
            report += '\n';
            report.append(second);
        }
    }
    return report;
}

}  // namespace

Results ResultsReader::finish(std::optional<std::string_view> stderrText,
                              std::optional<int> exitStatus) {
    if (!lastByteWasLineEnd_) {
        ++lineNumber_;
        if (!failed()) line(pending_, pendingTruncated_);
        pending_.clear();
    }
    results_.sha256 = digest_.hexDigest();
    if (!results_.quantities.empty() && results_.quantities.back().name.empty())
        results_.quantities.pop_back();  // the marker of the cap
    if (!failed() && state_ == State::Start) {
        results_.error = anyBytes_ ? "not a results file of lamvis2: it holds no line but empty ones"
                                   : "not a results file of lamvis2: it is empty";
        results_.errorLine = lineNumber_ > 0 ? lineNumber_ : 1;
    }
    if (failed()) return std::move(results_);
    if (state_ == State::RelaxationFirst && heldLineNumber_ != 0) {
        std::string held = heldLine_;
        heldLineNumber_ = 0;
        endTable();
        dialogueLine(held);
    }

    RunEnd& end = results_.end;
    end.cutShort = anyBytes_ && !lastByteWasLineEnd_;
    end.line = lastContentLine_;
    if (stderrText) end.report = reportIn(*stderrText);
    else if (!reportLines_.empty()) {
        std::string r = reportLines_[0];
        if (reportLines_.size() > 1) r += "\n" + reportLines_[1];
        end.report = r;
    }
    bool inTable = !table_.empty() && state_ != State::Relaxation &&
                   state_ != State::RelaxationFirst;
    if (exitStatus) {
        end.exitStatus = *exitStatus;
        end.complete = *exitStatus == 0 && !end.report;
    } else {
        end.complete = sawRelaxationPrompt_ && !end.report && !end.cutShort;
        end.exitStatus = end.complete ? 0 : 1;
    }
    std::string last = "line " + std::to_string(lastContentLine_) + " \"" + lastContentText_ + "\"";
    if (end.complete) {
        end.where = "the end of the relaxation table (" +
                    std::to_string(results_.relaxationRows()) + " rows), " + last;
    } else if (end.cutShort) {
        end.where = "the file is cut short: its last line, " + std::to_string(lineNumber_) +
                    ", has no line end";
    } else if (inTable) {
        end.where = "in the " + table_ + " table after " +
                    std::to_string(results_.tables.back().count) + " numbers, " + last;
    } else if (lastContentLine_ > 0) {
        end.where = "after " + last;
    } else {
        end.where = "before anything was printed";
    }
    if (end.report) {
        std::string first = end.report->substr(0, end.report->find('\n'));
        end.where = "a report (" + first + ") " + end.where;
    }
    return std::move(results_);
}

Results readResults(std::string file, std::string_view bytes,
                    std::optional<std::string_view> stderrText, std::optional<int> exitStatus) {
    ResultsReader reader(std::move(file));
    reader.feed(bytes);
    return reader.finish(stderrText, exitStatus);
}

}  // namespace kit
