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

// A window of type W over a settings file in a fresh folder; the test creates the window.
template <class W> struct WindowFixture : ::testing::Test {
    TempDir dir;
    AppSettings s;
    FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    RecordingOpener opener;
    QByteArray iniPath = dir.path("ZNRExtractor.ini");
    QPointer<W> w;

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
    // True when the window has closed and gone.
    bool gone() {
        runDeferredDeletes();
        return w.isNull();
    }
    QByteArray ini() const { return readBytes(iniPath); }
    QByteArray logText() const { return readBytes(s.ErrorLogFolder + "ZNRError.log"); }
};

inline QString latin1(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace znr::test
