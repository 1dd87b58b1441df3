#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lg {

inline constexpr char Soh = '\x01';
inline constexpr char Stx = '\x02';
inline constexpr char Etx = '\x03';
inline constexpr char Eot = '\x04';
inline constexpr char Ack = '\x06';

// What every simulated instrument sends: batches of IST, STB, `rows` DAT frames and ENB, in RUN
// MODE with the codes W1 and D1. Every reading is a pure function of (instrument, batch, row,
// column), so the data files the program must have written can be rebuilt afterwards from the
// number of batches alone.
class Script {
public:
    explicit Script(int rows) : rows_(rows) {}

    int rows() const { return rows_; }
    int framesPerBatch() const { return rows_ + 3; }
    bool isBatchEnd(int position) const { return position == rows_ + 2; }

    // Frame `position` (0 .. framesPerBatch()-1) of batch `batch` of instrument `instrument`:
    // SOH '1' TYPE STX payload ETX EOT.
    std::string frame(int instrument, int batch, int position) const;

    // The lines (without CR LF) the batch adds to its data file in COLUMN layout, given the
    // date-time text of its header line.
    std::vector<std::string> expectedBlock(int instrument, int batch,
                                           const std::string& dateText) const;

private:
    int rows_;
};

// "0001" for instrument 0: four characters, the instrument ID of the data file names.
std::string instrumentId(int instrument);
// The batch code the program takes from the STB (the last three characters of field 0).
std::string batchCode(int batch);
// Thousandths: one value in eight is negative (-1.000 .. -9.999), the rest 0.000 .. 99.999.
std::int64_t readingMilli(int instrument, int batch, int row, int column);
// As sent: always three decimals ("12.340").
std::string wireValue(std::int64_t milli);
// As the data file holds it: shortest plain decimal ("12.34", "7", "-0.5").
std::string fileValue(std::int64_t milli);

} // namespace lg
