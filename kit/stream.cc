#include "kit/stream.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace kit {

bool streamRows(std::size_t first, std::size_t count, unsigned jobs, std::size_t window,
                const std::function<StreamedRow(std::size_t)>& make,
                const std::function<bool(const StreamedRow&)>& emit) {
    if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
    if (window == 0) window = 4 * std::size_t(jobs);
    // No more runs at a time than rows may wait.
    jobs = static_cast<unsigned>(std::min<std::size_t>({jobs, window, std::max<std::size_t>(1, count - std::min(first, count))}));
    std::mutex mutex;
    std::condition_variable moved;
    std::size_t next = first, emitted = first;
    std::map<std::size_t, StreamedRow> ready;
    bool stopped = false;
    auto worker = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            moved.wait(lock, [&] { return stopped || next >= count || next < emitted + window; });
            if (stopped || next >= count) return;
            std::size_t i = next++;
            lock.unlock();
            StreamedRow row = make(i);
            lock.lock();
            ready.emplace(i, std::move(row));
            // Rows are handed on in order by whichever worker completes the run of them.
            while (!stopped && !ready.empty() && ready.begin()->first == emitted) {
                if (!emit(ready.begin()->second)) stopped = true;
                ready.erase(ready.begin());
                ++emitted;
            }
            moved.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < jobs; ++t) threads.emplace_back(worker);
    worker();
    for (std::thread& t : threads) t.join();
    return !stopped;
}

std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool ResumedTable::open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

ResumedTable::~ResumedTable() {
    if (file_ != nullptr) std::fclose(file_);
}

bool ResumedTable::next(std::string& line) {
    line.clear();
    if (file_ == nullptr || cutShort_) return false;
    int c;
    long long bytes = 0;
    while ((c = std::fgetc(file_)) != EOF) {
        ++bytes;
        if (c == '\n') {
            ++line_;
            whole_ += bytes;
            return true;
        }
        line += static_cast<char>(c);
    }
    cutShort_ = bytes > 0;
    return false;
}

bool cutFile(const std::string& path, long long bytes, std::string& error) {
    std::error_code ec;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(bytes), ec);
    if (ec) error = path + ": " + ec.message();
    return !ec;
}

bool resumeTable(const std::string& path, bool csv, const std::string& what,
                 const std::function<std::string(const std::string& line)>& header,
                 const std::function<std::string(const std::string& line, std::size_t index)>& row,
                 Resumed& resumed, std::string& error) {
    ResumedTable table;
    std::string openError;
    if (!table.open(path, openError)) return true;
    std::string line;
    while (table.next(line)) {
        std::string why = csv && !resumed.haveHeader ? header(line) : row(line, resumed.rows);
        if (!why.empty()) {
            error = path + ":" + std::to_string(table.lineNumber()) + ": " + why;
            return false;
        }
        if (csv && !resumed.haveHeader) resumed.haveHeader = true;
        else ++resumed.rows;
    }
    if (table.cutShort()) {
        std::fprintf(stderr, "lamvis2-kit: %s:%d: the last row was cut short (the %s stopped while writing "
                     "it); it is run again\n", path.c_str(), table.lineNumber() + 1, what.c_str());
        if (!cutFile(path, table.wholeBytes(), error)) return false;
    }
    return true;
}

}  // namespace kit
