// lamvis2._kit: the kit's library (kit_reader) for the Python package. It reads results, pairs
// answers with prompts, derives, compares, renders, lays out a study's grid, gives a row's
// provenance and computes strength and last-ply failure, and runs the program through the
// kit's process layer; the package arranges what this returns as numpy
// arrays and pandas tables. Nothing
// here parses or computes on its own: each function hands over to the library.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "kit/case_file.h"
#include "kit/compare.h"
#include "kit/criteria.h"
#include "kit/derived.h"
#include "kit/discount.h"
#include "kit/files.h"
#include "kit/inputs.h"
#include "kit/laminate_case.h"
#include "kit/process.h"
#include "kit/provenance.h"
#include "kit/runner.h"
#include "kit/render.h"
#include "kit/results.h"
#include "kit/strength.h"
#include "kit/study.h"

namespace py = pybind11;

namespace {

std::string_view view(const py::bytes& b) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    PyBytes_AsStringAndSize(b.ptr(), &data, &size);
    return {data, static_cast<std::size_t>(size)};
}

// A results file read, with or without the inputs of its answers, the derived quantities added.
kit::Results readWhole(const std::string& file, const py::bytes& out,
                       const std::optional<py::bytes>& err, std::optional<int> status) {
    std::string_view bytes = view(out);
    std::optional<std::string_view> errText;
    if (err) errText = view(*err);
    py::gil_scoped_release release;
    return kit::readResults(file, bytes, errText, status);
}

// `base` with the inputs given and the derived quantities (of those inputs) appended.
kit::Results withDerived(const kit::Results& base, const std::vector<kit::Quantity>& inputs) {
    kit::Results r = base;
    for (const kit::Quantity& q : inputs) r.quantities.push_back(q);
    for (kit::Quantity& q : kit::deriveQuantities(r)) r.quantities.push_back(std::move(q));
    return r;
}

// Every quantity as columns, for a DataFrame made at once.
py::dict columns(const kit::Results& r) {
    py::list name, kind, table, text, value, line, note, prompt, answer;
    for (const kit::Quantity& q : r.quantities) {
        name.append(q.name);
        kind.append(kit::kindName(q.kind));
        table.append(q.table);
        text.append(q.text);
        value.append(q.value ? *q.value : NAN);
        line.append(q.line);
        note.append(q.note);
        prompt.append(q.prompt);
        answer.append(q.answer);
    }
    py::dict d;
    d["name"] = name;
    d["value"] = value;
    d["text"] = text;
    d["kind"] = kind;
    d["table"] = table;
    d["line"] = line;
    d["note"] = note;
    d["prompt"] = prompt;
    d["answer"] = answer;
    return d;
}

// The values of `names` (NaN where a name is missing or printed as asterisks), as an array of
// `shape`.
py::array_t<double> values(const kit::Results& r, const std::vector<std::string>& names,
                           std::vector<py::ssize_t> shape) {
    py::array_t<double> a(shape);
    double* p = a.mutable_data();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const kit::Quantity* q = r.find(names[i]);
        p[i] = q && q->value ? *q->value : NAN;
    }
    return a;
}

py::object quantity(const kit::Results& r, const std::string& name) {
    const kit::Quantity* q = r.find(name);
    if (q == nullptr) return py::none();
    return py::make_tuple(q->value ? py::cast(*q->value) : py::none(), q->text,
                          kit::kindName(q->kind), q->table, q->line, kit::cell(r, name));
}

// Quantities as (name, value or None, text, note), in the kit's order.
py::list quantityRows(const std::vector<kit::Quantity>& qs) {
    py::list out;
    for (const kit::Quantity& q : qs)
        out.append(py::make_tuple(q.name, q.value ? py::cast(*q.value) : py::none(), q.text, q.note));
    return out;
}

// A JSON value of the library's rows as Python's: None, bool, int, float, str or a list.
py::object pythonOf(const nlohmann::ordered_json& j) {
    if (j.is_boolean()) return py::bool_(j.get<bool>());
    if (j.is_number_integer()) return py::int_(j.get<long long>());
    if (j.is_number()) return py::float_(j.get<double>());
    if (j.is_string()) return py::str(j.get_ref<const std::string&>());
    if (j.is_array()) {
        py::list out;
        for (const auto& e : j) out.append(pythonOf(e));
        return out;
    }
    return py::none();
}

kit::Provenance provenanceOf(const std::tuple<std::string, std::string, std::string>& t) {
    return {std::get<0>(t), std::get<1>(t), std::get<2>(t)};
}

// What a strength computation needs beyond the run: the laminate (of the case, or of the
// run's inputs) and each material set's strengths.
struct StrengthSetup {
    kit::Laminate laminate;
    kit::SetStrengths strengths;
};

// The setup from the case file's text (empty: the answers are no case file), a strengths
// file's text (empty: the case's own strengths) and the run's results with their inputs (for
// an answer file's laminate): (setup or None, the kit's message "FILE:LINE: what").
py::tuple strengthSetup(const kit::Results& results, const std::string& caseText, const std::string& caseName,
                        const std::string& strengthsText, const std::string& strengthsName,
                        const std::string& answersName) {
    auto fail = [](const std::string& error) { return py::make_tuple(py::none(), error); };
    std::string error;
    std::optional<kit::CaseFile> theCase;
    if (!caseText.empty() && !(theCase = kit::readCase(caseText, caseName, error))) return fail(error);
    std::vector<kit::CaseSet> sets;
    std::string setsFile = strengthsName;
    if (!strengthsText.empty()) {
        std::optional<kit::StrengthsFile> file = kit::readStrengths(strengthsText, strengthsName, error);
        if (!file) return fail(error);
        sets = file->sets;
    } else if (theCase) {
        sets = theCase->sets;
        setsFile = caseName;
    } else {
        return fail(answersName + ":1: answers hold no strengths: give strengths= (a strengths file "
                    "or its text), or run a case file whose [[set]] tables have them");
    }
    StrengthSetup setup;
    std::optional<kit::Laminate> lam = theCase ? kit::laminateOfCase(*theCase) : std::nullopt;
    if (!lam) {
        std::string why;
        if (!(lam = kit::laminateOf(results, why))) return fail(answersName + ": " + why);
    }
    setup.laminate = *lam;
    std::vector<int> plySets;
    for (const kit::LayupPly& p : lam->plies) plySets.push_back(p.set);
    if (std::string missing = kit::missingStrengths(setsFile, sets, plySets); !missing.empty()) return fail(missing);
    setup.strengths = kit::caseStrengths(sets);
    return py::make_tuple(py::cast(std::move(setup)), "");
}

}  // namespace

PYBIND11_MODULE(_kit, m) {
    m.doc() = "The kit's library: results reader, inputs, derived quantities, comparison, study grid";

    py::class_<kit::Quantity>(m, "Quantity");

    py::class_<kit::Results>(m, "Results")
        .def_property_readonly("file", [](const kit::Results& r) { return r.file; })
        .def_property_readonly("sha256", [](const kit::Results& r) { return r.sha256; })
        .def_property_readonly("ok", &kit::Results::ok)
        .def_property_readonly("error", [](const kit::Results& r) { return r.error; })
        .def_property_readonly("error_line", [](const kit::Results& r) { return r.errorLine; })
        .def_property_readonly("complete", [](const kit::Results& r) { return r.end.complete; })
        .def_property_readonly("exit_status", [](const kit::Results& r) { return r.end.exitStatus; })
        .def_property_readonly("report", [](const kit::Results& r) { return r.end.report; })
        .def_property_readonly("where", [](const kit::Results& r) { return r.end.where; })
        .def_property_readonly("warnings", [](const kit::Results& r) { return r.warnings; })
        .def_property_readonly("relaxation_rows", &kit::Results::relaxationRows)
        .def("quantity", &quantity,
             "(value or None, text, kind, table, line, cell) of a name, or None when it is not there")
        .def("cells",
             [](const kit::Results& r, const std::vector<std::string>& names) {
                 std::vector<std::string> out;
                 for (const std::string& n : names) out.push_back(kit::cell(r, n));
                 return out;
             })
        .def("values", &values)
        .def("columns", &columns)
        // The provenance columns of a row of these results (kit/provenance.h), given the
        // study's (kit, program, program_sha256): (the CSV cells, the JSON-lines values).
        .def("provenance",
             [](const kit::Results& r, const std::tuple<std::string, std::string, std::string>& p) {
                 kit::Provenance given = provenanceOf(p);
                 nlohmann::ordered_json j = nlohmann::ordered_json::object();
                 kit::addProvenance(j, r, given);
                 py::list values;
                 for (const std::string& c : kit::PROVENANCE_COLUMNS) values.append(pythonOf(j[c]));
                 return py::make_tuple(kit::provenanceCells(r, given), values);
             })
        .def("json", [](const kit::Results& r) { return kit::toJson(r).dump(1); })
        .def("csv", [](const kit::Results& r) { return kit::toCsv(r); })
        .def("text", [](const kit::Results& r) { return kit::toText(r); })
        // The study's row: the cells (and values) of the printed and derived quantities, in
        // order, or of the names given.
        .def("row", [](const kit::Results& r, const std::optional<std::vector<std::string>>& names) {
            py::list out;
            auto put = [&](const std::string& n) {
                const kit::Quantity* q = r.find(n);
                out.append(py::make_tuple(n, kit::cell(r, n),
                                          q && q->value ? py::cast(*q->value) : py::none()));
            };
            if (names) {
                for (const std::string& n : *names) put(n);
            } else {
                for (const kit::Quantity& q : r.quantities)
                    if (q.kind != kit::QuantityKind::Input) put(q.name);
            }
            return out;
        });

    // A run of the program with `input` on its standard input: (status, out, err, error).
    m.def("run_captured", [](const std::vector<std::string>& command, const py::bytes& input) {
        std::string_view bytes = view(input);
        kit::ProcessResult r;
        {
            py::gil_scoped_release release;
            r = kit::runCaptured(command, bytes);
        }
        return py::make_tuple(r.status, py::bytes(r.out), py::bytes(r.err), r.error);
    });
    // A run read as a study's row is (kit/runner.h runAndRead; with the text and name of the
    // filled case file that gave the answers, its strength quantities and the last-ply
    // failures `wanted` names): (results, the kit's message or "", whether the run could not
    // be made).
    m.def("run_and_read", [](const std::vector<std::string>& command, const py::bytes& answers, bool withInputs,
                             const std::string& caseText, const std::string& caseFile,
                             const std::vector<std::string>& wanted) {
        std::string bytes(view(answers));
        std::string error;
        bool runFailed = false;
        kit::Results r;
        {
            py::gil_scoped_release release;
            r = kit::runAndRead(command, bytes, withInputs, error, caseText, caseFile, wanted, &runFailed);
        }
        return py::make_tuple(std::move(r), error, runFailed);
    });
    // The provenance of runs of `command`: (kit, program, program_sha256).
    m.def("provenance", [](const std::vector<std::string>& command) {
        kit::Provenance p;
        {
            py::gil_scoped_release release;
            p = kit::provenanceOf(command);
        }
        return py::make_tuple(p.kit, p.program, p.programSha256);
    });
    m.attr("PROVENANCE_COLUMNS") = kit::PROVENANCE_COLUMNS;
    // The answers of an answer file or a case file (.toml): (bytes or None, the kit's message).
    m.def("read_answers", [](const std::string& path) {
        std::string error;
        std::optional<std::string> a = kit::readAnswers(path, error);
        return py::make_tuple(a ? py::object(py::bytes(*a)) : py::none(), error);
    });
    m.def("is_case_file", &kit::isCaseFile);
    m.def("case_file_answers", [](const std::string& path, const std::string& text) {
        std::string error;
        std::optional<std::string> a = kit::caseFileAnswers(path, text, error);
        return py::make_tuple(a ? py::object(py::bytes(*a)) : py::none(), error);
    });
    m.def("read_results", &readWhole, py::arg("file"), py::arg("out"), py::arg("err") = py::none(),
          py::arg("status") = py::none());
    m.def("with_derived", &withDerived);
    m.def("is_quantity_name",
          [](const std::string& n) { return kit::isQuantityName(n) || kit::isStrengthQuantityName(n); });
    m.def("needs_inputs", &kit::needsInputs);

    // The pairing of an answer file's lines with the prompts, from one run and its read trace.
    m.def("answer_lines", [](const py::bytes& answers) {
        std::vector<py::bytes> out;
        for (const std::string& l : kit::answerLines(view(answers))) out.emplace_back(l);
        return out;
    });
    m.def("wanted_input", [](int status, const py::bytes& err) { return kit::wantedInput(status, view(err)); });
    py::class_<kit::InputPairing>(m, "InputPairing")
        .def_readonly("inputs", &kit::InputPairing::inputs)
        .def_readonly("unused_lines", &kit::InputPairing::unusedLines)
        .def_readonly("ended_early", &kit::InputPairing::endedEarly)
        .def_readonly("error", &kit::InputPairing::error);
    // One run of the program on the answers with its read trace (kit/runner.h): the pairing,
    // and the kit's message when the run could not be made.
    m.def("pair_inputs", [](const std::vector<std::string>& command, const py::bytes& answers) {
        std::string bytes(view(answers));
        kit::AnsweredRun run;
        {
            py::gil_scoped_release release;
            run = kit::runAnswers(command, bytes);
        }
        return py::make_tuple(run.pairing, run.run.error);
    });

    // compare: (agree, the person's report, the JSON of --json).
    m.def("compare", [](const kit::Results& archived, const kit::Results& fresh, double relative,
                        double absolute, bool legacy) {
        kit::CompareOptions o;
        o.relative = relative;
        o.absolute = absolute;
        o.legacy = legacy;
        kit::Comparison c = kit::compareResults(archived, fresh, o);
        return py::make_tuple(c.agree(), kit::comparisonText(c, archived, fresh, o),
                              kit::toJson(c, archived, fresh, o).dump(1));
    });

    // The study's grid.
    m.def("parse_range", [](const std::string& spec) {
        kit::Range r;
        std::string error;
        if (!kit::parseRange(spec, r, error)) return py::make_tuple(py::none(), error);
        return py::make_tuple(py::make_tuple(r.name, r.values), "");
    });
    m.def("placeholders", [](const std::string& text) {
        std::vector<std::pair<std::string, int>> out;
        for (const kit::Placeholder& p : kit::placeholders(text)) out.emplace_back(p.name, p.line);
        return out;
    });
    m.def("fill", &kit::fill);
    m.def("value_text", &kit::valueText);
    // A grid of ranges: its size (0 and why, when it has none or too many points) and its
    // points, one at a time.
    struct Grid {
        std::vector<kit::Range> ranges;
    };
    py::class_<Grid>(m, "Grid")
        .def(py::init([](const std::vector<std::pair<std::string, std::vector<std::string>>>& given) {
            Grid g;
            for (const auto& [name, vals] : given) g.ranges.push_back({name, vals});
            return g;
        }))
        .def("size", [](const Grid& g) {
            std::size_t size = 0;
            std::string error;
            if (!kit::gridSize(g.ranges, size, error)) return py::make_tuple(0, error);
            return py::make_tuple(size, "");
        })
        .def("point", [](const Grid& g, std::size_t i) {
            std::vector<std::string> values;
            std::vector<std::size_t> at = kit::gridPoint(g.ranges, i);
            for (std::size_t k = 0; k < at.size(); ++k) values.push_back(g.ranges[k].values[at[k]]);
            return py::make_tuple(at, values);
        });
    m.attr("MAX_GRID_POINTS") = kit::MAX_GRID_POINTS;

    // Strength (kit/strength.h) and last-ply failure (kit/discount.h).
    py::class_<StrengthSetup>(m, "StrengthSetup")
        .def_property_readonly("plies", [](const StrengthSetup& s) { return s.laminate.plies.size(); })
        .def_property_readonly("loads", [](const StrengthSetup& s) { return s.laminate.loads; });
    m.def("strength_setup", &strengthSetup);
    // `results` (with its inputs) and the strength quantities of every criterion that a case
    // file with strengths gives them, as `read --answers CASE` adds them (or a warning why not).
    m.def("with_case_strength", [](const kit::Results& results, const std::string& caseText,
                                   const std::string& caseName) {
        kit::Results r = results;
        kit::addCaseStrength(r, caseText, caseName);
        return r;
    });
    // The criteria of a comma-separated list ("all": every one): (names or None, the unknown one).
    m.def("criteria_named", [](const std::string& list) {
        std::string bad;
        std::optional<std::vector<kit::Criterion>> cs = kit::criteriaNamed(list, bad);
        if (!cs) return py::make_tuple(py::none(), bad);
        std::vector<std::string> names;
        for (kit::Criterion c : *cs) names.emplace_back(kit::criterionName(c));
        return py::make_tuple(names, "");
    });
    // (quantities, the text of `lamvis2-kit strength`, "" or why there are no numbers).
    m.def("strength", [](const kit::Results& results, const StrengthSetup& setup, const std::string& criteria,
                         std::optional<double> factor) {
        std::string bad;
        kit::StrengthOptions options;
        options.criteria = kit::criteriaNamed(criteria, bad).value_or(options.criteria);
        options.factor = factor;
        kit::StrengthReport rep;
        {
            py::gil_scoped_release release;
            rep = kit::strengthOf(results, setup.laminate, setup.strengths, options);
        }
        if (!rep.ok()) return py::make_tuple(py::list(), "", rep.error);
        return py::make_tuple(quantityRows(rep.quantities), kit::strengthText(rep), "");
    });
    // Last-ply failure of one criterion, each step a run of `command`: (quantities, the text
    // of the table of steps, "" or why the steps could not go on).
    m.def("last_ply", [](const std::vector<std::string>& command, const StrengthSetup& setup,
                         const std::string& criterion) {
        kit::DiscountRun d;
        {
            py::gil_scoped_release release;
            d = kit::discountByRuns(kit::programRunner(command), setup.laminate, setup.strengths,
                                    kit::criterionNamed(criterion).value_or(kit::Criterion::TsaiWu));
        }
        return py::make_tuple(quantityRows(kit::discountQuantities(d, setup.laminate)), kit::discountText(d), d.error);
    });
}
