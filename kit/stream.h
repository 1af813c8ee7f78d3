// Rows of a batch or study written as they are done: N runs at a time, each row written as
// soon as it and every row before it are done (the order kept), at most a window of rows
// held waiting for one before them; and the rows already written by a run that was stopped,
// read back for --resume.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kit {

struct StreamedRow {
    std::string text;      // the row as written, with its line end
    bool trouble = false;  // the run could not be made or read (its message is in the row)
    bool report = false;   // the run ended in a report
};

// Makes rows `first` .. `count` - 1 by `make`, `jobs` at a time (0: the number of
// processors), and hands each to `emit` in order. At most `window` rows (0: 4 a job) are
// made ahead of the first not yet handed on, so that memory is bounded by the window, not by
// `count`. `emit` returning false stops the work. Returns false when it was stopped.
bool streamRows(std::size_t first, std::size_t count, unsigned jobs, std::size_t window,
                const std::function<StreamedRow(std::size_t)>& make,
                const std::function<bool(const StreamedRow&)>& emit);

// The fields of a CSV line (without its line end), as csvField writes them.
std::vector<std::string> csvFields(const std::string& line);

// A table file being resumed: its first line and rows, read one at a time.
class ResumedTable {
public:
    // Opens `path`; false, with `error`, when it cannot be read.
    bool open(const std::string& path, std::string& error);
    ~ResumedTable();
    // The next whole line (without its line end). A last line without a line end is not
    // whole (the run was stopped while writing it): it is left for cutShort().
    bool next(std::string& line);
    int lineNumber() const { return line_; }
    // The offset just past the last whole line, and whether anything followed it.
    long long wholeBytes() const { return whole_; }
    bool cutShort() const { return cutShort_; }

private:
    std::FILE* file_ = nullptr;
    int line_ = 0;
    long long whole_ = 0;
    bool cutShort_ = false;
};

// Cuts the file `path` to `bytes` (a row cut short is dropped, to be run again).
bool cutFile(const std::string& path, long long bytes, std::string& error);

// What --resume of a batch or study found in its table: the rows kept, and whether the table
// (CSV) has its header.
struct Resumed {
    std::size_t rows = 0;
    bool haveHeader = false;
};

// Reads back the table `path` that a stopped batch or study (`what`: "batch", "study") wrote,
// for --resume: a table that cannot be read is none. With `csv`, its first line is handed to
// `header`; each row after it to `row` with its index from 0. Each returns "" when the line
// is this table's, else why not ("the table is from another study: ..."), which ends the
// reading with `error` "PATH:LINE: why". A last row cut short is dropped from the file, with
// a message, to be run again. Returns false with `error` when the table is not this one's or
// the row cut short cannot be dropped; the file is then as it was (bar that row).
bool resumeTable(const std::string& path, bool csv, const std::string& what,
                 const std::function<std::string(const std::string& line)>& header,
                 const std::function<std::string(const std::string& line, std::size_t index)>& row,
                 Resumed& resumed, std::string& error);

}  // namespace kit
