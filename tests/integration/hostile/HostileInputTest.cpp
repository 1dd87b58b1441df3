#include "integration/program/ProgramFixture.h"

#include <QTest>
#include <filesystem>
#include <set>
#include <string>

namespace znr {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Every path under `root`, byte for byte (names may hold any byte but '/' and NUL).
std::set<std::string> tree(const QByteArray& root) {
    std::set<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(root.toStdString())))
        paths.insert(e.path().native());
    return paths;
}

const char* const kFolders[] = {"Data Files", "Cal Check", "Check Rods",
                                "Fast Mode",  "Error Log", "Raw Files"};

// What appeared under the run's folder that is not a plain file directly inside one of the
// six folders.
std::set<std::string> strayPaths(const std::set<std::string>& before,
                                 const std::set<std::string>& after, const QByteArray& root) {
    std::set<std::string> stray;
    for (const std::string& p : after) {
        if (before.count(p))
            continue;
        const fs::path path(p);
        bool inside = false;
        for (const char* f : kFolders)
            inside = inside || path.parent_path() == fs::path(root.toStdString()) / f;
        if (!inside || !fs::is_regular_file(fs::symlink_status(path)))
            stray.insert(p);
    }
    return stray;
}

// Nothing but ACK8 came back, one per EOT sent, and no more after a pause.
void expectOneAckPerEot(TestInstrument& instrument, qint64 eots) {
    EXPECT_TRUE(instrument.waitForAcks(eots, 60000)) << instrument.acks() << " of " << eots;
    QTest::qWait(300);
    EXPECT_EQ(instrument.acks(), eots);
    EXPECT_EQ(instrument.strayBytes(), 0);
}

struct HostileInput : ServedProgramFixture {};

TEST_F(HostileInput, EveryByteValueInsideFramesGetsOneAckPerEotAndTheNextBatchIsFiled) {
    const auto before = tree(program.path(""));
    QByteArray stream;
    for (int b = 0; b < 256; ++b) {
        const QByteArray c(1, char(b));
        stream += wireFrame("IST", "RUN MODE" + c + ",a" + c + ",b,I" + c + "D" + c + ",x");
        stream += wireFrame("STB", "X1" + c + "0,W" + c + ",D1");
        stream += wireFrame("DAT", "1," + c + "1.5," + c);
        stream += "\x01"
                  "1" +
                  c + c + c + "\x02" + c + "\x03\x04"; // unknown type
        stream += "\x01" + c + "ENB\x02" + c + "\x03" + c + "\x04";
    }
    ASSERT_TRUE(instrument.send(stream));
    expectOneAckPerEot(instrument, stream.count('\x04'));

    // Whatever the frames did to the batch state, an ordinary batch is filed whole.
    ASSERT_TRUE(instrument.sendFrames({wireFrame("ENB", "0")}));
    playBatch("GOOD");
    expectThreeRowFile(program.dataFolder(), "GOOD");
    for (const QByteArray& entry : logEntries(program))
        EXPECT_TRUE(entry.startsWith("ParseString, ") || entry.startsWith("RedimArray, ") ||
                    entry.startsWith("MakeFile, "))
            << entry.constData();
    EXPECT_EQ(strayPaths(before, tree(program.path("")), program.path("")),
              std::set<std::string>());
    EXPECT_TRUE(program.running()) << program.output().constData();
}

// IST field 3 names the data file (first 4 characters), STB field 0 the raw file (last 3).
struct Naming {
    QByteArray idField;
    QByteArray codeField;
    QByteArray dataPrefix; // the data file's name up to the blank before the stamp
    QByteArray rawPrefix;  // the raw file's name up to the stamp
};

TEST_F(HostileInput, IdsAndBatchCodesFromTheWireNeverNameAPathOutsideTheFolders) {
    const QList<Naming> cases = {
        {"../x", "X/..", ".._x", ".._x__.._"},
        {"..\\y", "X..\\", ".._y", ".._y_..__"},
        {"/etc/passwd", "X../", "_etc", "_etc_..__"},
        {"..", "..", "..", ".._.._"},
        {QByteArray("\x00\t\r\n", 4), QByteArray("X\x1b\x7f\x0a", 4), "____", "_________"},
        {"a:*?", "X\"<>", "a___", "a________"},
        {"", "X|..", "", "__.._"},
    };
    const auto before = tree(program.path(""));
    for (const Naming& c : cases) {
        QByteArrayList frames = threeRowBatch("ZZZZ");
        frames[0] = wireFrame("IST", "RUN MODE,a,b," + c.idField + ",x");
        frames[1] = wireFrame("STB", c.codeField + ",W1,D1");
        ASSERT_TRUE(instrument.sendFrames(frames)) << c.dataPrefix.constData();
    }
    EXPECT_EQ(strayPaths(before, tree(program.path("")), program.path("")),
              std::set<std::string>());
    for (const Naming& c : cases) {
        const QByteArrayList data = filesStartingWith(program.dataFolder(), c.dataPrefix + " ");
        ASSERT_EQ(data.size(), 1) << c.dataPrefix.constData();
        // The file keeps the instrument's own text.
        EXPECT_TRUE(readBytes(program.dataFolder() + data[0]).startsWith(c.idField.left(4) + ","))
            << data[0].constData();
        EXPECT_EQ(filesStartingWith(program.rawFolder(), c.rawPrefix).size(), 1)
            << c.rawPrefix.constData();
    }
    EXPECT_EQ(listFiles(program.dataFolder()).size(), cases.size());
    EXPECT_EQ(listFiles(program.rawFolder()).size(), cases.size());
    EXPECT_TRUE(program.logLines().isEmpty()) << program.logLines().join('\n').constData();
}

} // namespace
} // namespace znr
