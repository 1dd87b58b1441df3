#pragma once

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "support/CaseTable.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

namespace znr::test {

// Settings whose file and error log live in a fresh folder.
struct ConfigFixture : ::testing::Test {
    TempDir dir;
    AppSettings s;
    FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    QByteArray iniPath = dir.path("ZNRExtractor.ini");

    void SetUp() override {
        s.IniFilePath = QFile::decodeName(iniPath);
        s.ErrorLogFolder = dir.sub("log");
    }
    QByteArray ini() const { return readBytes(iniPath); }
    QByteArray logText() const { return readBytes(s.ErrorLogFolder + "ZNRError.log"); }
    void clearLog() const { QFile::remove(QFile::decodeName(s.ErrorLogFolder + "ZNRError.log")); }
};

} // namespace znr::test
