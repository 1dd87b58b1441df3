#include "platform/Files.h"

#include "records/Failure.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace znr {
namespace {

using test::readBytes;
using test::TempDir;

int failureNumberOf(const QByteArray& path) {
    try {
        appendLines(path, {"line"});
    } catch (const Failure& f) {
        return f.number();
    }
    return 0;
}

TEST(Files, AppendsLinesWithCrLfAndKeepsEveryByte) {
    TempDir dir;
    const QByteArray path = dir.path("a b.dat");
    appendLines(path, {"x,1", QByteArray("\x00\xff\r", 3)});
    appendLines(path, {""});
    appendBytes(path, "raw");
    EXPECT_EQ(readBytes(path), QByteArray("x,1\r\n\x00\xff\r\r\n\r\nraw", 15));
}

TEST(Files, FailuresCarryTheirPlatformNumbers) {
    TempDir dir;
    EXPECT_EQ(failureNumberOf(dir.folder() + "missing/x.dat"), FailureNo::PathNotFound);
    EXPECT_EQ(failureNumberOf(dir.folder()), FailureNo::PathFileAccess); // a folder
    EXPECT_EQ(failureNumberOf("/dev/full"), FailureNo::DiskFull);
    EXPECT_EQ(failureNumberOf(""), FailureNo::BadFileName);
}

} // namespace
} // namespace znr
