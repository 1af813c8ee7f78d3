#include "kit/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "kit/case_file.h"

namespace kit {

Results readResultsFile(const std::string& path, std::string& error,
                        std::optional<std::string_view> stderrText, std::optional<int> exitStatus) {
    std::FILE* f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    ResultsReader reader(path);
    if (f == nullptr) {
        error = path + ": " + std::strerror(errno);
        return reader.finish();
    }
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) reader.feed(std::string_view(buf, n));
    if (std::ferror(f)) error = path + ": read error";
    if (f != stdin) std::fclose(f);
    return reader.finish(stderrText, exitStatus);
}

std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string bytes;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        bytes.append(buf, n);
        if (bytes.size() > limit) {
            std::fclose(f);
            error = path + ": larger than " + std::to_string(limit) + " bytes, too large for an answer file";
            return std::nullopt;
        }
    }
    bool bad = std::ferror(f);
    std::fclose(f);
    if (bad) {
        error = path + ": read error";
        return std::nullopt;
    }
    return bytes;
}

namespace {
constexpr std::size_t ANSWERS_LIMIT = 1 << 20;
}

bool isCaseFile(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return ext == ".toml";
}

std::optional<std::string> caseFileAnswers(const std::string& path, std::string_view text,
                                           std::string& error) {
    std::optional<CaseFile> c = readCase(text, path, error);
    if (!c) return std::nullopt;
    if (c->answersFile.empty()) return caseAnswers(*c);
    std::string own = (std::filesystem::path(path).parent_path() / c->answersFile).string();
    return readSmallFile(own, ANSWERS_LIMIT, error);
}

std::optional<std::string> readAnswers(const std::string& path, std::string& error) {
    std::optional<std::string> bytes = readSmallFile(path, ANSWERS_LIMIT, error);
    if (!bytes || !isCaseFile(path)) return bytes;
    return caseFileAnswers(path, *bytes, error);
}

bool writeFile(const std::string& path, const std::string& bytes, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) error = path + ": write error";
    return ok;
}

}  // namespace kit
