// Runs the setting, serial-line and reading conversions on arbitrary bytes: each may fail only
// with its own failure number, and what it gives survives a round trip through the text the
// program writes.

#include "FuzzSupport.h"
#include "config/Conversions.h"
#include "core/Failure.h"
#include "link/SerialSettings.h"
#include "protocol/ReadingValue.h"

#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

using namespace znr;

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

void checkNumbers(const QByteArray& text) {
    using namespace FailureNo;
    const auto number = attempt([&] { return textToNumber(text); }, {Overflow});
    const auto integer = attempt([&] { return textToInteger(text); }, {Overflow, TypeMismatch});
    const auto port = attempt([&] { return textToPort(text); }, {Overflow});
    attempt([&] { return textToWholePort(text); }, {Overflow, TypeMismatch});
    const auto boolean = attempt([&] { return textToBoolean(text); }, {TypeMismatch});
    // A whole number is also the number the text starts with; a port is that number, unsigned.
    FUZZ_CHECK(!integer || number == integer);
    FUZZ_CHECK(!number || *number < 0 || port == quint16(*number));
    if (number)
        FUZZ_CHECK(textToNumber(numberToText(*number)) == *number);
    const QByteArray word = fuzz::trim(text).toLower();
    if (word == "true" || word == "false")
        FUZZ_CHECK(boolean == (word == "true"));
    else if (integer && *integer != 0)
        FUZZ_CHECK(boolean == true);
    if (boolean == false)
        FUZZ_CHECK(number == 0);
}

void checkReading(const QByteArray& text) {
    const auto reading = attempt([&] { return readingValue(text); }, {FailureNo::TypeMismatch});
    if (!reading)
        return;
    FUZZ_CHECK(std::isfinite(*reading) && std::fabs(*reading) <= 1e8);
    FUZZ_CHECK(double(std::llround(*reading * 1000)) / 1000.0 == *reading); // 3 decimal places
    const QByteArray written = readingText(*reading);
    FUZZ_CHECK(written.size() <= 8 && readingValue(written) == *reading);
}

// Any finite double is written in the shortest plain decimal form, and reads back the same.
void checkReadingText(double d) {
    static const QRegularExpression PlainDecimal("\\A-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?\\z");
    const QByteArray t = readingText(d);
    if (std::isfinite(d)) {
        FUZZ_CHECK(PlainDecimal.match(QString::fromLatin1(t)).hasMatch());
        FUZZ_CHECK(std::strtod(t.constData(), nullptr) == d);
    }
}

void checkSerialSettings(const QByteArray& text) {
    const auto s =
        attempt([&] { return parseSerialSettings(text); }, {CommErrorNo::InvalidPropertyValue});
    if (!s)
        return;
    FUZZ_CHECK(text.count(',') == 3 && s->baudRate > 0);
    FUZZ_CHECK(s->dataBits >= QSerialPort::Data5 && s->dataBits <= QSerialPort::Data8);
    FUZZ_CHECK(s->stopBits == QSerialPort::OneStop || s->stopBits == QSerialPort::TwoStop);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    checkNumbers(text);
    checkReading(text);
    checkSerialSettings(text);
    if (size >= sizeof(double)) {
        double d;
        std::memcpy(&d, data, sizeof d);
        checkReadingText(d);
    }
    return 0;
}
