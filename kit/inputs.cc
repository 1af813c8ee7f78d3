#include "kit/inputs.h"

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

std::vector<std::size_t> answerPrefixEnds(std::string_view answers) {
    std::vector<std::size_t> ends{0};
    std::size_t lines = answerLines(answers).size();
    for (std::size_t at = 0, k = 0; k < lines; ++k) {
        at = answers.find('\n', at);
        at = at == std::string_view::npos ? answers.size() : at + 1;
        ends.push_back(at);
    }
    return ends;
}

bool wantedInput(int status, std::string_view err) {
    return status == 1 && err.find("F6501") != std::string_view::npos;
}

InputPairing pairInputs(const std::vector<std::string>& lines, const std::vector<PrefixRun>& runs) {
    InputPairing pairing;
    if (runs.size() != lines.size() + 1) {
        pairing.error = "one run for each number of lines is needed";
        return pairing;
    }
    int setNumber = 0;
    int plyNumber = 0;
    std::size_t k = 0;
    for (; k < lines.size(); ++k) {
        const PrefixRun& before = runs[k];
        const PrefixRun& after = runs[k + 1];
        if (!before.wantedInput) break;  // the run ended before this line
        // What the run printed up to a read is the start of every longer run's output.
        if (after.out.compare(0, before.out.size(), before.out) != 0) {
            pairing.error = "the program's output on the first " + std::to_string(k + 1) +
                            " lines does not begin with its output on the first " +
                            std::to_string(k) + " (is the program deterministic?)";
            return pairing;
        }
        if (after.wantedInput && after.out == before.out) continue;  // skipped: still waiting
        // Line k + 1 answered the read at which the run on k lines stopped.
        std::string prompt = lastLine(before.out);
        // The material set and ply numbers come from the prompts before it.
        std::string_view out = before.out;
        std::size_t setAt = out.rfind("Material set ");
        if (setAt != out.npos) {
            std::size_t e = out.find('\n', setAt);
            std::string_view l = out.substr(setAt, e == out.npos ? out.npos : e - setAt);
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
        if (!after.wantedInput) {
            ++k;
            break;  // this answer ended the run (its last read, or a value it refused)
        }
    }
    pairing.unusedLines = static_cast<int>(lines.size() - k);
    pairing.endedEarly = k == lines.size() && runs.back().wantedInput;

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
