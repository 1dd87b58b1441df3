#include "link/ElementSets.h"

#include "config/AppSettings.h"

namespace znr {

SocketSet::Factory socketElementFactory() {
    return [](int index) { return std::make_unique<SocketElement>(index); };
}

SerialSet::Factory serialElementFactory(const AppSettings& settings) {
    return [&settings](int index) {
        return std::make_unique<SerialElement>(
            index, [&settings](int comPort) { return serialDeviceFor(comPort, settings); });
    };
}

} // namespace znr
