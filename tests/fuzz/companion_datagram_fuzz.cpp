// libFuzzer target for the Prepar3D/FSX link: the companion's datagrams as a
// run through the link's handler, and the SimConnect data blocks the link
// parses. Whatever the bytes, a handler reads only what it was given, a plan
// it takes holds together, and a parsed block is finite and terminated.
#include "navdata/flight_plan.h"
#include "simlink/p3d_link.h"
#include "simlink/p3d_protocol.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <cstring>
#include <vector>

using fuzz::Check;

namespace {

void ParseBlocks(const uint8_t* data, size_t size)
{
    P3dSimData sim;
    if (ParseP3dSimData(data, size, &sim) == LinkDrop::None) {
        Check(std::memchr(sim.title, 0, sizeof sim.title) != nullptr);
        Check(std::fabs(sim.latitude) <= 90 && std::fabs(sim.longitude) <= 180 && std::isfinite(sim.verticalSpeed));
    }
    TrafficValues traffic;
    if (ParseP3dTrafficValues(data, size, &traffic) == LinkDrop::None)
        Check(std::fabs(traffic.latitude) <= 90 && std::isfinite(traffic.groundSpeed));
    char atcId[P3dAtcIdSize];
    if (ParseP3dAtcId(data, size, atcId) == LinkDrop::None)
        Check(std::memchr(atcId, 0, sizeof atcId) != nullptr);
}

void CheckPlan()
{
    static FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    Check(plan.count >= 0 && plan.count <= FlightPlanMaxWaypoints);
    for (int i = 0; i < plan.count; ++i) {
        const FlightPlanWaypoint& w = plan.waypoints[i];
        Check(std::isfinite(w.lat) && std::isfinite(w.lon) && std::isfinite(w.altitude));
        Check(std::memchr(w.ident, 0, sizeof w.ident) != nullptr);
    }
}

// The input as a run of datagrams: a control byte (whether the companion's
// magic and one of its types go in front), a length in two bytes, then that
// many bytes; the rest is the last datagram.
void FeedCompanion(const uint8_t* data, size_t size)
{
    static const uint32_t Types[] = {P3dMsgStop,  P3dMsgState,   P3dMsgFlightPlan, P3dMsgRegistered,
                                     P3dMsgRefused, P3dMsgWeather, P3dMsgRadarFrame, P3dMsgAccepted,
                                     P3dMsgKeepAlive, P3dMsgButton, P3dMsgButton + 7, 0xFFFFFFFFu};
    std::vector<uint8_t> datagram;
    while (size >= 3) {
        uint8_t control = data[0];
        size_t length = static_cast<size_t>(data[1]) | static_cast<size_t>(data[2]) << 8;
        length = length < size - 3 ? length : size - 3;
        datagram.assign(data + 3, data + 3 + length);
        data += 3 + length;
        size -= 3 + length;
        if ((control & 0x80) != 0 && datagram.size() >= 8) {
            uint32_t head[2] = {P3dCompanionMagic, Types[(control & 0x7F) % (sizeof Types / sizeof Types[0])]};
            std::memcpy(datagram.data(), head, sizeof head);
        }
        HandleP3dCompanionDatagram(datagram.data(), datagram.size());
        ParseBlocks(datagram.data(), datagram.size());
        CheckPlan();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Whatever a handler writes beside it lands in the scratch folder.
    fuzz::EnterScratch(argc, argv);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParseBlocks(data, size);
    // Registered first, so that plans and states are taken.
    static const uint8_t Registered[12] = {P3dCompanionMagic, 0, 0, 0, P3dMsgRegistered, 0, 0, 0, 3, 0, 0, 0};
    HandleP3dCompanionDatagram(Registered, sizeof Registered);
    FeedCompanion(data, size);
    return 0;
}
