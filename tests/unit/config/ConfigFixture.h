#pragma once

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "core/Failure.h"
#include "support/CaseTable.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace znr::test {

// The number of the Failure `body` throws; 0 when it throws none.
template <class Body> int failureOf(Body body) {
    try {
        body();
    } catch (const Failure& f) {
        return f.number();
    }
    return 0;
}

// Runs `body` while the process may write files of at most `bytes` bytes (works as root too,
// unlike a read-only folder): a write past it fails with EFBIG, as on a full disk.
template <class Body> int withFileSizeLimit(rlim_t bytes, Body body) {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = bytes;
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const int result = body();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    return result;
}

// Settings whose file and error log live in a fresh folder.
struct ConfigFixture : ::testing::Test {
    TempDir dir;
    AppSettings s;
    FakeClock clock;
    ErrorLog log{s.errorLogFolder, clock};
    QByteArray iniPath = dir.path("ZNRExtractor.ini");

    void SetUp() override {
        s.iniFilePath = QFile::decodeName(iniPath);
        s.errorLogFolder = dir.sub("log");
    }
    QByteArray ini() const { return readBytes(iniPath); }
    QByteArray logText() const { return readBytes(s.errorLogFolder + "ZNRError.log"); }
    void clearLog() const { QFile::remove(QFile::decodeName(s.errorLogFolder + "ZNRError.log")); }
};

} // namespace znr::test
