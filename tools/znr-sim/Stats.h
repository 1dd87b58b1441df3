#pragma once

#include <QString>
#include <vector>

namespace sim {

// What --stats prints on exit.
struct Stats {
    int framesSent = 0; // complete frames, resends included
    int resent = 0;
    int acks = 0; // every ACK8, greetings included
    int greetings = 0;
    int naks = 0;
    int batches = 0;                  // batches done and acknowledged
    std::vector<double> roundTripsMs; // last byte of a frame to its ACK8

    QString report() const;
};

} // namespace sim
