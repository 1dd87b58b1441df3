#pragma once

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Channel.h"
#include "protocol/ConnectionRows.h"
#include "protocol/ControlChars.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ProtocolContext.h"
#include "protocol/ReceivePath.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <map>

namespace znr::test {

// The connection list: rows exist for the indexes given; any other index has no row.
class FakeRows final : public ConnectionRows {
public:
    std::map<int, QByteArray> rowText;
    std::map<int, QByteArray> lastUpdated;

    void addRow(int index) { rowText[index] = "N/A"; }
    void setRowText(int index, const QByteArray& text) override { row(index) = text; }
    void setLastUpdated(int index, const QByteArray& text) override {
        row(index);
        lastUpdated[index] = text;
    }

private:
    QByteArray& row(int index) {
        const auto it = rowText.find(index);
        if (it == rowText.end())
            throw Failure::outOfRange();
        return it->second;
    }
};

class FakeDebugText final : public DebugTextSink {
public:
    QByteArray text;
    void appendText(const QByteArray& t) override { text += t; }
};

// One frame as an instrument sends it: SOH, one character, the type, STX, payload, ETX, EOT.
inline QByteArray frame(const QByteArray& type, const QByteArray& payload) {
    return QByteArray(1, ctl::SOH) + '1' + type + ctl::STX + payload + ctl::ETX + ctl::EOT;
}

// A run with one fresh state: settings with every folder in a temp folder, channels 1..3 with
// rows, the debug window closed.
struct ProtocolFixture : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    Channels channels;
    FakeRows rows;
    FakeDebugText debug;
    bool debugMode = false;
    ProtocolContext ctx{settings, log, clock, rows};
    ReceivePath path{ctx, debugMode, debug};
    QByteArrayList replies;
    bool replyFails = false;

    ProtocolFixture() {
        settings.DataLayoutColumn = true;
        settings.ArchiveRawFile = "NO";
        settings.ArchiveDays = 30;
        settings.DataFolder = dir.sub("Data Files");
        settings.ErrorLogFolder = dir.sub("Error Log");
        settings.CalCheckFolder = dir.sub("Cal Check");
        settings.CheckRodsFolder = dir.sub("Check Rods");
        settings.FastModeFolder = dir.sub("Fast Mode");
        settings.RawFileFolder = dir.sub("Raw Files");
        for (int i = 1; i <= 3; ++i) {
            channels.ensure(i);
            rows.addRow(i);
        }
    }

    // Runs one arrival on channel `index`; returns the bytes replied to it.
    QByteArray arrive(const QByteArray& bytes, int index = 1,
                      std::string_view handler = logname::SocketReceived) {
        const qsizetype before = replies.size();
        path.onArrival(
            channels.at(index), bytes,
            [this](const QByteArray& reply) {
                if (replyFails)
                    throw Failure::fromErrno(EPIPE);
                replies.append(reply);
            },
            handler);
        return replies.mid(before).join();
    }

    QByteArray logText() const { return readBytes(settings.ErrorLogFolder + "ZNRError.log"); }
    Batch& batch(int index = 1) { return channels.at(index).batch; }
};

inline const QByteArray ACK8(ctl::ACK8.data(), 2);
inline const QByteArray NAK8(ctl::NAK8.data(), 2);

} // namespace znr::test
