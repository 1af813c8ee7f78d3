#include "kit/render.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kit {
namespace {

nlohmann::ordered_json differenceJson(const Difference& d) {
    nlohmann::ordered_json j;
    j["name"] = d.name;
    j["table"] = d.table;
    auto side = [](const std::string& text, std::optional<double> v, int line) {
        nlohmann::ordered_json s;
        if (line == 0) return nlohmann::ordered_json(nullptr);
        s["text"] = text;
        if (v) s["value"] = *v;
        else s["value"] = nullptr;
        s["line"] = line;
        return s;
    };
    j["archived"] = side(d.archivedText, d.archived, d.archivedLine);
    j["new"] = side(d.newText, d.fresh, d.newLine);
    if (d.absolute) j["absolute"] = *d.absolute;
    if (d.relative) {
        if (std::isinf(*d.relative)) j["relative"] = nullptr;
        else j["relative"] = *d.relative;
    }
    j["marks"] = d.marks;
    if (!d.why.empty()) j["explained"] = d.why;
    return j;
}

}  // namespace

std::string shortest(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

nlohmann::ordered_json toJson(const Quantity& q) {
    nlohmann::ordered_json j;
    j["name"] = q.name;
    j["kind"] = kindName(q.kind);
    j["table"] = q.table;
    j["text"] = q.text;
    if (q.value) j["value"] = *q.value;
    else j["value"] = nullptr;
    if (q.line > 0) j["line"] = q.line;
    else j["line"] = nullptr;
    if (q.kind == QuantityKind::Input) {
        j["prompt"] = q.prompt;
        j["answer"] = q.answer;
    }
    if (!q.note.empty()) j["note"] = q.note;
    return j;
}

nlohmann::ordered_json toJson(const Results& r) {
    nlohmann::ordered_json j;
    j["file"] = r.file;
    j["sha256"] = r.sha256;
    j["complete"] = r.end.complete;
    nlohmann::ordered_json end;
    if (r.end.report) end["report"] = *r.end.report;
    else end["report"] = nullptr;
    end["exit_status"] = r.end.exitStatus;
    end["where"] = r.end.where;
    end["line"] = r.end.line;
    end["cut_short"] = r.end.cutShort;
    j["end"] = end;
    j["tables"] = nlohmann::ordered_json::array();
    for (const TableSummary& t : r.tables)
        j["tables"].push_back({{"name", t.name}, {"count", t.count}, {"line", t.line}});
    j["quantities"] = nlohmann::ordered_json::array();
    for (const Quantity& q : r.quantities) j["quantities"].push_back(toJson(q));
    j["warnings"] = r.warnings;
    return j;
}

std::string toText(const Results& r) {
    std::string out = "file:     " + r.file + "\nsha256:   " + r.sha256 + "\n";
    out += "end:      " + std::string(r.end.complete ? "complete" : "not complete") +
           ", exit status " + std::to_string(r.end.exitStatus) + "; " + r.end.where + "\n";
    if (r.end.report) {
        std::string report = *r.end.report;
        for (std::size_t at; (at = report.find('\n')) != std::string::npos;)
            report.replace(at, 1, " / ");
        out += "report:   " + report + "\n";
    }
    out += "tables:  ";
    for (const TableSummary& t : r.tables)
        out += " " + t.name + " (" + std::to_string(t.count) + ", line " + std::to_string(t.line) + ")";
    out += "\n";
    for (const std::string& w : r.warnings) out += "warning:  " + w + "\n";
    std::string table;
    for (const Quantity& q : r.quantities) {
        if (q.table != table) {
            table = q.table;
            out += "\n" + table + (q.kind == QuantityKind::Derived ? " (derived)" : "") + ":\n";
        }
        char buf[160];
        std::string shown = q.kind == QuantityKind::Input ? "\"" + q.answer + "\"" : q.text;
        std::snprintf(buf, sizeof buf, "  %-24s %-14s %-24s", q.name.c_str(), shown.c_str(),
                      q.value ? shortest(*q.value).c_str() : "-");
        out += buf;
        if (q.line > 0) out += "line " + std::to_string(q.line);
        if (q.kind == QuantityKind::Input) out += "  at \"" + q.prompt + "\"";
        if (!q.note.empty()) out += "  (" + q.note + ")";
        out += "\n";
    }
    return out;
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos && (s.empty() || s.front() != ' '))
        return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

std::string oneLine(std::string s) {
    for (char& c : s)
        if (c == '\n') c = ' ';
    return s;
}

std::string toCsv(const Results& r) {
    std::string out = "name,kind,table,text,value,line,note,prompt,answer\n";
    for (const Quantity& q : r.quantities) {
        out += csvField(q.name) + "," + kindName(q.kind) + "," + csvField(q.table) + "," +
               csvField(q.text) + "," + (q.value ? shortest(*q.value) : "") + "," +
               std::to_string(q.line) + "," + csvField(q.note) + "," + csvField(q.prompt) + "," +
               csvField(q.answer) + "\n";
    }
    return out;
}

std::string cell(const Results& r, const std::string& name) {
    const Quantity* q = r.find(name);
    if (q == nullptr) return "";
    if (q->kind == QuantityKind::Printed) return q->text;
    if (q->kind == QuantityKind::Input) return q->answer;
    return q->value ? shortest(*q->value) : q->text;
}

nlohmann::ordered_json toJson(const Comparison& c, const Results& archived, const Results& fresh,
                              const CompareOptions& options) {
    nlohmann::ordered_json j;
    j["archived"] = {{"file", archived.file}, {"sha256", archived.sha256}};
    j["new"] = {{"file", fresh.file}, {"sha256", fresh.sha256}};
    j["agree"] = c.agree();
    j["tolerance"] = {{"relative", options.relative}, {"absolute", options.absolute},
                      {"legacy", options.legacy}};
    j["tables"] = nlohmann::ordered_json::array();
    for (const TableTally& t : c.tables)
        j["tables"].push_back({{"name", t.name}, {"count", t.count}, {"agree", t.agree},
                               {"differ", t.differ}, {"explained", t.explained}});
    j["differences"] = nlohmann::ordered_json::array();
    for (const Difference& d : c.differences) j["differences"].push_back(differenceJson(d));
    j["explained"] = nlohmann::ordered_json::array();
    for (const Difference& d : c.explained) j["explained"].push_back(differenceJson(d));
    if (c.parting) {
        auto line = [](const DialogueLine& l) {
            return l.line ? nlohmann::ordered_json{{"text", l.text}, {"line", l.line}}
                          : nlohmann::ordered_json(nullptr);
        };
        j["parting"] = {{"after", c.parting->after}, {"archived", line(c.parting->archived)},
                        {"new", line(c.parting->fresh)}};
        if (!c.parting->why.empty()) j["parting"]["explained"] = c.parting->why;
    } else {
        j["parting"] = nullptr;
    }
    j["end"] = {{"archived", c.archivedEnd}, {"new", c.newEnd}, {"differ", c.endsDiffer}};
    return j;
}

}  // namespace kit
