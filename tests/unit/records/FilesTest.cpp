#include "core/Files.h"

#include "core/Failure.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

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
    EXPECT_EQ(readBytes(path), QByteArray("x,1\r\n\x00\xff\r\r\n\r\n", 12));
}

TEST(Files, FailuresCarryTheirPlatformNumbers) {
    TempDir dir;
    EXPECT_EQ(failureNumberOf(dir.folder() + "missing/x.dat"), FailureNo::PathNotFound);
    EXPECT_EQ(failureNumberOf(dir.folder()), FailureNo::PathFileAccess); // a folder
    EXPECT_EQ(failureNumberOf("/dev/full"), FailureNo::DiskFull);
    EXPECT_EQ(failureNumberOf(""), FailureNo::BadFileName);
}

// A long file refused part-way (here by the process's file-size limit, past the first chunks)
// ends at its last complete line.
TEST(Files, LongFileRefusedPartWayEndsAtItsLastCompleteLine) {
    TempDir dir;
    const QByteArray path = dir.path("long.dat");
    const QByteArray line(99, 'x'); // 101 bytes with CR LF
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = 150'000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    int number = 0;
    try {
        LineAppender out(path, false);
        for (int i = 0; i < 3'000; ++i)
            out.append(line);
        out.finish();
    } catch (const Failure& f) {
        number = f.number();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(number, FailureNo::DeviceIo);
    EXPECT_EQ(readBytes(path).size(), 150'000 / 101 * 101);
}

} // namespace
} // namespace znr
