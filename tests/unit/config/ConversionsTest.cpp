#include "config/Conversions.h"

#include "core/Failure.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace znr {
namespace {

// The failure number a conversion throws, or nothing when it succeeds.
template <class F> std::optional<int> failureOf(F&& convert) {
    try {
        convert();
        return std::nullopt;
    } catch (const Failure& f) {
        return f.number();
    }
}

constexpr int Overflow = FailureNo::Overflow;
constexpr int Mismatch = FailureNo::TypeMismatch;

struct NumberCase {
    const char* text;
    int value;                  // when it converts
    std::optional<int> failure; // else the failure number
};

TEST(Conversions, NumberTakesTheLeadingNumberRoundedHalvesToEven) {
    const NumberCase cases[] = {
        {"2", 2, {}},
        {" 2", 2, {}},
        {"\t 2 ", 2, {}},
        {"2.5", 2, {}},
        {"3.5", 4, {}},
        {"2.51", 3, {}},
        {"2.4999", 2, {}},
        {"-2.5", -2, {}},
        {"-3.5", -4, {}},
        {"0.5", 0, {}},
        {"-0.5", 0, {}},
        {".5", 0, {}},
        {"1.5", 2, {}},
        {"1 2", 12, {}},
        {"- 1 2 . 6", -13, {}},
        {"12abc", 12, {}},
        {"1.2.3", 1, {}},
        {"1E3", 1, {}},
        {"+7", 7, {}},
        {"abc", 0, {}},
        {"", 0, {}},
        {"-", 0, {}},
        {".", 0, {}},
        {"&H10", 0, {}},
        {"-32768", -32768, {}},
        {"32767", 32767, {}},
        {"32767.4", 32767, {}},
        {"-32768.5", -32768, {}},
        {"32768", 0, Overflow},
        {"-32769", 0, Overflow},
        {"32767.5", 0, Overflow},
        {"99999", 0, Overflow},
        {"123456789012345678901234567890", 0, Overflow},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(failureOf([&] { textToNumber(c.text); }), c.failure);
        if (!c.failure) {
            EXPECT_EQ(textToNumber(c.text), c.value);
        }
    }
}

TEST(Conversions, PortAllowsTheWholeUnsignedRange) {
    const NumberCase cases[] = {
        {"4001", 4001, {}},
        {"50000", 50000, {}},
        {" 65535", 65535, {}},
        {"0", 0, {}},
        {"", 0, {}},
        {"80x", 80, {}},
        {"65535.5", 0, Overflow},
        {"65536", 0, Overflow},
        {"70000", 0, Overflow},
        {"-1", 0, Overflow},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(failureOf([&] { textToPort(c.text); }), c.failure);
        if (!c.failure) {
            EXPECT_EQ(textToPort(c.text), c.value);
        }
    }
}

TEST(Conversions, IntegerNeedsTheWholeTextToBeANumber) {
    const NumberCase cases[] = {
        {"0", 0, {}},           {" 2 ", 2, {}},
        {"2.5", 2, {}},         {"1.5", 2, {}},
        {"-1", -1, {}},         {"1 2", 12, {}},
        {"", 0, Mismatch},      {"  ", 0, Mismatch},
        {"abc", 0, Mismatch},   {"2x", 0, Mismatch},
        {"-", 0, Mismatch},     {".", 0, Mismatch},
        {"1E3", 0, Mismatch},   {"1.2.3", 0, Mismatch},
        {"32768", 0, Overflow}, {"-40000", 0, Overflow},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(failureOf([&] { textToInteger(c.text); }), c.failure);
        if (!c.failure) {
            EXPECT_EQ(textToInteger(c.text), c.value);
        }
    }
}

TEST(Conversions, WholePortNeedsTheWholeTextAndTheUnsignedRange) {
    const NumberCase cases[] = {
        {"10001", 10001, {}},     {" 50000 ", 50000, {}},
        {"65535", 65535, {}},     {"0", 0, {}},
        {"-0.4", 0, {}},          {"80.5", 80, {}},
        {"abc", 0, Mismatch},     {"", 0, Mismatch},
        {"80x", 0, Mismatch},     {"65536", 0, Overflow},
        {"70000", 0, Overflow},   {"-1", 0, Overflow},
        {"65535.5", 0, Overflow},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(failureOf([&] { textToWholePort(c.text); }), c.failure);
        if (!c.failure) {
            EXPECT_EQ(textToWholePort(c.text), c.value);
        }
    }
}

TEST(Conversions, BooleanIsTrueFalseOrANumber) {
    const NumberCase cases[] = {
        {"True", 1, {}},      {"TRUE", 1, {}},     {"false", 0, {}},       {" False ", 0, {}},
        {"1", 1, {}},         {"-1", 1, {}},       {"0", 0, {}},           {"0.0", 0, {}},
        {"0.4", 1, {}},       {"99999", 1, {}},    {"maybe", 0, Mismatch}, {"", 0, Mismatch},
        {"Tru", 0, Mismatch}, {"1x", 0, Mismatch}, {"Yes", 0, Mismatch},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(failureOf([&] { textToBoolean(c.text); }), c.failure);
        if (!c.failure) {
            EXPECT_EQ(textToBoolean(c.text), c.value != 0);
        }
    }
}

TEST(Conversions, WrittenFormsReadBackAsTheSameValue) {
    EXPECT_EQ(numberToText(30), " 30");
    EXPECT_EQ(numberToText(0), " 0");
    EXPECT_EQ(numberToText(-3), "-3");
    EXPECT_EQ(numberToText(-32768), "-32768");
    EXPECT_EQ(booleanToText(true), "True");
    EXPECT_EQ(booleanToText(false), "False");
    for (int v : {-32768, -1, 0, 1, 32767})
        EXPECT_EQ(textToNumber(numberToText(v)), v);
    for (bool b : {true, false})
        EXPECT_EQ(textToBoolean(booleanToText(b)), b);
}

} // namespace
} // namespace znr
