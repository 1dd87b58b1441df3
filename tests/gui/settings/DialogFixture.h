#pragma once

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "gui/settings/RecordingOpener.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/GuiActions.h"
#include "support/TempDir.h"

#include <QFile>
#include <QPointer>
#include <gtest/gtest.h>

namespace znr::test {

// A connection dialog of type D over a settings file without instruments.
template <class D> struct DialogFixture : ::testing::Test {
    TempDir dir;
    AppSettings s;
    FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    RecordingOpener opener;
    QByteArray iniPath = dir.path("ZNRExtractor.ini");
    QPointer<D> w;

    void SetUp() override {
        writeBytes(iniPath, testData("settings/instruments-before.ini"));
        s.IniFilePath = QFile::decodeName(iniPath);
        s.ErrorLogFolder = dir.sub("log");
        w = new D(s, opener, log);
        w->show();
    }
    void TearDown() override {
        if (w)
            w->close();
        runDeferredDeletes();
    }

    template <class T> T* find(const char* name) const {
        T* found = w->template findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // True when the dialog has closed and gone.
    bool gone() {
        runDeferredDeletes();
        return w.isNull();
    }
    QByteArray ini() const { return readBytes(iniPath); }
    QByteArray logText() const { return readBytes(s.ErrorLogFolder + "ZNRError.log"); }
};

} // namespace znr::test
