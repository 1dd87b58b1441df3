// Runs the setting conversions (textToNumber, textToInteger, textToBoolean, textToPort,
// textToWholePort, numberToText), the serial line settings (parseSerialSettings) and the
// reading conversions (readingValue, readingText) on arbitrary bytes. A conversion may only
// fail with a Failure; where it gives a result, the results must agree with each other and
// survive a round trip through the text the program writes.

#include "FuzzSupport.h"
#include "config/Conversions.h"
#include "core/Failure.h"
#include "link/SerialSettings.h"
#include "protocol/ReadingValue.h"

#include <cmath>
#include <cstring>

namespace {

using namespace znr;
using fuzz::trim;

// The result, or the failure number.
template <class T> struct Outcome {
    std::optional<T> value;
    int failure = 0;
};

template <class F> auto attempt(F f) -> Outcome<decltype(f())> {
    try {
        return {f(), 0};
    } catch (const Failure& e) {
        return {std::nullopt, e.number()};
    }
}

void checkNumbers(const QByteArray& text) {
    const auto number = attempt([&] { return textToNumber(text); });
    const auto integer = attempt([&] { return textToInteger(text); });
    const auto port = attempt([&] { return textToPort(text); });
    const auto wholePort = attempt([&] { return textToWholePort(text); });
    const bool integerMismatch = integer.failure == FailureNo::TypeMismatch;
    FUZZ_CHECK(number.value || number.failure == FailureNo::Overflow);
    FUZZ_CHECK(integer.value || integer.failure == FailureNo::Overflow || integerMismatch);
    FUZZ_CHECK(port.value || port.failure == FailureNo::Overflow);
    FUZZ_CHECK(wholePort.value || wholePort.failure == FailureNo::Overflow ||
               wholePort.failure == FailureNo::TypeMismatch);

    // Leading blanks are skipped; a whole number is also the number a text starts with.
    FUZZ_CHECK(attempt([&] { return textToNumber(" \t" + text); }).value == number.value);
    FUZZ_CHECK(attempt([&] { return textToInteger(" " + text + "\t"); }).value == integer.value);
    if (integer.value)
        FUZZ_CHECK(number.value == integer.value);

    // A port is the same number with the range 0..65535; typed whole, the whole number.
    if (number.value)
        FUZZ_CHECK(*number.value >= 0 ? port.value == quint16(*number.value) : !port.value);
    if (port.value && *port.value <= 32767)
        FUZZ_CHECK(number.value == qint16(*port.value));
    FUZZ_CHECK((wholePort.failure == FailureNo::TypeMismatch) == integerMismatch);
    if (integer.value)
        FUZZ_CHECK(*integer.value >= 0 ? wholePort.value == quint16(*integer.value)
                                       : !wholePort.value);
    if (wholePort.value) {
        FUZZ_CHECK(port.value == wholePort.value);
        if (*wholePort.value <= 32767)
            FUZZ_CHECK(integer.value == qint16(*wholePort.value));
    }

    if (number.value) {
        const QByteArray written = numberToText(*number.value);
        FUZZ_CHECK(textToNumber(written) == *number.value);
        FUZZ_CHECK(textToInteger(written) == *number.value);
    }
}

void checkBoolean(const QByteArray& text) {
    const auto boolean = attempt([&] { return textToBoolean(text); });
    const auto integer = attempt([&] { return textToInteger(text); });
    const QByteArray word = trim(text).toLower();
    if (word == "true" || word == "false") {
        FUZZ_CHECK(boolean.value == (word == "true"));
        return;
    }
    // Otherwise only a whole number is a Boolean, however large.
    FUZZ_CHECK(boolean.value.has_value() == (integer.failure != FailureNo::TypeMismatch));
    FUZZ_CHECK(boolean.value || boolean.failure == FailureNo::TypeMismatch);
    if (integer.value && *integer.value != 0)
        FUZZ_CHECK(boolean.value == true);
    if (boolean.value == false)
        FUZZ_CHECK(textToNumber(text) == 0);
}

void checkReading(const QByteArray& text) {
    const auto reading = attempt([&] { return readingValue(text); });
    FUZZ_CHECK(reading.value || reading.failure == FailureNo::TypeMismatch);
    if (!reading.value)
        return;
    const double v = *reading.value;
    FUZZ_CHECK(std::isfinite(v) && std::fabs(v) <= 1e8);
    FUZZ_CHECK(double(std::llround(v * 1000)) / 1000.0 == v); // 3 decimal places
    FUZZ_CHECK(v == 0 || (v < 0) == trim(text.left(8)).startsWith('-'));
    // What the data file holds reads back as the same value.
    const QByteArray written = readingText(v);
    FUZZ_CHECK(written.size() <= 8);
    FUZZ_CHECK(readingValue(written) == v);
}

// Settings that parse have values a port can take, and their own text parses the same.
void checkSerialSettings(const QByteArray& text) {
    const auto parsed = attempt([&] { return parseSerialSettings(text); });
    FUZZ_CHECK(parsed.value || parsed.failure == CommErrorNo::InvalidPropertyValue);
    if (!parsed.value)
        return;
    const SerialLineSettings& s = *parsed.value;
    FUZZ_CHECK(text.count(',') == 3);
    FUZZ_CHECK(s.baudRate > 0);
    FUZZ_CHECK(s.dataBits >= QSerialPort::Data5 && s.dataBits <= QSerialPort::Data8);
    FUZZ_CHECK(s.stopBits == QSerialPort::OneStop || s.stopBits == QSerialPort::TwoStop);
    static constexpr char ParityLetters[] = "n?eosm"; // by QSerialPort::Parity's value
    FUZZ_CHECK(s.parity >= QSerialPort::NoParity && s.parity <= QSerialPort::MarkParity &&
               s.parity != 1);
    const QByteArray again = QByteArray::number(s.baudRate) + ',' + ParityLetters[s.parity] + ',' +
                             QByteArray::number(int(s.dataBits)) + ',' +
                             (s.stopBits == QSerialPort::OneStop ? "1" : "2");
    const SerialLineSettings t = parseSerialSettings(again);
    FUZZ_CHECK(t.baudRate == s.baudRate && t.parity == s.parity && t.dataBits == s.dataBits &&
               t.stopBits == s.stopBits);
}

// Any finite double is written in the shortest plain decimal form, and reads back the same.
void checkReadingText(double d) {
    static const QRegularExpression PlainDecimal("\\A-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?\\z");
    const QByteArray t = readingText(d);
    if (!std::isfinite(d))
        return; // never read from a field; only must not crash
    FUZZ_CHECK(fuzz::matches(PlainDecimal, t));
    FUZZ_CHECK(std::strtod(t.constData(), nullptr) == d);
}

void checkNumberToText(qint16 v) {
    const QByteArray t = numberToText(v);
    FUZZ_CHECK(t.startsWith(' ') == (v >= 0));
    FUZZ_CHECK(textToNumber(t) == v);
    FUZZ_CHECK(textToInteger(t) == v);
    FUZZ_CHECK(textToBoolean(t) == (v != 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    checkNumbers(text);
    checkBoolean(text);
    checkReading(text);
    checkSerialSettings(text);
    if (size >= sizeof(double)) {
        double d;
        std::memcpy(&d, data, sizeof d);
        checkReadingText(d);
    }
    if (size >= 2)
        checkNumberToText(qint16(quint16(data[0] | data[1] << 8)));
    return 0;
}
