#pragma once

#include "protocol/ReadingTable.h"

#include <QByteArray>
#include <QDateTime>
#include <optional>

namespace znr {

// One instrument's batch and the parameters of its connection. The fields up to PastLimit are the
// batch state, cleared at every batch end; the rest are set when the connection is created.
struct InstrumentState {
    QByteArray InstrumentID;              // IST: first 4 characters of field 3
    QByteArray BatchCode;                 // STB: last 3 characters of field 0
    QByteArray Mode;                      // IST field 0: "RUN MODE", "CAL. CHECK", ...
    std::optional<QDateTime> DateStamp;   // IDT; absent = the zero date
    std::optional<ReadingTable> Readings; // absent until the batch's first reshape
    QByteArray CodeList;                  // STB: two-character codes joined by ","; empty = none
    QByteArray ErrorText;                 // ERR: number "," text
    std::optional<QDateTime> StartTime;   // IST; absent = the zero date
    std::optional<qint64> ElapsedSeconds; // ENB, ERR; absent until a batch end computes it
    qsizetype CodeListCommas = 0;         // commas in CodeList, so codes are counted at no cost
    bool PastLimit = false; // the batch passed a size limit: its further codes and readings
                            // are ignored

    QByteArray IP;
    quint16 Port = 0;
    QByteArray CommPort; // COM port number as decimal text
    QByteArray Settings; // serial line settings, e.g. "9600,n,8,1"
    qint16 HandShaking = 0;
    bool DTR = false;
    bool RTS = false;

    // Clears the batch state; the connection's parameters stay.
    void clearBatch() {
        InstrumentID.clear();
        BatchCode.clear();
        Mode.clear();
        DateStamp.reset();
        Readings.reset();
        CodeList.clear();
        ErrorText.clear();
        StartTime.reset();
        ElapsedSeconds.reset();
        CodeListCommas = 0;
        PastLimit = false;
    }

    // The number of codes in CodeList (its pieces between commas; none when it is empty).
    int codeCount() const { return CodeList.isEmpty() ? 0 : int(CodeListCommas) + 1; }
};

} // namespace znr
