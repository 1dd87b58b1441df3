#include "protocol/Channel.h"

#include "core/Failure.h"

namespace znr {

Channel& Channels::ensure(int index) {
    if (index < 0)
        throw Failure::outOfRange();
    std::unique_ptr<Channel>& channel = channels_[index];
    if (!channel)
        channel = std::make_unique<Channel>(index, rawByteLimit_);
    return *channel;
}

Channel& Channels::at(int index) {
    Channel* channel = find(index);
    if (!channel)
        throw Failure::outOfRange();
    return *channel;
}

Channel* Channels::find(int index) {
    const auto it = channels_.find(index);
    return it == channels_.end() ? nullptr : it->second.get();
}

} // namespace znr
