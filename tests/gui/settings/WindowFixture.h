#pragma once

#include "config/AppSettings.h"
#include "config/ConnectionOpener.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/GuiActions.h"
#include "support/TempDir.h"

#include <QByteArrayList>
#include <QFile>
#include <QPointer>
#include <functional>
#include <gtest/gtest.h>

namespace znr::test {

// Records what the dialogs hand over: "E|host|port" or "S|port|settings|handshaking|dtr|rts".
// `during` runs inside each call, where a real opener would process events.
class RecordingOpener final : public ConnectionOpener {
public:
    void openEthernet(const EthernetInstrument& i) override {
        record("E|" + i.ip + '|' + QByteArray::number(i.port));
    }
    void openSerial(const SerialInstrument& i) override {
        record("S|" + i.commPort + '|' + i.settings + '|' + QByteArray::number(i.handShaking) +
               '|' + (i.dtr ? '1' : '0') + '|' + (i.rts ? '1' : '0'));
    }
    void record(const QByteArray& call) {
        calls.append(call);
        if (during)
            during();
    }

    QByteArrayList calls;
    std::function<void()> during;
};

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
