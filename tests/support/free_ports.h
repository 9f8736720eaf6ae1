// Loopback ports for tests and benchmarks that need one nobody answers on.
#pragma once

#include <cstdint>

// A loopback TCP port with nothing listening on it: a connection to it is
// refused at once.
uint16_t ClosedTcpPort();
