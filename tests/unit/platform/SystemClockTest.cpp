#include "core/Clock.h"
#include "support/QtPrinters.h"

#include <ctime>
#include <gtest/gtest.h>
#include <optional>

namespace znr {
namespace {

TEST(SystemClock, NowShowsTheLocalDateAndTimeOfItsInstantInEveryZone) {
    const std::optional<QByteArray> oldZone =
        qEnvironmentVariableIsSet("TZ") ? std::optional(qgetenv("TZ")) : std::nullopt;
    // East and west of UTC, with and without daylight saving time, and a half-hour zone.
    for (const char* tz :
         {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "NZST-12NZDT,M9.5.0,M4.1.0/3", "IST-5:30"}) {
        SCOPED_TRACE(tz);
        qputenv("TZ", tz);
        ::tzset();
        const SystemClock clock;
        for (int call = 0; call < 3; ++call) { // the first looks the offset up, the others reuse it
            const QDateTime now = clock.now();
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(now.toMSecsSinceEpoch());
            EXPECT_EQ(now.date(), local.date());
            EXPECT_EQ(now.time(), local.time());
            EXPECT_EQ(now.offsetFromUtc(), local.offsetFromUtc());
        }
    }
    oldZone ? qputenv("TZ", *oldZone) : qunsetenv("TZ");
    ::tzset();
}

} // namespace
} // namespace znr
