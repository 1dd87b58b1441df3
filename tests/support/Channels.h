#pragma once

#include "core/Failure.h"
#include "protocol/Channel.h"

#include <map>
#include <memory>

namespace znr::test {

// Channels by connection index, as the station keeps them, for tests that drive the receive
// path without the station.
class Channels {
public:
    Channel& ensure(int index) {
        std::unique_ptr<Channel>& channel = channels_[index];
        if (!channel)
            channel = std::make_unique<Channel>(index);
        return *channel;
    }
    Channel& at(int index) {
        const auto it = channels_.find(index);
        if (it == channels_.end())
            throw Failure::outOfRange();
        return *it->second;
    }

private:
    std::map<int, std::unique_ptr<Channel>> channels_;
};

} // namespace znr::test
