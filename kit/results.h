// The results reader: every number that a results file of lamvis2 prints, read from its
// printed field, with its name (doc/names.md), its text as printed, its value, its table and
// its line; the tables in the order printed; where the run ended. The file is fed in pieces
// of any size and read a line at a time, keeping only a bounded part of each line and of the
// dialogue, so that memory stays bounded whatever the file holds. No file or process calls:
// this part also builds for WebAssembly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/sha256.h"

namespace kit {

enum class QuantityKind { Printed, Input, Derived };

struct Quantity {
    std::string name;
    QuantityKind kind = QuantityKind::Printed;
    std::string table;         // the table it belongs to ("stiffness", ..., "dialogue", "derived")
    std::string text;          // the field as printed (blanks before it included), or the answer
    std::optional<double> value;  // none for a field of asterisks or an answer that is no number
    int line = 0;              // line of the results file (inputs: of the answer file)
    std::string note;
    std::string prompt;        // inputs: the prompt the answer was given to
    std::string answer;        // inputs: the answer line as in the answer file
};

struct TableSummary {
    std::string name;
    int count = 0;   // numbers read from it
    int line = 0;    // line of its heading
};

// A line of the dialogue (anything outside the tables): prompts, headings, messages.
struct DialogueLine {
    std::string text;
    int line = 0;
};

struct RunEnd {
    bool complete = false;              // reached the end of the relaxation table, no report
    std::optional<std::string> report;  // the run-time error report, lines joined by "\n"
    int exitStatus = 1;                 // the exit status this implies
    std::string where;                  // where the run ended, in words
    int line = 0;                       // the last line that holds anything
    bool cutShort = false;              // the file does not end with a line end
};

struct Results {
    std::string file;
    std::string sha256;
    std::vector<TableSummary> tables;
    std::vector<Quantity> quantities;
    std::vector<DialogueLine> dialogue;
    RunEnd end;
    std::vector<std::string> warnings;
    // A file that is not a results file: what is wrong and on which line (0: none).
    std::string error;
    int errorLine = 0;
    bool ok() const { return error.empty(); }

    const Quantity* find(std::string_view name) const;  // "relaxation[last].x" resolved
    int relaxationRows() const;
};

// Reads one printed real field (E form, or asterisks): nullopt when `field` is not one;
// otherwise the value, itself nullopt for asterisks.
std::optional<std::optional<double>> readRealField(std::string_view field);

class ResultsReader {
public:
    explicit ResultsReader(std::string file);
    void feed(std::string_view bytes);
    // Ends the file; `stderrText`, when given, is what the run wrote to standard error.
    Results finish(std::optional<std::string_view> stderrText = std::nullopt,
                   std::optional<int> exitStatus = std::nullopt);

    // The reader gives up on a file that is not a results file at once: feeding more
    // changes nothing (the digest goes on).
    bool failed() const { return !results_.error.empty(); }

private:
    enum class State { Start, Dialogue, Matrix, Deformation, Stresses,
                       RelaxationFirst, Relaxation, AfterRelaxation, Report };
    void line(std::string_view text, bool truncated);
    void dialogueLine(std::string_view text);
    void startTable(const std::string& name);
    void endTable();
    void add(std::string name, std::string_view field, std::optional<double> value);
    bool relaxationRow(std::string_view text);

    Results results_;
    Sha256 digest_;
    std::string pending_;     // the part of the current line kept so far
    bool pendingTruncated_ = false;
    bool lastByteWasLineEnd_ = true;
    bool anyBytes_ = false;
    int lineNumber_ = 0;
    State state_ = State::Start;
    std::string table_;
    int tableRows_ = 0;
    int matrixKind_ = 0;      // 0 stiffness, 1 compliance
    std::string heldLine_;    // the line after the relaxation prompt, until the next decides
    int heldLineNumber_ = 0;
    bool sawRelaxationPrompt_ = false;
    std::vector<std::string> reportLines_;
    int lastContentLine_ = 0;
    std::string lastContentText_;
};

// Reads a whole results file held in memory.
Results readResults(std::string file, std::string_view bytes,
                    std::optional<std::string_view> stderrText = std::nullopt,
                    std::optional<int> exitStatus = std::nullopt);

const char* kindName(QuantityKind kind);

// Whether `name` is one of the names of doc/names.md (printed, input or derived), whether or
// not a given file holds it: "ply[3].sigma-1", "relaxation[last].time", "Ex".
bool isQuantityName(std::string_view name);

}  // namespace kit
