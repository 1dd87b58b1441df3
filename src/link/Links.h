#pragma once

#include "link/Link.h"

namespace znr {

struct AppSettings;

// Real links: TCP or serial as the endpoint says. COM numbers are resolved through `settings`
// when a port opens, so `settings` must outlive the links.
LinkFactory realLinks(const AppSettings& settings);

} // namespace znr
