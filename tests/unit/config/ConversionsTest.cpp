// The pure conversions of texts, each row of a table "function|input|result", failures written
// as "!number". A table may name one function for all its rows ("input|result").
#include "config/Conversions.h"

#include "config/PasswordScrambling.h"
#include "config/SettingsOptions.h"
#include "core/DateTimeText.h"
#include "core/Failure.h"
#include "core/SafeFileName.h"
#include "link/SerialSettings.h"
#include "protocol/DebugText.h"
#include "protocol/RawTrafficFiles.h"
#include "protocol/ReadingValue.h"
#include "unit/config/ConfigFixture.h"

namespace znr {
namespace {

QByteArray serialText(const SerialLineSettings& s) {
    return QByteArray::number(s.baudRate) + ',' + "n?eosm"[s.parity] + ',' +
           QByteArray::number(int(s.dataBits)) + ',' + QByteArray::number(int(s.stopBits));
}

QByteArray rendered(QByteArray text, const ErrorLog& log) {
    const QByteArray returned = renderControls(text, log);
    return returned == text ? returned : "returned " + returned + ", kept " + text;
}

QByteArray converted(const QByteArray& function, const QByteArray& text, const ErrorLog& log) {
    const QByteArrayList words = function.split(' '); // a function and its argument
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    AppSettings settings; // COM3 is configured, the others take the system's names
    settings.serialPortDevices[3] = "/dev/ttyUSB0";
    const std::map<QByteArray, std::function<QByteArray()>> functions = {
        {"number", [&] { return QByteArray::number(textToNumber(text)); }},
        {"port", [&] { return QByteArray::number(textToPort(text)); }},
        {"integer", [&] { return QByteArray::number(textToInteger(text)); }},
        {"wholePort", [&] { return QByteArray::number(textToWholePort(text)); }},
        {"boolean", [&] { return booleanToText(textToBoolean(text)); }},
        {"numberText", [&] { return numberToText(text.toInt()); }},
        {"serial", [&] { return serialText(parseSerialSettings(text)); }},
        {"device", [&] { return serialDeviceFor(text.toInt(), settings); }},
        {"folder", [&] { return folderOfChoice(text).value_or("none"); }},
        {"scramble", [&] { return scramblePassword(text, log); }},
        {"unscramble", [&] { return unscramblePassword(text, log); }},
        {"reading", [&] { return readingText(readingValue(text)); }},
        {"written", [&] { return readingText(text.toDouble()); }},
        {"safeName", [&] { return safeFileNamePart(text); }},
        {"render", [&] { return rendered(text, log); }},
        {"general", [&] { return generalDateTime(time); }},
        {"stamp", [&] { return fileStamp(time); }},
        {"display", [&] { return debugDisplayText(text).toUtf8(); }},
        {"fromDisplay", [&] { return debugBytesFromDisplay(QString::fromUtf8(text)); }},
        {"redisplay", [&] { return debugBytesFromDisplay(debugDisplayText(text)); }},
        {"trimPoint", [&] { return QByteArray::number(debugTrimPoint(text, words[1].toInt())); }},
    };
    const auto it = functions.find(words[0]);
    if (it == functions.end())
        return "no function " + function;
    try {
        return it->second();
    } catch (const Failure& f) {
        return '!' + QByteArray::number(f.number());
    }
}

TEST(Conversions, EveryRowOfTheTablesGivesItsResult) {
    const QByteArray noFolder;
    const test::FakeClock clock;
    const ErrorLog log{noFolder, clock};
    for (const auto& [table, function] : {std::pair{"config/conversions.txt", ""},
                                          {"protocol/readings.txt", "reading"},
                                          {"records/texts.txt", ""},
                                          {"records/render_controls.txt", "render"}}) {
        const auto rows = test::caseTable(table);
        ASSERT_GT(rows.size(), 5u) << table;
        for (QByteArrayList row : rows) {
            if (*function)
                row.prepend(function);
            ASSERT_EQ(row.size(), 3) << table << ": " << row.join('|').constData();
            EXPECT_EQ(converted(row[0], row[1], log), row[2])
                << table << ": " << row[0].constData() << " of '" << row[1].constData() << "'";
        }
    }
}

} // namespace
} // namespace znr
