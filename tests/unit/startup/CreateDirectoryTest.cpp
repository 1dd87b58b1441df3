#include "core/CreateDirectory.h"

#include "unit/config/ConfigFixture.h"

#include <QDir>

namespace znr {
namespace {

struct CreateDirectoryTest : test::ConfigFixture {};

// The first folder that cannot be made ends the routine with one log line; a later run makes
// the rest and leaves existing folders and their files alone.
TEST_F(CreateDirectoryTest, MakesTheSixFoldersUpToTheFirstThatCannotBeMade) {
    test::TempDir program;
    const QString folder = QFile::decodeName(program.folder().chopped(1));
    const auto made = [&] {
        return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    };
    test::writeBytes(program.sub("Cal Check") + "keep.dat", "x");
    test::writeBytes(program.path("Check Rods"), "a file, not a folder");
    CreateDirectory(folder, log);
    EXPECT_EQ(made(), (QStringList{"Cal Check", "Data Files"}));
    EXPECT_EQ(logText(),
              "Module.CreateDirectory, 75, Path/File access error, 5/1/2012 10:15:30 AM\r\n");
    QFile::remove(QFile::decodeName(program.path("Check Rods")));
    clearLog();
    CreateDirectory(folder, log);
    EXPECT_EQ(made(), (QStringList{"Cal Check", "Check Rods", "Data Files", "Error Log",
                                   "Fast Mode", "Raw Files"}));
    EXPECT_EQ(test::readBytes(program.folder() + "Cal Check/keep.dat"), "x");
    EXPECT_TRUE(logText().isEmpty());
}

} // namespace
} // namespace znr
