#pragma once

namespace znr {

// The character classes the program's text conversions agree on: ASCII only, whatever the
// locale, because every text is 8-bit bytes.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace znr
