// TVL_HOST_MAP look-up, shared by the HTTP stand-in and our own HTTP client.
#include "platform/host_map.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

HostRoute RouteHost(const char* host, char* address, size_t size, int* port)
{
    const char* map = getenv("TVL_HOST_MAP");
    if (!map || !map[0])
        return HostRoute::Direct;
    if (!host || !host[0])
        return HostRoute::Refused;
    size_t hostLength = strlen(host);
    for (const char* entry = map; *entry;) {
        const char* end = strchr(entry, ',');
        size_t length = end ? static_cast<size_t>(end - entry) : strlen(entry);
        const char* equals = static_cast<const char*>(memchr(entry, '=', length));
        if (equals && static_cast<size_t>(equals - entry) == hostLength && strncasecmp(entry, host, hostLength) == 0) {
            const char* target = equals + 1;
            size_t targetLength = length - static_cast<size_t>(target - entry);
            const char* colon = static_cast<const char*>(memchr(target, ':', targetLength));
            if (!colon)
                return HostRoute::Refused;
            size_t addressLength = static_cast<size_t>(colon - target);
            if (addressLength == 0 || addressLength >= size)
                return HostRoute::Refused;
            memcpy(address, target, addressLength);
            address[addressLength] = 0;
            int value = atoi(colon + 1);
            if (value <= 0 || value > 65535)
                return HostRoute::Refused;
            *port = value;
            return HostRoute::Mapped;
        }
        if (!end)
            break;
        entry = end + 1;
    }
    return HostRoute::Refused;
}
