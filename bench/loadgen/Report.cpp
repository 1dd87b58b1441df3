#include "Report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/vfs.h>
#include <unistd.h>

namespace lg {

namespace {

std::string fmt(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string firstLineWith(const char* file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) {
            const std::size_t colon = line.find(':');
            std::string v = colon == std::string::npos ? line : line.substr(colon + 1);
            v.erase(0, v.find_first_not_of(" \t"));
            return v;
        }
    return "?";
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonStrings(const std::vector<std::string>& v) {
    std::string out = "[";
    for (std::size_t i = 0; i < v.size(); ++i)
        out += (i ? ", " : "") + jsonString(v[i]);
    return out + "]";
}

std::string jsonLatency(const Latency& l) {
    return "{\"p50_us\": " + fmt(l.p50, 1) + ", \"p99_us\": " + fmt(l.p99, 1) +
           ", \"max_us\": " + fmt(l.max, 1) + "}";
}

const LoadReport* findLoad(const SuiteResults& r, int n, const std::string& subject,
                           double paceMs = 0) {
    for (const LoadReport& l : r.loads)
        if (l.instruments == n && l.subject == subject && l.paceMs == paceMs)
            return &l;
    return nullptr;
}

const StartupReport* findStartup(const SuiteResults& r, const std::string& subject) {
    for (const StartupReport& s : r.startups)
        if (s.subject == subject && !s.seconds.empty())
            return &s;
    return nullptr;
}

std::string check(const LoadReport& l) {
    if (!l.verified)
        return l.ok ? "ok" : "FAILED";
    return (l.ok ? "ok: " : "FAILED: ") + std::to_string(l.verify.batchesFound) + " batches, " +
           std::to_string(l.verify.rowsFound) + "/" + std::to_string(l.verify.rowsExpected) +
           " rows in " + std::to_string(l.verify.dataFiles) + " files";
}

void loadRow(std::ostringstream& md, const SuiteResults& r, const LoadReport& l) {
    md << "| " << l.instruments << " | " << l.subject << " | " << fmt(l.startupS * 1000, 1) << " | "
       << fmt(l.framesPerS, 0) << " | " << fmt(l.batchesPerS, 1) << " | " << fmt(l.all.p50, 0)
       << " | " << fmt(l.all.p99, 0) << " | " << fmt(l.all.max, 0) << " | " << fmt(l.body.p99, 0)
       << " | " << fmt(l.end.p50, 0) << " | " << fmt(l.end.p99, 0) << " | "
       << fmt(l.cpuPer1000Frames, 3) << " | " << fmt(double(l.peakRssKiB) / 1024.0, 1) << " | "
       << check(l) << " |\n";
    const LoadReport* bare = findLoad(r, l.instruments, "bare", l.paceMs);
    if (l.subject != "program" || !bare || bare->framesPerS <= 0 || bare->all.p50 <= 0)
        return;
    md << "| " << l.instruments << " | program / bare | " << fmt(l.startupS / bare->startupS, 1)
       << "× | " << fmt(l.framesPerS / bare->framesPerS, 2) << "× | | "
       << fmt(l.all.p50 / bare->all.p50, 1) << "× | " << fmt(l.all.p99 / bare->all.p99, 1)
       << "× | | " << fmt(l.body.p99 / bare->body.p99, 1) << "× | | | "
       << (bare->cpuPer1000Frames > 0 ? fmt(l.cpuPer1000Frames / bare->cpuPer1000Frames, 1) + "×"
                                      : std::string())
       << " | | |\n";
}

void loadTable(std::ostringstream& md, const SuiteResults& r, bool paced) {
    if (!paced)
        md << "## Load: stop-and-wait batches, each frame right after the last ACK8\n\n"
           << "Each instrument sends IST, STB, " << r.options.rows << " DAT rows and ENB ("
           << r.options.rows + 3 << " frames per batch), one frame at a time, for "
           << fmt(r.options.seconds, 0)
           << " s; every instrument always has a frame in flight, so this is the most frames "
              "per second the pair (load generator, subject) manages, and the round trips are "
              "mostly time spent queueing. Round trip: from writing a frame's last byte to "
              "reading its ACK8. \"ENB\" columns are the batch ends alone (the program writes and "
              "flushes the data and raw files before that ACK8); \"other\" columns are every "
              "other frame.\n\n";
    else
        md << "\n## Load at a fixed pace: " << fmt(r.options.paceMs, 0)
           << " ms between an ACK8 and the next frame\n\n"
           << "The same batches, but each instrument waits " << fmt(r.options.paceMs, 0)
           << " ms after every ACK8 (N instruments offer about N × "
           << fmt(1000.0 / r.options.paceMs, 0)
           << " frames/s): the round trips show how long a frame waits for its answer when the "
              "machine is not saturated.\n\n";
    md << "| N | subject | start-up ms | frames/s | batches/s | p50 µs | p99 µs | max µs | "
          "other p99 µs | ENB p50 µs | ENB p99 µs | CPU s / 1,000 frames | peak RSS MiB | "
          "check |\n"
       << "|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
    for (const LoadReport& l : r.loads)
        if ((l.paceMs > 0) == paced)
            loadRow(md, r, l);
    md << "\n";
    for (const LoadReport& l : r.loads)
        if ((l.paceMs > 0) == paced)
            for (const std::string& e : l.errors)
                md << "- N = " << l.instruments << ", " << l.subject << ": " << e << "\n";
}

void otherTables(std::ostringstream& md, const SuiteResults& r) {
    if (!r.startups.empty()) {
        md << "\n## Start-up: process start to the last greeting\n\n"
           << "| subject | instruments | runs (ms) | median ms |\n|---|---:|---|---:|\n";
        for (const StartupReport& s : r.startups) {
            std::string runs;
            for (double v : s.seconds)
                runs += (runs.empty() ? "" : ", ") + fmt(v * 1000, 1);
            md << "| " << s.subject << " | " << s.instruments << " | " << runs << " | "
               << fmt(s.median() * 1000, 1) << " |\n";
            for (const std::string& e : s.errors)
                md << "\n- " << s.subject << ": " << e << "\n";
        }
    }
    if (const auto& c = r.connectWait) {
        md << "\n## A connect that waits 5 s on an instrument that never answers\n\n"
           << "| connect hung | CPU over " << fmt(c->windowS, 1)
           << " s inside the wait | wait ended after | CPU start to end of wait |\n"
           << "|---|---:|---:|---:|\n"
           << "| " << (c->probeHung ? "yes" : "NO") << " | " << fmt(c->cpuPercent, 2)
           << " % of one core | " << fmt(c->waitEndedAfterS, 2) << " s | " << fmt(c->totalCpuS, 3)
           << " s |\n";
        for (const std::string& e : c->errors)
            md << "\n- " << e << "\n";
    }
    if (const auto& l = r.leak) {
        md << "\n## RSS over " << l->batches << " batches (" << l->instruments
           << " instruments)\n\n| batches | VmRSS KiB |\n|---:|---:|\n";
        for (const auto& [done, rss] : l->rssKiB)
            md << "| " << done << " | " << rss << " |\n";
        md << "\nGrowth from batch 2,000 to the end: " << l->growthKiB << " KiB. The run took "
           << fmt(l->seconds, 1) << " s (" << fmt(double(l->batches) / l->seconds, 1)
           << " batches/s). Files: " << (l->verify.ok ? "ok" : "FAILED") << ", "
           << l->verify.batchesFound << " batches.\n";
        for (const std::string& e : l->errors)
            md << "\n- " << e << "\n";
    }
    if (const auto& i = r.idle) {
        md << "\n## Memory per idle connection\n\n"
           << "| VmRSS, no instruments | VmRSS, " << i->connections
           << " idle connections | per connection |\n|---:|---:|---:|\n"
           << "| " << i->rssNoneKiB << " KiB | " << i->rssAllKiB << " KiB | "
           << fmt(i->perConnectionKiB, 1) << " KiB |\n";
        for (const std::string& e : i->errors)
            md << "\n- " << e << "\n";
    }
}

void targetRow(std::ostringstream& md, const std::string& target, const std::string& measured,
               bool met) {
    md << "| " << target << " | " << measured << " | " << (met ? "met" : "**missed**") << " |\n";
}

void targets(std::ostringstream& md, const SuiteResults& r) {
    md << "\n## Targets\n\n| target | measured | |\n|---|---|---|\n";
    for (double pace : {0.0, r.options.paceMs}) {
        const LoadReport* p = findLoad(r, 100, "program", pace);
        const LoadReport* b = findLoad(r, 100, "bare", pace);
        if (!p || !b)
            continue;
        const std::string run = pace > 0 ? " (paced)" : " (saturated)";
        targetRow(md, "N = 100" + run + ": ACK p50 ≤ 1.5 × bare",
                  fmt(p->all.p50, 0) + " µs vs " + fmt(b->all.p50, 0) + " µs (" +
                      fmt(p->all.p50 / b->all.p50, 2) + "×)",
                  p->all.p50 <= 1.5 * b->all.p50);
        targetRow(md, "N = 100" + run + ": ACK p99 < 1 ms",
                  fmt(p->all.p99, 0) + " µs (other frames " + fmt(p->body.p99, 0) + " µs, ENB " +
                      fmt(p->end.p99, 0) + " µs; bare " + fmt(b->all.p99, 0) + " µs)",
                  p->all.p99 < 1000);
        if (pace == 0)
            targetRow(md, "N = 100: frames/s ≥ ½ bare",
                      fmt(p->framesPerS, 0) + " vs " + fmt(b->framesPerS, 0) + " (" +
                          fmt(p->framesPerS / b->framesPerS, 2) + "×)",
                      p->framesPerS >= 0.5 * b->framesPerS);
    }
    if (const LoadReport* p500 = findLoad(r, 500, "program"))
        targetRow(md, "N = 500 served at once, every batch written correctly", check(*p500),
                  p500->ok);
    if (const StartupReport* s = findStartup(r, "program"))
        targetRow(md, "start-up with " + std::to_string(s->instruments) + " instruments < 1 s",
                  fmt(s->median() * 1000, 1) + " ms (median)", s->median() < 1.0);
    if (r.connectWait)
        targetRow(md, "5-second connect wait < 5 % of one core",
                  fmt(r.connectWait->cpuPercent, 2) + " %",
                  r.connectWait->ok && r.connectWait->cpuPercent < 5.0);
    if (r.leak)
        targetRow(md, "no RSS growth over " + std::to_string(r.leak->batches) + " batches",
                  std::to_string(r.leak->growthKiB) + " KiB from batch 2,000 to the end",
                  r.leak->ok && r.leak->growthKiB <= 256);
    if (r.idle)
        targetRow(md, "< 64 KiB per idle connection", fmt(r.idle->perConnectionKiB, 1) + " KiB",
                  r.idle->ok && r.idle->perConnectionKiB < 64);
}

} // namespace

std::string machineDescription() {
    const std::string mem = firstLineWith("/proc/meminfo", "MemTotal"); // "24102728 kB"
    const long kib = std::atol(mem.c_str());
    return std::string("nproc ") + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + ", CPU \"" +
           firstLineWith("/proc/cpuinfo", "model name") + "\", memory " +
           fmt(double(kib) / 1024.0 / 1024.0, 1) + " GiB";
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + ", " + b + ", " + c;
}

std::string fileSystemOf(const std::string& path) {
    struct statfs s {};
    if (statfs(path.c_str(), &s) != 0)
        return path;
    switch (static_cast<unsigned long>(s.f_type)) {
    case 0xEF53:
        return path + " (ext4)";
    case 0x01021994:
        return path + " (tmpfs: fsync costs nothing)";
    case 0x58465342:
        return path + " (xfs)";
    case 0x9123683E:
        return path + " (btrfs)";
    case 0x794c7630:
        return path + " (overlayfs)";
    default:
        return path;
    }
}

std::string localDateTime() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S %Z", &tm);
    return buf;
}

std::string toMarkdown(const SuiteResults& r) {
    std::ostringstream md;
    md << "# ZNR Data Extractor benchmark\n\n"
       << "- Date: " << r.date << "\n- Machine: " << r.machine
       << "\n- Load average (1, 5, 15 min) at the start: " << r.loadBefore
       << "; at the end: " << r.loadAfter << "\n- Work folder: " << r.workFolder
       << "\n- Subjects: `znr-extractor --headless` (\"program\") and the bare responder "
          "(\"bare\": connects, greets, answers every EOT with ACK8, nothing else)\n\n";
    if (std::any_of(r.loads.begin(), r.loads.end(),
                    [](const LoadReport& l) { return l.paceMs == 0; }))
        loadTable(md, r, false);
    if (std::any_of(r.loads.begin(), r.loads.end(),
                    [](const LoadReport& l) { return l.paceMs > 0; }))
        loadTable(md, r, true);
    otherTables(md, r);
    targets(md, r);
    return md.str();
}

std::string toJson(const SuiteResults& r) {
    std::ostringstream j;
    j << "{\n  \"date\": " << jsonString(r.date) << ",\n  \"machine\": " << jsonString(r.machine)
      << ",\n  \"load_before\": " << jsonString(r.loadBefore)
      << ",\n  \"load_after\": " << jsonString(r.loadAfter)
      << ",\n  \"work_folder\": " << jsonString(r.workFolder)
      << ",\n  \"seconds\": " << r.options.seconds << ",\n  \"rows\": " << r.options.rows
      << ",\n  \"load\": [";
    for (std::size_t i = 0; i < r.loads.size(); ++i) {
        const LoadReport& l = r.loads[i];
        j << (i ? "," : "") << "\n    {\"instruments\": " << l.instruments
          << ", \"pace_ms\": " << fmt(l.paceMs, 1) << ", \"subject\": " << jsonString(l.subject)
          << ", \"ok\": " << (l.ok ? "true" : "false") << ", \"startup_s\": " << fmt(l.startupS, 4)
          << ", \"window_s\": " << fmt(l.windowS, 3) << ", \"frames\": " << l.frames
          << ", \"batches\": " << l.batches << ", \"frames_per_s\": " << fmt(l.framesPerS, 1)
          << ", \"batches_per_s\": " << fmt(l.batchesPerS, 2)
          << ", \"rtt_all\": " << jsonLatency(l.all) << ", \"rtt_other\": " << jsonLatency(l.body)
          << ", \"rtt_batch_end\": " << jsonLatency(l.end)
          << ", \"cpu_s_per_1000_frames\": " << fmt(l.cpuPer1000Frames, 4)
          << ", \"peak_rss_kib\": " << l.peakRssKiB << ", \"exit_code\": " << l.exitCode;
        if (l.verified)
            j << ", \"files\": {\"ok\": " << (l.verify.ok ? "true" : "false")
              << ", \"data_files\": " << l.verify.dataFiles
              << ", \"batches\": " << l.verify.batchesFound << ", \"rows\": " << l.verify.rowsFound
              << ", \"rows_expected\": " << l.verify.rowsExpected
              << ", \"raw_files\": " << l.verify.rawFiles
              << ", \"raw_received_lines\": " << l.verify.rawReceivedLines << "}";
        j << ", \"errors\": " << jsonStrings(l.errors) << "}";
    }
    j << "\n  ],\n  \"startup\": [";
    for (std::size_t i = 0; i < r.startups.size(); ++i) {
        const StartupReport& s = r.startups[i];
        j << (i ? "," : "") << "\n    {\"subject\": " << jsonString(s.subject)
          << ", \"instruments\": " << s.instruments << ", \"seconds\": [";
        for (std::size_t k = 0; k < s.seconds.size(); ++k)
            j << (k ? ", " : "") << fmt(s.seconds[k], 4);
        j << "], \"median_s\": " << fmt(s.median(), 4) << ", \"errors\": " << jsonStrings(s.errors)
          << "}";
    }
    j << "\n  ]";
    if (const auto& c = r.connectWait)
        j << ",\n  \"connect_wait\": {\"ok\": " << (c->ok ? "true" : "false")
          << ", \"connect_hung\": " << (c->probeHung ? "true" : "false")
          << ", \"window_s\": " << fmt(c->windowS, 2)
          << ", \"cpu_percent_of_one_core\": " << fmt(c->cpuPercent, 3)
          << ", \"wait_ended_after_s\": " << fmt(c->waitEndedAfterS, 3)
          << ", \"cpu_s_start_to_end_of_wait\": " << fmt(c->totalCpuS, 3)
          << ", \"errors\": " << jsonStrings(c->errors) << "}";
    if (const auto& l = r.leak) {
        j << ",\n  \"leak\": {\"ok\": " << (l->ok ? "true" : "false")
          << ", \"instruments\": " << l->instruments << ", \"batches\": " << l->batches
          << ", \"growth_kib\": " << l->growthKiB << ", \"seconds\": " << fmt(l->seconds, 2)
          << ", \"rss_kib\": [";
        for (std::size_t k = 0; k < l->rssKiB.size(); ++k)
            j << (k ? ", " : "") << "[" << l->rssKiB[k].first << ", " << l->rssKiB[k].second << "]";
        j << "], \"errors\": " << jsonStrings(l->errors) << "}";
    }
    if (const auto& i = r.idle)
        j << ",\n  \"idle\": {\"ok\": " << (i->ok ? "true" : "false")
          << ", \"connections\": " << i->connections << ", \"rss_none_kib\": " << i->rssNoneKiB
          << ", \"rss_all_kib\": " << i->rssAllKiB
          << ", \"per_connection_kib\": " << fmt(i->perConnectionKiB, 2)
          << ", \"errors\": " << jsonStrings(i->errors) << "}";
    j << "\n}\n";
    return j.str();
}

} // namespace lg
