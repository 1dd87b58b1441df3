#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace soak {

// One simulated instrument of the soak, the same in each of its incarnations (only the seed of
// its readings changes when it comes back).
struct InstrumentSpec {
    QByteArray name;      // "t07", "s2": names its files in the work folder
    QByteArray id;        // 4 characters, unique: names its data and raw files
    QByteArray mode;      // "RUN MODE", "CAL. CHECK" or "FAST MODE"
    QByteArray batchCode; // STB field 0
    QByteArrayList codes;
    int rows = 3;
    int intervalMs = 4000;
    int fragments = 1;
    int gapMs = 0;
    int lateMs = 0; // > 5000: the late frame gets NAK8 and is resent
    bool burst = false;
    bool endsWithErr = false;
    int comPort = 0; // serial instruments: the COM number the program opens

    bool serial() const { return comPort > 0; }
    QByteArray rawPrefix() const; // "<ID>_<last 3 of the batch code>_"
    // The DAT frames of every batch: rows, or in a calibration check max(1, rows - k) per code.
    int datFrames() const;
    QByteArray endLine() const; // the raw line of the batch's end frame
    // znr-sim's arguments apart from the link, --seed and --expect-dir.
    QStringList arguments() const;
};

// 50 instruments over TCP: every mode, the check-rod code, fragments with gaps, late frames
// that are answered with NAK8 and resent, bursts and ERR-ended batches.
QList<InstrumentSpec> tcpInstruments(quint64 seed);
// 4 instruments on ptys, COM3..COM6.
QList<InstrumentSpec> serialInstruments();

inline constexpr const char* kCheckRodId = "ROD";

} // namespace soak
