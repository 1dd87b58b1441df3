// File appends.
#include "core/Files.h"
#include "unit/config/ConfigFixture.h"

namespace znr::test {
namespace {

TEST(Files, AppendsLinesWithCrLfKeepingEveryByteAndFailuresCarryPlatformNumbers) {
    TempDir dir;
    const QByteArray path = dir.path("a b.dat");
    appendLines(path, {"x,1", QByteArray("\x00\xff\r", 3)});
    appendLines(path, {""});
    EXPECT_EQ(readBytes(path), QByteArray("x,1\r\n\x00\xff\r\r\n\r\n", 12));
    EXPECT_EQ(failureOf([&] { appendLines(dir.folder(), {"line"}); }), FailureNo::PathFileAccess);
    EXPECT_EQ(failureOf([] { appendLines("", {"line"}); }), FailureNo::BadFileName);
}

// A long file refused part-way (past the first chunks) ends at its last complete line.
TEST(Files, LongFileRefusedPartWayEndsAtItsLastCompleteLine) {
    TempDir dir;
    const QByteArray path = dir.path("long.dat");
    const int number = withFileSizeLimit(150'000, [&] {
        return failureOf([&] {
            LineAppender out(path, false);
            for (int i = 0; i < 3'000; ++i)
                out.append(QByteArray(99, 'x')); // 101 bytes with CR LF
            out.finish();
        });
    });
    EXPECT_EQ(number, FailureNo::DeviceIo);
    EXPECT_EQ(readBytes(path).size(), 150'000 / 101 * 101);
}

} // namespace
} // namespace znr::test
