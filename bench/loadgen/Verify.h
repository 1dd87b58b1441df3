#pragma once

#include "Script.h"

#include <string>
#include <vector>

namespace lg {

// What the program left in its folder after a load run, compared with what was sent.
struct VerifyResult {
    bool ok = false;
    long dataFiles = 0;
    long batchesFound = 0; // batch blocks in the data files
    long rowsFound = 0;    // reading lines in the data files
    long rowsExpected = 0;
    long rawFiles = 0;
    long rawReceivedLines = 0; // "<RECIVED>" lines across the raw files
    long announcements = 0;    // data files announced on standard output
    long errorLogLines = 0;
    std::vector<std::string> problems; // the first few differences
};

// Checks every data file byte for byte: for each instrument its files, in time order, must hold
// exactly its acknowledged batches in order, each block as the program writes it (COLUMN
// layout, CR LF, the header's date-time equal to the file name's stamp, so two batches of the
// same second share one file). Also counts the raw traffic lines (one "<RECIVED>" per frame),
// the announcements (one per data file written) and the error log.
VerifyResult verifyProgramFolder(const std::string& folder, const Script& script,
                                 const std::vector<int>& batchesPerInstrument, long framesSent);

// "M/D/YYYY h:mm:ss AM" for a file-name stamp "MM-DD-YYYY-HHMMSS"; empty when malformed.
std::string generalDateTimeOfStamp(const std::string& stamp);

} // namespace lg
