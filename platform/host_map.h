// Test redirection of named hosts: TVL_HOST_MAP="host=127.0.0.1:port,..."
// sends a named host to a local test server over plain HTTP. While the
// variable is set, hosts it does not name are not reached at all (a test
// run sets it to "none" so nothing leaves the machine).
#pragma once

#include <cstddef>

enum class HostRoute { Direct, Mapped, Refused };

// Where a connection to host goes; for Mapped, the address text and the port
// of the test server (host compared ignoring case).
HostRoute RouteHost(const char* host, char* address, size_t size, int* port);
