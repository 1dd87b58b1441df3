#pragma once

#include "config/AppSettings.h"
#include "config/LoadConstants.h"
#include "core/ErrorLog.h"
#include "gui/settings/RecordingOpener.h"
#include "station/Login.h"
#include "station/MemoryConnectionList.h"
#include "support/FakeClock.h"
#include "support/FakePrompts.h"
#include "support/FileBytes.h"
#include "support/GuiActions.h"
#include "support/TempDir.h"
#include "ui/frmSettings.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace znr::test {

// A settings window over a settings file loaded the way the program loads it at start.
struct SettingsWindowFixture : ::testing::Test {
    TempDir dir;
    AppSettings s;
    FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    LoginState login;
    bool debugMode = false;
    MemoryConnectionList list;
    FakePrompts prompts;
    int debugWindowShown = 0;
    QByteArray iniPath = dir.path("ZNRExtractor.ini");
    QPointer<frmSettings> w;

    void SetUp() override {
        dir.sub("Error Log");
        writeBytes(iniPath, withDir(testData("settings/before-open.ini")));
        s.IniFilePath = QFile::decodeName(iniPath);
        RecordingOpener opener;
        LoadConstants(s, opener, log);
    }
    void TearDown() override {
        if (w) {
            prompts.yesNoAnswers = {false, false};
            w->close();
        }
        runDeferredDeletes();
    }

    // A file kept beside the tests with its folder placeholder filled in.
    QByteArray withDir(QByteArray text) const { return text.replace("@DIR@", dir.folder()); }
    QByteArray ini() const { return readBytes(iniPath); }
    QByteArray logText() const { return readBytes(s.ErrorLogFolder + "ZNRError.log"); }

    void open() {
        w = new frmSettings(s, login, debugMode, list, prompts, log,
                            [this] { ++debugWindowShown; });
        w->show();
    }
    template <class T> T* find(const char* name) const {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* edit(const char* name) const { return find<QLineEdit>(name); }
    QComboBox* combo(const char* name) const { return find<QComboBox>(name); }
    QLabel* label(const char* name) const { return find<QLabel>(name); }
    void clickLabel(const char* name) const { click(label(name)); }

    // Closes by the Close entry; true when the window has gone.
    bool closeByCloseEntry() {
        clickLabel("lblCancel");
        runDeferredDeletes();
        return w.isNull();
    }
};

inline QString latin1(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace znr::test
