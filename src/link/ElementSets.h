#pragma once

#include "link/ElementSet.h"
#include "link/SerialElement.h"
#include "link/SocketElement.h"

namespace znr {

struct AppSettings;

// The main window's two sets: ZNRSocket (Ethernet runs) and ZNRComm (serial runs).
using SocketSet = ElementSet<ISocketElement>;
using SerialSet = ElementSet<ISerialElement>;

// Real elements. The serial factory resolves COM numbers through `settings` when a port opens,
// so `settings` must outlive the set.
SocketSet::Factory socketElementFactory();
SerialSet::Factory serialElementFactory(const AppSettings& settings);

} // namespace znr
