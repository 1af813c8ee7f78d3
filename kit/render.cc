#include "kit/render.h"

#include <charconv>
#include <cstdio>

namespace kit {

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

}  // namespace kit
