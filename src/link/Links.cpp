#include "link/Links.h"

#include "link/SerialLink.h"
#include "link/TcpLink.h"

namespace znr {

LinkFactory realLinks(const AppSettings& settings) {
    return [&settings](const LinkEndpoint& endpoint) -> std::unique_ptr<Link> {
        if (!endpoint.serial)
            return std::make_unique<TcpLink>(endpoint.host, endpoint.port);
        return std::make_unique<SerialLink>(
            endpoint, [&settings](int comPort) { return serialDeviceFor(comPort, settings); });
    };
}

} // namespace znr
