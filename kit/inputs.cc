#include "kit/inputs.h"

#include <algorithm>
#include <cstdlib>

namespace kit {
namespace {

std::string lastLine(std::string_view out) {
    // What the run printed before it stopped ends with the prompt's line and its line end.
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.remove_suffix(1);
    std::size_t lf = out.rfind('\n');
    std::string_view last = lf == out.npos ? out : out.substr(lf + 1);
    if (!last.empty() && last.back() == '\r') last.remove_suffix(1);
    return std::string(last);
}

// The number in the line "Material set           m: " or in "... ply number  k: ".
int numberBefore(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size() || text.substr(text.size() - suffix.size()) != suffix) return 0;
    std::string_view body = text.substr(0, text.size() - suffix.size());
    std::size_t i = body.size();
    while (i > 0 && body[i - 1] >= '0' && body[i - 1] <= '9') --i;
    if (i == body.size()) return 0;
    return std::atoi(std::string(body.substr(i)).c_str());
}

struct PromptName {
    std::string_view prompt;
    const char* name;
};

constexpr PromptName SET_PROMPTS[] = {
    {"Enter modulus in fiber direction (-1 to stop): ", "e1"},
    {"Enter modulus in transverse direction: ", "e2"},
    {"Enter principal Poisson ratio: ", "nu12"},
    {"Enter shear modulus: ", "g12"},
    {"Enter ply thickness: ", "thickness"},
    {"Enter creep fraction: ", "creep-fraction"},
};
constexpr PromptName LOAD_PROMPTS[] = {
    {"   Nx: ", "nx"}, {"   Ny: ", "ny"}, {"  Nxy: ", "nxy"},
    {"   Mx: ", "mx"}, {"   My: ", "my"}, {"  Mxy: ", "mxy"},
};

// The value of an answer whose first item is a plain decimal number; none otherwise (the
// program's own reading of repeat counts, null values and the like is not repeated here).
std::optional<double> plainValue(std::string_view answer) {
    std::size_t i = 0;
    while (i < answer.size() && (answer[i] == ' ' || answer[i] == '\t')) ++i;
    std::size_t j = i;
    while (j < answer.size() && answer[j] != ' ' && answer[j] != '\t' && answer[j] != ',' &&
           answer[j] != '/' && answer[j] != '\r')
        ++j;
    std::string item(answer.substr(i, j - i));
    if (item.empty() || item.size() > 64) return std::nullopt;
    for (char& c : item) {
        if (c == 'd' || c == 'D') c = 'e';
        bool ok = (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E';
        if (!ok) return std::nullopt;
    }
    char* end = nullptr;
    double v = std::strtod(item.c_str(), &end);
    if (end != item.c_str() + item.size()) return std::nullopt;
    return v;
}

}  // namespace

std::vector<std::string> answerLines(std::string_view answers) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < answers.size()) {
        std::size_t lf = answers.find('\n', start);
        if (lf == answers.npos) {
            lines.emplace_back(answers.substr(start));
            break;
        }
        lines.emplace_back(answers.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

bool wantedInput(int status, std::string_view err) {
    return status == 1 && err.find("F6501") != std::string_view::npos;
}

bool parseReadTrace(std::string_view text, std::vector<TracedRead>& reads, std::string& error) {
    std::vector<std::string> lines = answerLines(text);
    if (lines.empty() || lines[0] != READ_TRACE_FIRST_LINE) {
        error = "the program wrote no read trace (it is older than this kit, or not lamvis2)";
        return false;
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        TracedRead r;
        long long* fields[3] = {&r.statement, &r.outputBytes, &r.line};
        std::string_view rest = lines[i];
        bool ok = true;
        for (int f = 0; f < 3 && ok; ++f) {
            std::size_t n = 0;
            while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') ++n;
            ok = n > 0 && n <= 18 && (f == 2 ? n == rest.size() : n < rest.size() && rest[n] == ' ');
            if (!ok) break;
            *fields[f] = std::atoll(std::string(rest.substr(0, n)).c_str());
            rest.remove_prefix(std::min(rest.size(), n + 1));
        }
        if (!ok) {
            error = "line " + std::to_string(i + 1) + " of the program's read trace is not one of it";
            return false;
        }
        reads.push_back(r);
    }
    return true;
}

InputPairing pairInputs(const std::vector<std::string>& lines, std::string_view out,
                        const std::vector<TracedRead>& reads, bool wantedInput) {
    InputPairing pairing;
    // The reads come in order: statements and lines growing, the output never shrinking.
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const TracedRead& r = reads[i];
        const TracedRead* before = i > 0 ? &reads[i - 1] : nullptr;
        // The last may be the line after the last, which the run did not find.
        const std::size_t highest = lines.size() + (i + 1 == reads.size() ? 1 : 0);
        bool ok = r.line >= 1 && static_cast<std::size_t>(r.line) <= highest &&
                  static_cast<std::size_t>(r.outputBytes) <= out.size() && r.statement >= 1 &&
                  (!before || (r.line > before->line && r.statement >= before->statement &&
                               r.outputBytes >= before->outputBytes));
        if (!ok) {
            pairing.error = "the program's read trace does not fit its run (read " +
                            std::to_string(i + 1) + ")";
            return pairing;
        }
    }
    int setNumber = 0;
    int plyNumber = 0;
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const TracedRead& r = reads[i];
        // A line that its statement took before another is one it skipped; so are those of
        // the last statement of a run that ended for want of input.
        if (i + 1 < reads.size() && reads[i + 1].statement == r.statement) continue;
        if (i + 1 == reads.size() && (wantedInput || static_cast<std::size_t>(r.line) > lines.size()))
            break;
        const std::size_t k = static_cast<std::size_t>(r.line - 1);
        std::string_view before = out.substr(0, static_cast<std::size_t>(r.outputBytes));
        std::string prompt = lastLine(before);
        // The material set and ply numbers come from the prompts before it.
        std::size_t setAt = before.rfind("Material set ");
        if (setAt != before.npos) {
            std::size_t e = before.find('\n', setAt);
            std::string_view l = before.substr(setAt, e == before.npos ? before.npos : e - setAt);
            if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
            setNumber = numberBefore(l, ": ");
        }
        std::string name;
        for (const PromptName& p : SET_PROMPTS)
            if (prompt == p.prompt) name = "set[" + std::to_string(setNumber) + "]." + p.name;
        for (const PromptName& p : LOAD_PROMPTS)
            if (prompt == p.prompt) name = p.name;
        if (name.empty()) {
            if (int ply = numberBefore(prompt, ": ");
                ply > 0 && prompt.rfind("enter material set number for ply number", 0) == 0) {
                plyNumber = ply;
                name = "ply[" + std::to_string(ply) + "].set";
            } else if (prompt == "enter ply angle: ") {
                name = "ply[" + std::to_string(plyNumber) + "].angle";
            } else if (prompt == "Enter relaxation time") {
                name = "relaxation-time";
            } else if (prompt == "Singular matrix.") {
                name = "pause";
            } else {
                name = "answer[" + std::to_string(pairing.inputs.size() + 1) + "]";
            }
        }
        Quantity q;
        q.name = name;
        q.kind = QuantityKind::Input;
        q.table = "dialogue";
        q.answer = lines[k];
        if (!q.answer.empty() && q.answer.back() == '\r') q.answer.pop_back();
        q.text = q.answer;
        q.value = plainValue(q.answer);
        q.line = static_cast<int>(k + 1);
        q.prompt = prompt;
        pairing.inputs.push_back(std::move(q));
    }
    // The lines after the last one the run began to take it did not read.
    std::size_t taken =
        reads.empty() ? 0 : std::min(lines.size(), static_cast<std::size_t>(reads.back().line));
    pairing.unusedLines = static_cast<int>(lines.size() - taken);
    pairing.endedEarly = wantedInput;


    // What the prompt after each answer shows of it.
    for (std::size_t i = 0; i < pairing.inputs.size(); ++i) {
        Quantity& q = pairing.inputs[i];
        const std::string next = i + 1 < pairing.inputs.size() ? pairing.inputs[i + 1].name : "";
        auto ends = [&](std::string_view suffix) {
            return q.name.size() >= suffix.size() &&
                   q.name.compare(q.name.size() - suffix.size(), suffix.size(), suffix) == 0;
        };
        if (next.empty()) continue;
        if (next == q.name) q.note = "not taken: the program asked for it again";
        else if (ends(".e1") && next != q.name.substr(0, q.name.size() - 3) + ".e2")
            q.note = "ends the material sets";
        else if (ends(".set") && next != q.name.substr(0, q.name.size() - 4) + ".angle")
            q.note = "ends the layup";
    }
    return pairing;
}

}  // namespace kit
