#include "kit/provenance.h"

#include "kit/render.h"

namespace kit {

nlohmann::ordered_json toJson(const Provenance& p) {
    nlohmann::ordered_json j;
    j["kit"] = p.kit;
    j["program"] = {{"path", p.program}, {"sha256", p.programSha256}};
    return j;
}

const std::vector<std::string> PROVENANCE_COLUMNS = {"sha256", "complete", "warnings", "kit",
                                                     "program", "program_sha256"};

std::vector<std::string> provenanceCells(const Results& r, const Provenance& p) {
    std::string warnings;
    for (const std::string& w : r.warnings) warnings += (warnings.empty() ? "" : "; ") + w;
    return {r.sha256, r.sha256.empty() ? "" : r.end.complete ? "true" : "false", oneLine(warnings),
            p.kit, p.program, p.programSha256};
}

void addProvenance(nlohmann::ordered_json& j, const Results& r, const Provenance& p) {
    j["sha256"] = r.sha256.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.sha256);
    j["complete"] = r.sha256.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.end.complete);
    j["warnings"] = r.warnings;
    j["kit"] = p.kit;
    j["program"] = p.program;
    j["program_sha256"] = p.programSha256;
}

}  // namespace kit
