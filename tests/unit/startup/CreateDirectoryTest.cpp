#include "core/CreateDirectory.h"

#include "unit/config/ConfigFixture.h"

#include <QDir>

namespace znr {
namespace {

struct CreateDirectoryTest : test::ConfigFixture {
    test::TempDir program;
    QString folder() const { return QFile::decodeName(program.folder().chopped(1)); }
    QStringList made() const {
        return QDir(folder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(CreateDirectoryTest, MakesTheSixFoldersAndLeavesExistingOnesAlone) {
    test::writeBytes(program.sub("Cal Check") + "keep.dat", "x");
    CreateDirectory(folder(), log);
    CreateDirectory(folder(), log);
    EXPECT_EQ(made(), (QStringList{"Cal Check", "Check Rods", "Data Files", "Error Log",
                                   "Fast Mode", "Raw Files"}));
    EXPECT_EQ(test::readBytes(program.folder() + "Cal Check/keep.dat"), "x");
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(CreateDirectoryTest, FirstFolderThatCannotBeMadeEndsTheRoutineWithOneLogLine) {
    test::writeBytes(program.path("Check Rods"), "a file, not a folder");
    CreateDirectory(folder(), log);
    EXPECT_EQ(made(), (QStringList{"Cal Check", "Data Files"}));
    EXPECT_EQ(logText(),
              "Module.CreateDirectory, 75, Path/File access error, 5/1/2012 10:15:30 AM\r\n");
}

} // namespace
} // namespace znr
