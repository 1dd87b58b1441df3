#include "protocol/ParseString.h"

#include "ProtocolFixture.h"

namespace znr::test {
namespace {

struct ParseStringTest : ProtocolFixture {
    QByteArray parse(const QByteArray& f, int index = 1) {
        QByteArray text = f;
        return ParseString(ctx, index, text);
    }
    static QByteArray logLine(const char* name, const char* failure) {
        return QByteArray(name) + ", " + failure + ", 5/1/2012 10:15:30 AM\r\n";
    }
};

TEST_F(ParseStringTest, IstSetsModeIdRowTextAndStartTime) {
    clock.advanceMs(2000);
    EXPECT_EQ(parse(frame("IST", "RUN MODE,a,b,1234567,x")), "Status and ID Received");
    EXPECT_EQ(state().Mode, "RUN MODE");
    EXPECT_EQ(state().InstrumentID, "1234");
    EXPECT_EQ(rows.rowText[1], "1234");
    EXPECT_EQ(state().StartTime, clock.now());
    EXPECT_EQ(rows.rowText[2], "N/A");

    parse(frame("IST", "FAST MODE,a,b,12"));
    EXPECT_EQ(state().InstrumentID, "12");
    parse(frame("IST", "RUN MODE,a,b,5678"));
    EXPECT_EQ(state().Mode, "FAST MODE"); // kept until the batch ends
    EXPECT_EQ(state().InstrumentID, "5678");
}

TEST_F(ParseStringTest, ResultTextsByExactType) {
    struct Case {
        QByteArray frame;
        const char* result;
    } cases[] = {
        {frame("RST", "anything"), "ZNR Reset"},
        {frame("IDT", "1,2,3"), "Date Received"},
        {frame("STB", "X100,AB"), "Measurements Received"},
        {frame("ENB", ""), "ENB,ENB Received"},
        {frame("ERR", "A2CD,E17"), ""},
        {frame("ist", "RUN MODE,a,b,1234"), "URC,Nothing"},
        {frame("XYZ", ""), "URC,Nothing"},
        {"\x01"
         "1IS\x02,a\x03\x04",
         "URC,Nothing"}, // type cut short by a comma
        {"\x01"
         "1ST,B\x02X100,AB\x03\x04",
         "URC,Nothing"}, // text before the first comma
        {"\x01"
         "\x01RST\x02\x03\x04",
         "ZNR Reset"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame.toHex(' ').toStdString());
        EXPECT_EQ(parse(c.frame), c.result);
    }
    EXPECT_EQ(state().DateStamp, std::nullopt); // reset by the ENB after the IDT
    EXPECT_EQ(logText(), "ZNR Error, 1,E17, 5/1/2012 10:15:30 AM\r\n");
}

TEST_F(ParseStringTest, IdtStampsTheRecordAndFrameBecomesThePayload) {
    QByteArray text = frame("IDT", "12,34");
    EXPECT_EQ(ParseString(ctx, 1, text), "Date Received");
    EXPECT_EQ(text, "12,34");
    EXPECT_EQ(state().DateStamp, clock.now());
}

TEST_F(ParseStringTest, StbAppendsTwoCharacterCodesAndTakesBatchCode) {
    EXPECT_EQ(parse(frame("STB", "X100,ABC,CD")), "Measurements Received");
    parse(frame("STB", "X100,EF"));
    EXPECT_EQ(state().CodeList, "AB,CD,EF");
    EXPECT_EQ(state().BatchCode, "100");
    parse(frame("STB", "Y7"));
    EXPECT_EQ(state().CodeList, "AB,CD,EF");
    EXPECT_EQ(state().BatchCode, "Y7");
}

TEST_F(ParseStringTest, StbNamesRawRecordOnlyWhileArchivingIsExactlyYes) {
    parse(frame("IST", "RUN MODE,a,b,1234"));
    settings.ArchiveRawFile = "yes";
    parse(frame("STB", "X100,AB"));
    EXPECT_EQ(raw[1].ID, "");
    settings.ArchiveRawFile = "YES";
    parse(frame("STB", "X101,AB"));
    EXPECT_EQ(raw[1].ID, "1234");
    EXPECT_EQ(raw[1].Code, "101");
}

TEST_F(ParseStringTest, ErrNumberIsFirstOfLastThreeCharactersLessOne) {
    struct Case {
        const char* field0;
        const char* number;
    } cases[] = {{"A2CD", "1"}, {"XY9AB", "8"}, {"2", "1"},    {"0", "-1"},
                 {"AB", "-1"},  {"", "-1"},     {"A 5", "-1"}, {"12", "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field0);
        TempDir logDir;
        settings.ErrorLogFolder = logDir.folder();
        parse(frame("ERR", QByteArray(c.field0) + ",E17"));
        EXPECT_EQ(readBytes(logDir.path("ZNRError.log")),
                  "ZNR Error, " + QByteArray(c.number) + ",E17, 5/1/2012 10:15:30 AM\r\n");
    }
}

TEST_F(ParseStringTest, ErrLogsTheInstrumentErrorThenWritesAndResetsTheBatch) {
    parse(frame("IST", "RUN MODE,a,b,1234"));
    parse(frame("STB", "X100,W1"));
    parse(frame("DAT", "1,0.5"));
    EXPECT_EQ(parse(frame("ERR", "A2CD,E17")), "");
    EXPECT_EQ(logText(), "ZNR Error, 1,E17, 5/1/2012 10:15:30 AM\r\n");
    EXPECT_EQ(readBytes(settings.DataFolder + "1234 05-01-2012-101530.dat"),
              "1234,100,5/1/2012 10:15:30 AM,1,1\r\nW1\r\n0.5\r\n");
    EXPECT_EQ(state().ErrorText, "");
    EXPECT_EQ(state().Mode, "");
    EXPECT_EQ(table.RowCount[1], 0);
}

TEST_F(ParseStringTest, ErrWithoutErrorFolderOrWithUnwritableLogStillEndsTheBatch) {
    for (const QByteArray& folder : {QByteArray(), QByteArray("/dev/full/")}) {
        settings.ErrorLogFolder = folder;
        parse(frame("IST", "RUN MODE,a,b,1234"));
        parse(frame("STB", "X100,W1"));
        parse(frame("DAT", "1,0.5"));
        parse(frame("ERR", "A2CD,E17"));
        EXPECT_EQ(state().Mode, "");
        EXPECT_EQ(table.RowCount[1], 0);
    }
    EXPECT_EQ(readBytes(settings.DataFolder + "1234 05-01-2012-101530.dat"),
              "1234,100,5/1/2012 10:15:30 AM,1,1\r\nW1\r\n0.5\r\n"
              "1234,100,5/1/2012 10:15:30 AM,1,1\r\nW1\r\n0.5\r\n");
}

TEST_F(ParseStringTest, ErrWithoutFieldOneEndsParsingBeforeTheBatchEnds) {
    parse(frame("IST", "RUN MODE,a,b,1234"));
    parse(frame("ERR", "A2CD"));
    EXPECT_EQ(state().Mode, "RUN MODE");
    EXPECT_EQ(logText(), logLine("ParseString", "9, Subscript out of range"));
}

TEST_F(ParseStringTest, PayloadIsBetweenFirstStxAndFirstEtx) {
    struct Case {
        QByteArray frame;
        QByteArray payload;
    } cases[] = {
        {frame("STB", "X100,AB") + "tail\x03\x02", "X100,AB"},
        {"\x01"
         "1STBX100,AB\x03\x04",
         "\x01"
         "1STBX100,AB"}, // no STX: from the start
        {"\x01"
         "1RST\x02\x03\x04",
         ""},
        {"\x02\x03", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(framePayload(c.frame), c.payload);
    }
    // Without STX, field 0 begins with SOH and the type.
    parse("\x01"
          "1ISTRUN MODE,a,b,1234\x03\x04");
    EXPECT_EQ(state().Mode, "\x01"
                            "1ISTRUN MODE");
    EXPECT_EQ(state().InstrumentID, "1234");
}

TEST_F(ParseStringTest, FramesWithoutPayloadBoundsChangeNothingAndAreLogged) {
    const QByteArray bad[] = {
        "\x01"
        "1IST\x02RUN MODE,a,b,1234\x04", // no ETX
        "\x01"
        "1IST\x03RUN MODE\x02,a,b,1234\x04", // ETX before STX
        "\x01"
        "1IST\x03\x02RUN MODE,a,b,1234\x03\x04", // first ETX right before STX: -1
    };
    for (const QByteArray& f : bad)
        EXPECT_EQ(parse(f), "");
    EXPECT_EQ(state().Mode, "");
    EXPECT_EQ(rows.rowText[1], "N/A");
    const QByteArray line = logLine("ParseString", "5, Invalid procedure call or argument");
    EXPECT_EQ(logText(), line + line + line);
}

TEST_F(ParseStringTest, PositionsBeyond32767AreAnOverflow) {
    const QByteArray longFrame = "\x01"
                                 "1RST" +
                                 QByteArray(32762, 'a') + "\x02x\x03\x04";
    EXPECT_EQ(parse(longFrame), "");
    const QByteArray fits = "\x01"
                            "1RST" +
                            QByteArray(32759, 'a') + "\x02x\x03\x04";
    EXPECT_EQ(parse(fits), "ZNR Reset");
    EXPECT_EQ(logText(), logLine("ParseString", "6, Overflow"));
}

TEST_F(ParseStringTest, IstWithTooFewFieldsKeepsTheModeItSetAndIsLogged) {
    EXPECT_EQ(parse(frame("IST", "CAL. CHECK,a,b")), "");
    EXPECT_EQ(state().Mode, "CAL. CHECK");
    EXPECT_EQ(state().InstrumentID, "");
    EXPECT_EQ(state().StartTime, std::nullopt);
    EXPECT_EQ(parse(frame("IST", "")), ""); // one empty field
    EXPECT_EQ(state().Mode, "");
    EXPECT_EQ(logText(), logLine("ParseString", "9, Subscript out of range") +
                             logLine("ParseString", "9, Subscript out of range"));
}

TEST_F(ParseStringTest, IstOnConnectionWithoutRowIsLoggedAfterSettingTheId) {
    table.ensureIndex(4);
    parse(frame("IST", "RUN MODE,a,b,1234"), 4);
    EXPECT_EQ(table.InstrumentState[4].InstrumentID, "1234");
    EXPECT_EQ(table.InstrumentState[4].StartTime, std::nullopt);
    EXPECT_EQ(logText(), logLine("ParseString", "9, Subscript out of range"));
}

TEST_F(ParseStringTest, DatWithLettersKeepsCellsSoFarAndDoesNotAdvance) {
    parse(frame("IST", "RUN MODE,a,b,1234"));
    parse(frame("STB", "X100,W1,D1,T1"));
    EXPECT_EQ(parse(frame("DAT", "1,0.5,abc,7")), "");
    EXPECT_EQ(table.RowIndex[1], 0);
    EXPECT_EQ(table.RowCount[1], 0);
    EXPECT_EQ(state().Readings->cell(0, 1), 0.5);
    EXPECT_EQ(state().Readings->cell(0, 3), std::nullopt);
    EXPECT_EQ(parse(frame("DAT", "1,0.25,,7")), ""); // an empty reading is no number either
    EXPECT_EQ(parse(frame("DAT", "1,0.25,1e3,7")), "");
    EXPECT_EQ(parse(frame("DAT", "2,1,2,3,99,x")), "DAT Received"); // extra fields ignored
    EXPECT_EQ(state().Readings->cell(0, 1), 1.0);
    EXPECT_EQ(state().Readings->cell(0, 3), 3.0);
    EXPECT_EQ(table.RowCount[1], 1);
    const QByteArray mismatch = logLine("ParseString", "13, Type mismatch");
    EXPECT_EQ(logText(), mismatch + mismatch + mismatch);
}

TEST_F(ParseStringTest, CalCheckDatBeforeAnyStbIsLoggedTwiceAndChangesNothing) {
    parse(frame("IST", "CAL. CHECK,a,b,1234"));
    EXPECT_EQ(parse(frame("DAT", "1,0.5")), "");
    EXPECT_FALSE(state().Readings.has_value());
    EXPECT_EQ(table.RowCount[1], 0);
    EXPECT_EQ(table.RowIndex[1], 0);
    EXPECT_EQ(logText(), logLine("RedimArray", "9, Subscript out of range") +
                             logLine("ParseString", "9, Subscript out of range"));
}

TEST_F(ParseStringTest, EnbWithoutRowsWritesNothingAndResets) {
    parse(frame("IST", "RUN MODE,a,b,1234"));
    parse(frame("STB", "X100,W1"));
    EXPECT_EQ(parse(frame("ENB", "")), "ENB,ENB Received");
    EXPECT_EQ(state().CodeList, "");
    EXPECT_EQ(state().InstrumentID, "");
    EXPECT_TRUE(listFiles(settings.DataFolder).isEmpty());
    EXPECT_EQ(logText(), "");
}

TEST_F(ParseStringTest, ModeWithoutFolderWritesNoFileLogsMakeFileAndStillResets) {
    parse(frame("STB", "X100,W1"));
    parse(frame("DAT", "1,0.5")); // no IST: Mode empty, code k in column k
    EXPECT_EQ(parse(frame("ENB", "")), "ENB,ENB Received");
    EXPECT_EQ(table.RowCount[1], 0);
    EXPECT_FALSE(state().Readings.has_value());
    for (const char* folder : {"Data Files", "Cal Check", "Check Rods", "Fast Mode"})
        EXPECT_TRUE(listFiles(dir.folder() + folder).isEmpty()) << folder;
    EXPECT_EQ(logText(), logLine("MakeFile", "5, Invalid procedure call or argument"));
}

TEST_F(ParseStringTest, EmptyFolderSettingWritesNothingSilently) {
    settings.DataFolder.clear();
    parse(frame("IST", "RUN MODE,a,b,1234"));
    parse(frame("STB", "X100,W1"));
    parse(frame("DAT", "1,0.5"));
    parse(frame("ENB", ""));
    EXPECT_EQ(table.RowCount[1], 0);
    EXPECT_EQ(logText(), "");
}

} // namespace
} // namespace znr::test
