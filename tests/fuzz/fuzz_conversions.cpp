// Runs the setting, serial-line and reading conversions on arbitrary bytes: each may fail only
// with its own failure number, and what it gives survives a round trip through the text the
// program writes.

#include "FuzzSupport.h"
#include "config/Conversions.h"
#include "core/Failure.h"
#include "link/SerialSettings.h"
#include "protocol/ReadingValue.h"

#include <cmath>
#include <cstring>
#include <optional>

namespace {

using namespace znr;
using namespace FailureNo;

// The result, or the failure number, which must be one of `allowed`.
template <class F>
auto attempt(F f, std::initializer_list<int> allowed) -> std::optional<decltype(f())> {
    try {
        return f();
    } catch (const Failure& e) {
        FUZZ_CHECK(std::find(allowed.begin(), allowed.end(), e.number()) != allowed.end());
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto number = attempt([&] { return textToNumber(text); }, {Overflow});
    const auto integer = attempt([&] { return textToInteger(text); }, {Overflow, TypeMismatch});
    attempt([&] { return textToPort(text); }, {Overflow});
    attempt([&] { return textToWholePort(text); }, {Overflow, TypeMismatch});
    attempt([&] { return textToBoolean(text); }, {TypeMismatch});
    attempt([&] { return parseSerialSettings(text); }, {CommErrorNo::InvalidPropertyValue});
    // A whole number is also the number the text starts with; both survive being written.
    FUZZ_CHECK(!integer || number == integer);
    FUZZ_CHECK(!number || textToNumber(numberToText(*number)) == *number);

    const auto reading = attempt([&] { return readingValue(text); }, {TypeMismatch});
    FUZZ_CHECK(!reading || readingValue(readingText(*reading)) == *reading);
    if (size >= sizeof(double)) { // any finite double is written so that it reads back the same
        double d;
        std::memcpy(&d, data, sizeof d);
        FUZZ_CHECK(!std::isfinite(d) || std::strtod(readingText(d).constData(), nullptr) == d);
    }
    return 0;
}
