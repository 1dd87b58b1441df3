#include "ProtocolFixture.h"

#include <QFile>
#include <unistd.h>

namespace znr::test {
namespace {

using FolderOf = QByteArray AppSettings::*;

struct BatchCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> frames; // type, payload
    FolderOf folder;
    const char* fileName;
    const char* expected; // tests/data/protocol/<expected>_column.dat and _row.dat
};

const BatchCase BatchCases[] = {
    {"RunMode",
     {{"IST", "RUN MODE,a,b,1234567,x"},
      {"STB", "X100,W1,D1"},
      {"DAT", "1,0.81,7.8"},
      {"DAT", "2,0.805,7.79"},
      {"DAT", "3,0.812,7.80"},
      {"ENB", ""}},
     &AppSettings::DataFolder,
     "1234 05-01-2012-101530.dat",
     "run_mode"},
    {"FastModeWithFewerAndExtraFields",
     {{"IST", "FAST MODE,a,b,4321"},
      {"IST", "RUN MODE,a,b,4321"},
      {"STB", "X200,W1,D1"},
      {"DAT", "1,1.5,2.25"},
      {"DAT", "2,-0.5"},
      {"DAT", "3,1,2,3"},
      {"ENB", ""}},
     &AppSettings::FastModeFolder,
     "4321 05-01-2012-101530.dat",
     "fast_mode"},
    {"CalCheckWithCodesAnnouncedOneAtATime",
     {{"IST", "CAL. CHECK,a,b,5678"},
      {"STB", "X300,A1"},
      {"DAT", "1,1.5"},
      {"DAT", "2,1.25"},
      {"DAT", "3,1.125"},
      {"STB", "X300,B1"},
      {"DAT", "1,2"},
      {"DAT", "2,2.5"},
      {"STB", "X300,C1"},
      {"ENB", ""}},
     &AppSettings::CalCheckFolder,
     "5678 05-01-2012-101530.dat",
     "cal_check"},
    {"CheckRodsWithRoundedValues",
     {{"IST", "RUN MODE,a,b,9000"},
      {"STB", "X777,T1,T2"},
      {"DAT", "1,12.34567,0012.3000"},
      {"DAT", "2,0.0005,2.0005"},
      {"DAT", "3,-0.0004, -.5 "},
      {"DAT", "4,+7.000,99999999"},
      {"ENB", ""}},
     &AppSettings::CheckRodsFolder,
     "9000 05-01-2012-101530.dat",
     "check_rods"},
    {"EndedByErr",
     {{"IST", "RUN MODE,a,b,1234"},
      {"STB", "X100,W1"},
      {"DAT", "1,3.5"},
      {"DAT", "2,4"},
      {"ERR", "A2CD,E17"}},
     &AppSettings::DataFolder,
     "1234 05-01-2012-101530.dat",
     "err_ended"},
    {"StbAddingACodeMidBatch",
     {{"IST", "RUN MODE,a,b,1234"},
      {"STB", "X100,W1,D1"},
      {"DAT", "1,0.81,7.8"},
      {"DAT", "2,0.805,7.79"},
      {"STB", "X100,T1"},
      {"DAT", "3,0.5,7.5,20.25"},
      {"ENB", ""}},
     &AppSettings::DataFolder,
     "1234 05-01-2012-101530.dat",
     "code_added"},
};

void PrintTo(const BatchCase& c, std::ostream* os) {
    *os << c.name;
}

struct BatchSender : ProtocolFixture {
    void send(const std::vector<std::pair<const char*, const char*>>& frames, int index = 1) {
        for (const auto& [type, payload] : frames)
            ASSERT_EQ(arrive(frame(type, payload), index), ACK8) << type;
    }
};

struct BatchFileTest : BatchSender, ::testing::WithParamInterface<std::tuple<BatchCase, bool>> {};

TEST_P(BatchFileTest, BatchWritesItsDataFileByteForByteInTheModeFolder) {
    const auto& [c, column] = GetParam();
    settings.CheckRodID = "777";
    settings.DataLayoutColumn = column;
    send(c.frames);
    const std::string expected =
        std::string("protocol/") + c.expected + (column ? "_column.dat" : "_row.dat");
    EXPECT_EQ(listFiles(settings.*c.folder), QByteArrayList{c.fileName});
    EXPECT_EQ(readBytes(settings.*c.folder + c.fileName), testData(expected.c_str()));
    EXPECT_EQ(table.RowCount[1], 0);
    EXPECT_FALSE(state().Readings.has_value());
}

INSTANTIATE_TEST_SUITE_P(Batches, BatchFileTest,
                         ::testing::Combine(::testing::ValuesIn(BatchCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "Column" : "Row");
                         });

struct DataFileTest : ProtocolFixture {
    void runBatch(const char* id) {
        arrive(frame("IST", QByteArray("RUN MODE,a,b,") + id));
        arrive(frame("STB", "X100,W1,D1"));
        arrive(frame("DAT", "1,0.81,7.8"));
        arrive(frame("DAT", "2,0.805,7.79"));
        arrive(frame("DAT", "3,0.812,7.80"));
        arrive(frame("ENB", ""));
    }
};

TEST_F(DataFileTest, SameSecondBatchIsAppendedToTheSameFile) {
    runBatch("1234");
    runBatch("1234");
    EXPECT_EQ(readBytes(settings.DataFolder + "1234 05-01-2012-101530.dat"),
              testData("protocol/run_mode_twice_column.dat"));
    clock.advanceMs(1000);
    runBatch("1234");
    const QByteArray next = readBytes(settings.DataFolder + "1234 05-01-2012-101531.dat");
    EXPECT_TRUE(next.startsWith("1234,100,5/1/2012 10:15:31 AM,3,2\r\n"));
    EXPECT_EQ(next.count("\r\n"), 5);
}

TEST_F(DataFileTest, CheckRodComparisonIsExactAndOnlyInRunMode) {
    settings.CheckRodID = "101";
    runBatch("1234");
    EXPECT_EQ(listFiles(settings.DataFolder).size(), 1);
    EXPECT_TRUE(listFiles(settings.CheckRodsFolder).isEmpty());
    settings.CheckRodID = "100";
    clock.advanceMs(1000);
    runBatch("1234");
    EXPECT_EQ(listFiles(settings.CheckRodsFolder), QByteArrayList{"1234 05-01-2012-101531.dat"});
}

TEST_F(DataFileTest, InstrumentIdFromTheWireCannotLeaveTheFolder) {
    struct Case {
        const char* id;
        const char* fileName;
    } cases[] = {
        {"../x", ".._x 05-01-2012-101530.dat"},  {"..", ".. 05-01-2012-101530.dat"},
        {".", ". 05-01-2012-101530.dat"},        {"a:*?", "a___ 05-01-2012-101530.dat"},
        {"\"<>|", "____ 05-01-2012-101530.dat"}, {"\\\t\x7f/", "____ 05-01-2012-101530.dat"}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        settings.DataFolder = dir.sub(("data" + std::to_string(++n)).c_str());
        runBatch(c.id);
        EXPECT_EQ(listFiles(settings.DataFolder), QByteArrayList{c.fileName});
        EXPECT_TRUE(
            readBytes(settings.DataFolder + c.fileName).startsWith(QByteArray(c.id) + ",100,"));
    }
    EXPECT_EQ(listFiles(dir.folder()), QByteArrayList());
    EXPECT_EQ(logText(), "");
}

TEST_F(DataFileTest, FolderThatCannotTakeTheFileIsLoggedAndTheBatchStillEnds) {
    TempDir other;
    // The target is a symbolic link to /dev/full: opening works, writing fails.
    ASSERT_EQ(::symlink("/dev/full", other.path("1234 05-01-2012-101530.dat").constData()), 0);
    struct Case {
        QByteArray folder;
        const char* failure;
    } cases[] = {{dir.folder() + "missing/", "76, Path not found"},
                 {"/dev/full/", "76, Path not found"},
                 {other.folder(), "61, Disk full"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        QFile::remove(QFile::decodeName(settings.ErrorLogFolder + "ZNRError.log"));
        settings.DataFolder = c.folder;
        runBatch("1234");
        EXPECT_EQ(table.RowCount[1], 0);
        EXPECT_EQ(state().Mode, "");
        EXPECT_EQ(logText(), "MakeFile, " + QByteArray(c.failure) + ", 5/1/2012 10:15:30 AM\r\n");
    }
}

TEST_F(DataFileTest, BatchesOfTwoConnectionsStayApart) {
    arrive(frame("IST", "RUN MODE,a,b,1111"), 1);
    arrive(frame("IST", "RUN MODE,a,b,2222"), 2);
    arrive(frame("STB", "X100,W1,D1"), 1);
    arrive(frame("STB", "X100,Q1"), 2);
    arrive(frame("DAT", "1,0.81,7.8"), 1);
    arrive(frame("DAT", "1,5"), 2);
    arrive(frame("ENB", ""), 2);
    EXPECT_EQ(readBytes(settings.DataFolder + "2222 05-01-2012-101530.dat"),
              "2222,100,5/1/2012 10:15:30 AM,1,1\r\nQ1\r\n5\r\n");
    arrive(frame("ENB", ""), 1);
    EXPECT_EQ(readBytes(settings.DataFolder + "1111 05-01-2012-101530.dat"),
              "1111,100,5/1/2012 10:15:30 AM,1,2\r\nW1,D1\r\n0.81,7.8\r\n");
}

const BatchCase& batchNamed(std::string_view name) {
    for (const BatchCase& c : BatchCases)
        if (c.name == name)
            return c;
    throw std::logic_error("no such batch");
}

struct RawBatchFileTest : BatchSender {};

// The ACK8 of a batch's last frame is sent after the export: it opens the next batch's file.
// RAW DATA TEMP NUMBER does not limit which connections keep their traffic.
TEST_F(RawBatchFileTest, EachBatchExportsItsTrafficAndTheEndingAckOpensTheNext) {
    settings.ArchiveRawFile = "YES";
    const int index = settings.RawDataTempNumber + 1;
    table.ensureIndex(index);
    rows.addRow(index);
    send(batchNamed("RunMode").frames, index);
    clock.advanceMs(60'000);
    send(batchNamed("EndedByErr").frames, index);
    EXPECT_EQ(listFiles(settings.RawFileFolder),
              (QByteArrayList{"1234_100_05-01-2012-101530.dat", "1234_100_05-01-2012-101630.dat"}));
    EXPECT_EQ(readBytes(settings.RawFileFolder + "1234_100_05-01-2012-101530.dat"),
              testData("protocol/raw_first_batch.dat"));
    EXPECT_EQ(readBytes(settings.RawFileFolder + "1234_100_05-01-2012-101630.dat"),
              testData("protocol/raw_second_batch.dat"));
    EXPECT_EQ(raw[index].Lines, QByteArrayList{"<SENT><ACK8>"});
    EXPECT_EQ(raw[index].Count, 1);
    EXPECT_EQ(listFiles(settings.DataFolder),
              (QByteArrayList{"1234 05-01-2012-101530.dat", "1234 05-01-2012-101630.dat"}));
    EXPECT_EQ(logText(), "ZNR Error, 1,E17, 5/1/2012 10:16:30 AM\r\n"); // the ERR frame's own
}

// 200 bytes hold the first six lines of the batch. Each batch logs once; the data file is whole.
TEST_F(RawBatchFileTest, FullRawRecordIsLoggedOncePerBatchAndLeavesTheDataFileWhole) {
    settings.ArchiveRawFile = "YES";
    raw = RawData::withByteLimit(200);
    send(batchNamed("RunMode").frames);
    clock.advanceMs(60'000);
    send(batchNamed("RunMode").frames);
    const QByteArray sixLines =
        testData("protocol/raw_first_batch.dat").split('\n').mid(0, 6).join('\n');
    EXPECT_EQ(readBytes(settings.RawFileFolder + "1234_100_05-01-2012-101530.dat"),
              sixLines + '\n');
    EXPECT_EQ(readBytes(settings.DataFolder + "1234 05-01-2012-101530.dat"),
              testData("protocol/run_mode_column.dat"));
    const QByteArray full =
        "CreateRawFile, 6, Raw record full: more than 200 bytes; later lines not recorded, ";
    EXPECT_EQ(logText(), full + "5/1/2012 10:15:30 AM\r\n" + full + "5/1/2012 10:16:30 AM\r\n");
}

TEST_F(RawBatchFileTest, RawFolderThatCannotBeWrittenIsLoggedAndTheDataFileIsStillWritten) {
    settings.ArchiveRawFile = "YES";
    settings.RawFileFolder = dir.folder() + "missing/";
    send(batchNamed("RunMode").frames);
    EXPECT_EQ(readBytes(settings.DataFolder + "1234 05-01-2012-101530.dat"),
              testData("protocol/run_mode_column.dat"));
    EXPECT_EQ(raw[1].Lines, QByteArrayList{"<SENT><ACK8>"});
    EXPECT_EQ(logText(), "ExportRawFile, 76, Path not found, 5/1/2012 10:15:30 AM\r\n");
}

TEST_F(RawBatchFileTest, RawFileNameKeepsWireTextsInsideTheFolder) {
    settings.ArchiveRawFile = "YES";
    arrive(frame("IST", "RUN MODE,a,b,../x"));
    arrive(frame("STB", "X/:1,W1"));
    arrive(frame("DAT", "1,2"));
    arrive(frame("ENB", ""));
    // ID "../x", BatchCode "/:1"
    EXPECT_EQ(listFiles(settings.RawFileFolder), QByteArrayList{".._x___1_05-01-2012-101530.dat"});
    EXPECT_EQ(listFiles(dir.folder()), QByteArrayList());
}

} // namespace
} // namespace znr::test
