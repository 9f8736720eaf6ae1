// The flight-plan datagrams of the X-Plane and FS2004 links: both carry the
// FlightPlan record's header (present at 8, count at 12) and its 24-byte
// waypoints from byte 32. Header-only, for the links, their test peer and
// the fuzzer.
#pragma once

#include "navdata/flight_plan.h"
#include "simlink/link_drops.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Checks a plan datagram before anything of it is stored: its count lies in
// 0..300 and all its waypoints arrived, every coordinate and altitude is a
// finite number and every ident ends inside its 8 bytes; with cruiseTaken
// (the link copies the whole record) the cruising altitude too. A datagram
// whose present byte is 0 carries no plan and is not looked at further.
inline LinkDrop CheckPlanDatagram(const void* data, size_t size, bool cruiseTaken)
{
    if (data == nullptr || size < FlightPlanHeaderSize)
        return LinkDrop::ShortRecord;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (bytes[offsetof(FlightPlanRecord, present)] == 0)
        return LinkDrop::None;
    int32_t count;
    std::memcpy(&count, bytes + offsetof(FlightPlanRecord, count), sizeof(count));
    if (count < 0 || count > FlightPlanMaxWaypoints ||
        FlightPlanHeaderSize + sizeof(FlightPlanWaypoint) * static_cast<size_t>(count) > size)
        return LinkDrop::CountPastEnd;
    double cruise;
    std::memcpy(&cruise, bytes + offsetof(FlightPlanRecord, cruisingAltitude), sizeof(cruise));
    if (cruiseTaken && !std::isfinite(cruise))
        return LinkDrop::NotANumber;
    for (int32_t i = 0; i < count; ++i) {
        FlightPlanWaypoint w;
        std::memcpy(&w, bytes + FlightPlanHeaderSize + sizeof(w) * static_cast<size_t>(i), sizeof(w));
        if (!std::isfinite(w.lat) || !std::isfinite(w.lon) || !std::isfinite(w.altitude))
            return LinkDrop::NotANumber;
        if (std::memchr(w.ident, 0, sizeof(w.ident)) == nullptr)
            return LinkDrop::Unterminated;
    }
    return LinkDrop::None;
}
