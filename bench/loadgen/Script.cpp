#include "Script.h"

#include <cstdio>

namespace lg {

namespace {

std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string frameOf(const char* type, const std::string& payload) {
    std::string f;
    f.reserve(payload.size() + 8);
    f += Soh;
    f += '1';
    f += type;
    f += Stx;
    f += payload;
    f += Etx;
    f += Eot;
    return f;
}

} // namespace

std::string instrumentId(int instrument) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", (instrument + 1) % 10000);
    return buf;
}

std::string batchCode(int batch) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", batch % 1000);
    return buf;
}

std::int64_t readingMilli(int instrument, int batch, int row, int column) {
    const std::uint64_t key = (std::uint64_t(instrument) << 40) ^ (std::uint64_t(batch) << 16) ^
                              (std::uint64_t(row) << 2) ^ std::uint64_t(column);
    const std::uint64_t h = mix(key + 0x9E3779B97F4A7C15ull);
    if (h % 8 == 0)
        return -std::int64_t(1000 + (h >> 8) % 9000);
    return std::int64_t((h >> 8) % 100000);
}

std::string wireValue(std::int64_t milli) {
    const std::int64_t m = milli < 0 ? -milli : milli;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%lld.%03lld", milli < 0 ? "-" : "", (long long)(m / 1000),
                  (long long)(m % 1000));
    return buf;
}

std::string fileValue(std::int64_t milli) {
    const std::int64_t m = milli < 0 ? -milli : milli;
    std::string s = milli < 0 ? "-" : "";
    s += std::to_string(m / 1000);
    std::int64_t frac = m % 1000;
    if (frac != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%03lld", (long long)frac);
        std::string digits = buf;
        while (digits.back() == '0')
            digits.pop_back();
        s += '.';
        s += digits;
    }
    return s;
}

std::string Script::frame(int instrument, int batch, int position) const {
    if (position == 0)
        return frameOf("IST", std::string("RUN MODE,a,b,") + instrumentId(instrument) + ",x");
    if (position == 1)
        return frameOf("STB", std::string("X") + batchCode(batch) + ",W1,D1");
    if (position == rows_ + 2)
        return frameOf("ENB", "0");
    const int row = position - 2;
    return frameOf("DAT", std::to_string(row + 1) + "," +
                              wireValue(readingMilli(instrument, batch, row, 0)) + "," +
                              wireValue(readingMilli(instrument, batch, row, 1)));
}

std::vector<std::string> Script::expectedBlock(int instrument, int batch,
                                               const std::string& dateText) const {
    std::vector<std::string> lines;
    lines.reserve(std::size_t(rows_) + 2);
    lines.push_back(instrumentId(instrument) + "," + batchCode(batch) + "," + dateText + "," +
                    std::to_string(rows_) + ",2");
    lines.push_back("W1,D1");
    for (int r = 0; r < rows_; ++r)
        lines.push_back(fileValue(readingMilli(instrument, batch, r, 0)) + "," +
                        fileValue(readingMilli(instrument, batch, r, 1)));
    return lines;
}

} // namespace lg
