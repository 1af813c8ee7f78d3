#include "tests/case_file.h"

#include <algorithm>
#include <fstream>

namespace {

// Appends a line's bytes with its escapes decoded; false when \z drops its terminator.
bool decodeLine(const std::string& line, std::string& bytes) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            bytes += line[i];
        } else if (const char e = line[++i]; e == 'z') {
            return false;
        } else if (e == 'x') {
            bytes += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += e == 'r' ? "\r" : e == 'n' ? "\n" : e == 't' ? "\t" : e == '\\' ? "\\" : std::string{'\\', e};
        }
    }
    return true;
}

}  // namespace

CaseFile readCaseFile(const std::filesystem::path& path) {
    CaseFile parsed;
    parsed.name = path.stem().string();
    std::ifstream file(path, std::ios::binary);
    std::string line, section, statusText, limitText;
    while (std::getline(file, line)) {
        if (line.rfind("--- ", 0) == 0) {
            section = line.substr(4);
            parsed.outputClosed |= section == "stdout closed";
            parsed.setsComspec |= section == "comspec";
        } else if (section == "comspec") {
            decodeLine(line, parsed.comspec);
        } else if (section == "status" || section == "file size limit") {
            (section == "status" ? statusText : limitText) += line;
        } else if (section == "stdin" || section == "stdout" || section == "stderr") {
            std::string& target = section == "stdin" ? parsed.input : section == "stdout" ? parsed.out : parsed.err;
            if (decodeLine(line, target)) target += section == "stdin" ? "\n" : "\r\n";
        }
    }
    if (!statusText.empty()) parsed.status = std::stoi(statusText);
    if (!limitText.empty()) parsed.fileSizeLimit = std::stol(limitText);
    return parsed;
}

std::vector<CaseFile> readCaseFiles(const std::vector<std::filesystem::path>& folders) {
    std::vector<CaseFile> cases;
    for (const auto& folder : folders) {
        if (!std::filesystem::exists(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".case") cases.push_back(readCaseFile(entry.path()));
    }
    std::sort(cases.begin(), cases.end(), [](const CaseFile& a, const CaseFile& b) { return a.name < b.name; });
    return cases;
}
