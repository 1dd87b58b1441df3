#include "config/Conversions.h"

#include "core/Failure.h"
#include "unit/config/ConfigFixture.h"

namespace znr {
namespace {

// The result of one conversion as the case table writes it.
QByteArray converted(const QByteArray& conversion, const QByteArray& text) {
    try {
        if (conversion == "number")
            return QByteArray::number(textToNumber(text));
        if (conversion == "port")
            return QByteArray::number(textToPort(text));
        if (conversion == "integer")
            return QByteArray::number(textToInteger(text));
        if (conversion == "wholePort")
            return QByteArray::number(textToWholePort(text));
        if (conversion == "boolean")
            return booleanToText(textToBoolean(text));
        if (conversion == "numberText")
            return numberToText(text.toInt());
    } catch (const Failure& f) {
        return '!' + QByteArray::number(f.number());
    }
    ADD_FAILURE() << "no conversion " << conversion.constData();
    return {};
}

TEST(Conversions, EveryCaseOfTheTableGivesItsResult) {
    const auto rows = test::caseTable("config/conversions.txt");
    ASSERT_GT(rows.size(), 80u);
    for (const QByteArrayList& row : rows) {
        ASSERT_EQ(row.size(), 3) << row.join('|').constData();
        EXPECT_EQ(converted(row[0], row[1]), row[2])
            << row[0].constData() << " of '" << row[1].constData() << "'";
    }
}

TEST(Conversions, WrittenFormsReadBackAsTheSameValue) {
    for (int v : {-32768, -1, 0, 1, 32767})
        EXPECT_EQ(textToNumber(numberToText(v)), v);
    for (bool b : {true, false})
        EXPECT_EQ(textToBoolean(booleanToText(b)), b);
}

} // namespace
} // namespace znr
