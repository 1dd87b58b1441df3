#include "core/Clock.h"
#include "support/QtPrinters.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace znr {
namespace {

// Runs the test body under another TZ and restores the process's zone afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* tz)
        : had_(qEnvironmentVariableIsSet("TZ")), old_(qgetenv("TZ")) {
        qputenv("TZ", tz);
        ::tzset();
    }
    ~ZoneScope() {
        if (had_)
            qputenv("TZ", old_);
        else
            qunsetenv("TZ");
        ::tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    bool had_;
    QByteArray old_;
};

TEST(SystemClock, NowShowsTheLocalDateAndTimeOfItsInstantInEveryZone) {
    // East and west of UTC, with and without daylight saving time, and a half-hour zone.
    for (const char* tz :
         {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "NZST-12NZDT,M9.5.0,M4.1.0/3", "IST-5:30"}) {
        SCOPED_TRACE(tz);
        ZoneScope zone(tz);
        const SystemClock clock;
        for (int call = 0; call < 3; ++call) { // the first looks the offset up, the others reuse it
            const QDateTime now = clock.now();
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(now.toMSecsSinceEpoch());
            EXPECT_EQ(now.date(), local.date());
            EXPECT_EQ(now.time(), local.time());
            EXPECT_EQ(now.offsetFromUtc(), local.offsetFromUtc());
        }
    }
}

} // namespace
} // namespace znr
