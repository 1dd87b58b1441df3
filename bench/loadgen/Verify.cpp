#include "Verify.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace lg {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t MaxProblems = 10;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool allDigits(const std::string& s, std::size_t from, std::size_t count) {
    if (from + count > s.size())
        return false;
    return std::all_of(s.begin() + long(from), s.begin() + long(from + count),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// Splits at CR LF; a trailing piece without CR LF is reported through `complete`.
std::vector<std::string> crlfLines(const std::string& text, bool& complete) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find("\r\n", from);
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    complete = from == text.size();
    return lines;
}

struct DataFile {
    std::string sortKey; // YYYYMMDDHHMMSS
    std::string stamp;
    fs::path path;
};

class Checker {
public:
    Checker(const Script& script, VerifyResult& r) : script_(script), r_(r) {}

    void problem(const std::string& text) {
        if (r_.problems.size() < MaxProblems)
            r_.problems.push_back(text);
        ok_ = false;
    }

    // Checks the files of one instrument against its batches 0..batches-1.
    void instrument(int number, std::vector<DataFile> files, int batches) {
        std::sort(files.begin(), files.end(),
                  [](const DataFile& a, const DataFile& b) { return a.sortKey < b.sortKey; });
        int batch = 0;
        for (const DataFile& f : files) {
            bool complete = false;
            const std::vector<std::string> lines = crlfLines(readAll(f.path), complete);
            if (!complete)
                problem(f.path.filename().string() + ": does not end with CR LF");
            const std::string date = generalDateTimeOfStamp(f.stamp);
            std::size_t at = 0;
            while (at < lines.size()) {
                if (batch >= batches) {
                    problem(f.path.filename().string() + ": more batches than were sent");
                    return;
                }
                const std::vector<std::string> want = script_.expectedBlock(number, batch, date);
                for (std::size_t k = 0; k < want.size(); ++k) {
                    if (at + k >= lines.size() || lines[at + k] != want[k]) {
                        problem(f.path.filename().string() + " line " + std::to_string(at + k + 1) +
                                ": expected \"" + want[k] + "\", found \"" +
                                (at + k < lines.size() ? lines[at + k] : "<end of file>") + "\"");
                        return;
                    }
                }
                at += want.size();
                r_.rowsFound += script_.rows();
                ++r_.batchesFound;
                ++batch;
            }
        }
        if (batch != batches)
            problem("instrument " + instrumentId(number) + ": " + std::to_string(batch) + " of " +
                    std::to_string(batches) + " batches found in its data files");
    }

    bool ok() const { return ok_; }

private:
    const Script& script_;
    VerifyResult& r_;
    bool ok_ = true;
};

long countLinesWith(const fs::path& p, const std::string& needle) {
    long n = 0;
    const std::string text = readAll(p);
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

} // namespace

std::string generalDateTimeOfStamp(const std::string& stamp) {
    // MM-DD-YYYY-HHMMSS
    if (stamp.size() != 17 || !allDigits(stamp, 0, 2) || stamp[2] != '-' ||
        !allDigits(stamp, 3, 2) || stamp[5] != '-' || !allDigits(stamp, 6, 4) || stamp[10] != '-' ||
        !allDigits(stamp, 11, 6))
        return {};
    const int month = std::stoi(stamp.substr(0, 2));
    const int day = std::stoi(stamp.substr(3, 2));
    const int hour = std::stoi(stamp.substr(11, 2));
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return std::to_string(month) + "/" + std::to_string(day) + "/" + stamp.substr(6, 4) + " " +
           std::to_string(hour12) + ":" + stamp.substr(13, 2) + ":" + stamp.substr(15, 2) +
           (hour < 12 ? " AM" : " PM");
}

VerifyResult verifyProgramFolder(const std::string& folder, const Script& script,
                                 const std::vector<int>& batchesPerInstrument, long framesSent) {
    VerifyResult r;
    Checker check(script, r);
    const fs::path base = folder;
    std::map<std::string, int> numberOf;
    for (std::size_t i = 0; i < batchesPerInstrument.size(); ++i) {
        numberOf[instrumentId(int(i))] = int(i);
        r.rowsExpected += long(batchesPerInstrument[i]) * script.rows();
    }
    std::vector<std::vector<DataFile>> files(batchesPerInstrument.size());
    for (const auto& e : fs::directory_iterator(base / "Data Files")) {
        const std::string name = e.path().filename().string();
        ++r.dataFiles;
        // "<ID> MM-DD-YYYY-HHMMSS.dat"
        const std::size_t blank = name.find(' ');
        const auto who = numberOf.find(name.substr(0, blank));
        const std::string stamp = blank == std::string::npos ? "" : name.substr(blank + 1, 17);
        if (who == numberOf.end() || name.size() != blank + 22 ||
            name.substr(blank + 18) != ".dat" || generalDateTimeOfStamp(stamp).empty()) {
            check.problem("unexpected data file \"" + name + "\"");
            continue;
        }
        const std::string key =
            stamp.substr(6, 4) + stamp.substr(0, 2) + stamp.substr(3, 2) + stamp.substr(11, 6);
        files[std::size_t(who->second)].push_back({key, stamp, e.path()});
    }
    for (std::size_t i = 0; i < files.size(); ++i)
        check.instrument(int(i), files[i], batchesPerInstrument[i]);
    for (const char* other : {"Cal Check", "Check Rods", "Fast Mode"})
        if (!fs::is_empty(base / other))
            check.problem(std::string("files in \"") + other + "\"");

    for (const auto& e : fs::directory_iterator(base / "Raw Files")) {
        ++r.rawFiles;
        r.rawReceivedLines += countLinesWith(e.path(), "<RECIVED>");
    }
    if (r.rawReceivedLines != framesSent)
        check.problem("raw files hold " + std::to_string(r.rawReceivedLines) +
                      " received frames, " + std::to_string(framesSent) + " were sent");
    r.announcements = countLinesWith(base / "announcements.txt", "\n");
    long batches = 0;
    for (int b : batchesPerInstrument)
        batches += b;
    if (r.announcements != batches)
        check.problem(std::to_string(r.announcements) + " data files announced for " +
                      std::to_string(batches) + " batches");
    const fs::path log = base / "Error Log" / "ZNRError.log";
    if (fs::exists(log)) {
        r.errorLogLines = countLinesWith(log, "\n");
        if (r.errorLogLines > 0)
            check.problem("error log: " + readAll(log).substr(0, 200));
    }
    r.ok = check.ok() && r.rowsFound == r.rowsExpected;
    return r;
}

} // namespace lg
