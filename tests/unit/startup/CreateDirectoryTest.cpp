#include "core/CreateDirectory.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace znr {
namespace {

struct CreateDirectoryTest : ::testing::Test {
    test::TempDir program;
    test::TempDir logDir;
    AppSettings settings;
    test::FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    QString folder() const { return QFile::decodeName(program.folder().chopped(1)); }
    QStringList made() const {
        return QDir(folder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(CreateDirectoryTest, MakesTheSixFoldersAndLeavesExistingOnesAlone) {
    test::writeBytes(program.sub("Cal Check") + "keep.dat", "x");
    settings.ErrorLogFolder = logDir.folder();
    CreateDirectory(folder(), log);
    EXPECT_EQ(made(), (QStringList{"Cal Check", "Check Rods", "Data Files", "Error Log",
                                   "Fast Mode", "Raw Files"}));
    EXPECT_EQ(test::readBytes(program.folder() + "Cal Check/keep.dat"), "x");
    CreateDirectory(folder(), log);
    EXPECT_FALSE(test::fileExists(logDir.path("ZNRError.log")));
}

TEST_F(CreateDirectoryTest, FirstFolderThatCannotBeMadeEndsTheRoutineWithOneLogLine) {
    test::writeBytes(program.path("Check Rods"), "a file, not a folder");
    settings.ErrorLogFolder = logDir.folder();
    CreateDirectory(folder(), log);
    EXPECT_EQ(made(), (QStringList{"Cal Check", "Data Files"}));
    EXPECT_EQ(test::readBytes(logDir.path("ZNRError.log")),
              "Module.CreateDirectory, 75, Path/File access error, 5/1/2012 10:15:30 AM\r\n");
}

} // namespace
} // namespace znr
