// The two reads every simulator protocol's datagrams share: the magic and
// type that begin each one, and a u32 at a fixed offset. Little-endian on the
// wire like the hosts that run the links. Header-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Magic and type; false when fewer than 8 bytes arrived.
inline bool ReadDatagramHeader(const void* data, size_t size, uint32_t* magic, uint32_t* type)
{
    if (data == nullptr || size < 8)
        return false;
    std::memcpy(magic, data, 4);
    std::memcpy(type, static_cast<const uint8_t*>(data) + 4, 4);
    return true;
}

// The u32 at offset in a datagram of size bytes; false when it did not arrive.
inline bool ReadDatagramWord(const void* data, size_t size, size_t offset, uint32_t* out)
{
    if (data == nullptr || size < offset + 4)
        return false;
    std::memcpy(out, static_cast<const uint8_t*>(data) + offset, 4);
    return true;
}
