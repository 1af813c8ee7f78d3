#include "kit/render.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kit {

const char* const VERSION = "1.0.0";
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

std::string jsonText(const nlohmann::ordered_json& j, int indent) {
    return j.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

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
    // The kit; the program when a run was made (the caller's to say).
    j["kit"] = VERSION;
    j["program"] = nullptr;
    return j;
}

namespace {
nlohmann::ordered_json orNull(const std::optional<double>& v) {
    return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
}
}  // namespace

nlohmann::ordered_json toJson(const CaseFile& c) {
    const bool own = c.answersFile.empty();
    nlohmann::ordered_json j;
    j["file"] = c.file;
    j["title"] = c.title;
    j["source"] = c.source;
    j["description"] = c.description;
    j["derivation"] = c.derivation;
    if (own) j["answers-file"] = nullptr;
    else j["answers-file"] = c.answersFile;
    j["sets"] = nlohmann::ordered_json::array();
    for (const CaseSet& s : c.sets) {
        nlohmann::ordered_json set;
        set["line"] = s.line;
        if (own) {
            set["e1"] = s.e1;
            set["e2"] = s.e2;
            set["nu12"] = s.nu12;
            set["g12"] = orNull(s.g12);
            set["g12-asked"] = s.g12Asked;
            set["thickness"] = s.thickness;
            set["creep-fraction"] = s.creepFraction;
        }
        if (s.strengths) {
            const Strengths& t = *s.strengths;
            set["strengths"] = {{"xt", t.xt}, {"xc", t.xc}, {"yt", t.yt}, {"yc", t.yc}, {"s", t.s},
                                {"f12star", orNull(t.f12star)}, {"f12", orNull(t.f12)},
                                {"st", orNull(t.st)}, {"e1t", orNull(t.e1t)}, {"e1c", orNull(t.e1c)},
                                {"e2t", orNull(t.e2t)}, {"e2c", orNull(t.e2c)},
                                {"g12u", orNull(t.g12u)}};
        } else {
            set["strengths"] = nullptr;
        }
        j["sets"].push_back(set);
    }
    if (own) {
        j["plies"] = nlohmann::ordered_json::array();
        for (const CasePly& p : c.plies)
            j["plies"].push_back({{"line", p.line}, {"set", p.set}, {"angle", p.angle}});
        nlohmann::ordered_json loads;
        for (std::size_t i = 0; i < CASE_LOAD_KEYS.size(); ++i) loads[CASE_LOAD_KEYS[i]] = c.loads[i];
        j["loads"] = loads;
        j["relaxation-time"] = c.relaxationTime;
    }
    j["expect"] = nlohmann::ordered_json::array();
    for (const CaseExpect& e : c.expect) {
        nlohmann::ordered_json x;
        x["line"] = e.line;
        x["name"] = e.name;
        x["value"] = e.value;
        if (e.printed) x["printed"] = *e.printed;
        else x["printed"] = nullptr;
        x["unit"] = e.unit;
        x["where"] = e.where;
        x["note"] = e.note;
        x["explained"] = e.explained;
        x["structural-zero"] = e.structuralZero;
        j["expect"].push_back(x);
    }
    j["notes"] = c.notes;
    if (own) j["answers"] = caseAnswers(c);
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
    auto side = [](const Results& r) {
        return nlohmann::ordered_json{{"file", r.file}, {"sha256", r.sha256},
                                      {"complete", r.end.complete}, {"warnings", r.warnings}};
    };
    j["archived"] = side(archived);
    j["new"] = side(fresh);
    // The kit; the program when a run was made (the caller's to say).
    j["kit"] = VERSION;
    j["program"] = nullptr;
    j["agree"] = c.agree();
    j["tolerance"] = {{"relative", options.relative}, {"absolute", options.absolute},
                      {"legacy", options.legacy}, {"floor", options.floor}};
    j["tables"] = nlohmann::ordered_json::array();
    auto optional = [](std::optional<double> v) {
        if (!v || std::isinf(*v)) return nlohmann::ordered_json(nullptr);
        return nlohmann::ordered_json(*v);
    };
    for (const TableTally& t : c.tables)
        j["tables"].push_back({{"name", t.name}, {"count", t.count}, {"agree", t.agree},
                               {"differ", t.differ}, {"explained", t.explained},
                               {"round_off", t.roundOff}, {"scale", t.scale},
                               {"largest_absolute", optional(t.largestAbsolute)},
                               {"largest_relative", optional(t.largestRelative)}});
    j["differences"] = nlohmann::ordered_json::array();
    for (const Difference& d : c.differences) j["differences"].push_back(differenceJson(d));
    j["explained"] = nlohmann::ordered_json::array();
    for (const Difference& d : c.explained) j["explained"].push_back(differenceJson(d));
    j["round_off"] = nlohmann::ordered_json::array();
    for (const Difference& d : c.roundOff) j["round_off"].push_back(differenceJson(d));
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
    auto after = [](const Results& r) {
        return r.end.afterEnd.line ? nlohmann::ordered_json{{"text", r.end.afterEnd.text},
                                                            {"line", r.end.afterEnd.line}}
                                   : nlohmann::ordered_json(nullptr);
    };
    j["after_end"] = {{"archived", after(archived)}, {"new", after(fresh)},
                      {"differ", c.afterEndDiffers}};
    return j;
}

}  // namespace kit
