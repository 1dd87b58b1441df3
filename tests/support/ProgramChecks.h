#pragma once

#include "support/FileBytes.h"
#include "support/Frames.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/Sim.h"

#include <QByteArray>
#include <QByteArrayList>

namespace znr::test {

// The regular expression of a log line's date-time ("5/1/2012 10:15:30 AM").
inline constexpr const char* kLogTime = "\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M";

// An instrument closing its end of the link: the program logs it as a reset.
inline const QByteArray kLinkReset =
    "frmZNRInterface.ZNRSocket_Error, 10054, Connection is reset by remote side";

// The log's lines without their date-times: "procedure, number, description" (a line without
// a date-time ends in " <no time>").
QByteArrayList logEntries(const ProgramRun& program);

// Every data file in `folder` equals, byte for byte, the expected file of the same name in
// `expectedFolder`, and there are `batches` of them (one per batch: batches of one instrument
// end in different seconds).
void expectDataFilesAsExpected(const QByteArray& folder, const QByteArray& expectedFolder,
                               int batches);

// The known answer tests/data/`known` with its @TIME@ being the date-time of the stamp that
// ends `fileName` ("... 05-01-2012-101530.dat").
QByteArray knownFile(const char* known, const QByteArray& fileName);

// The raw lines of `frames` each answered with ACK8: "<RECIVED>" + frame, "<SENT><ACK8>", each
// line ending in CR LF, without the last frame's acknowledgement (it opens a record that is only
// exported at the next batch's end).
QByteArray rawTraffic(const QByteArrayList& frames);

// The raw traffic files named "<prefix><stamp>.dat" in `rawFolder` are one per batch, each ends
// with the batch's ENB frame, each but the first begins with the acknowledgement of the previous
// batch's end, and together, in time order, they hold `traffic` byte for byte.
void expectRawFilesHold(const QByteArray& rawFolder, const QByteArray& prefix,
                        const QByteArray& traffic, int batches);

// The files in `folder` whose names begin with `prefix`.
QByteArrayList filesStartingWith(const QByteArray& folder, const QByteArray& prefix);

// The one data file of threeRowBatch(id) in `folder`: first line "<ID>,100,<date-time>,3,2",
// then exactly the known answer's lines.
void expectThreeRowFile(const QByteArray& folder, const QByteArray& id);

} // namespace znr::test
