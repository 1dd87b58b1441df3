#include "protocol/ReadingValue.h"

#include "core/Failure.h"
#include "support/QtPrinters.h"

#include <cmath>
#include <gtest/gtest.h>

namespace znr {
namespace {

TEST(ReadingValue, FirstEightCharactersRoundedToThreePlacesAndWrittenShortest) {
    struct Case {
        const char* field;
        const char* written;
    } cases[] = {
        {"12.34567", "12.346"},
        {"0012.3000", "12.3"},
        {"7", "7"},
        {"7.000", "7"},
        {"0.125", "0.125"},
        {"-0.5", "-0.5"},
        {" -.5 ", "-0.5"},
        {"+3.", "3"},
        {"0.0005", "0.001"},
        {"2.0005", "2.001"},
        {"-2.0005", "-2.001"},
        {"1.0004999", "1"},
        {"-0.0004", "0"},
        {"-0", "0"},
        {"0.9995", "1"},
        {"99999999", "99999999"},
        {"-1234567", "-1234567"},
        {"1.23456789", "1.235"},
        {"\t5\t", "5"},
        {"12345.6789", "12345.67"},
        {"0.1", "0.1"},
        {"234.5675", "234.568"},
        {"34.56749", "34.567"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(readingText(readingValue(c.field)), c.written);
    }
    EXPECT_FALSE(std::signbit(readingValue("-0.0001")));
}

TEST(ReadingValue, TextThatIsNotADecimalNumberIsATypeMismatch) {
    for (const char* field : {"", " ", "abc", "1e3", "1.2.3", "--1", "+", ".", "1 2", "0x10",
                              "12,5", "1-", "\x01", "\xff"}) {
        SCOPED_TRACE(field);
        try {
            readingValue(field);
            ADD_FAILURE() << "accepted";
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), 13);
            EXPECT_EQ(f.description(), "Type mismatch");
        }
    }
    // What lies past the eighth character is never read.
    EXPECT_EQ(readingValue("1234.567junk"), 1234.567);
}

TEST(ReadingValue, WrittenFormReadsBackAsTheSameDouble) {
    for (double v : {0.001, 2.001, 12.346, 1234567.891, -0.003, 99999.999}) {
        const QByteArray text = readingText(v);
        EXPECT_FALSE(text.contains('e')) << text.constData();
        EXPECT_EQ(text.toDouble(), v);
    }
}

} // namespace
} // namespace znr
