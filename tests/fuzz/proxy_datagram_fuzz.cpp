// libFuzzer target for the proxy datagram parsers: whatever the bytes, a
// parser reads only what it was given, and what it accepts is consistent.
#include "simlink/proxy_protocol.h"

#include <cstdlib>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void ParseAll(const uint8_t* data, size_t size)
{
    uint32_t magic = 0, type = 0;
    Check(ReadProxyHeader(data, size, &magic, &type) == (size >= 8));

    ProxyRequest request;
    Check(ParseProxyRequest(data, size, &request) == (size >= sizeof(ProxyRequest)));

    ProxyShortReply reply;
    if (ParseProxyShortReply(data, size, &reply))
        Check(size == sizeof(reply) && reply.magic == ProxyMagic);

    ProxyAircraftState state;
    if (ParseProxyAircraftState(data, size, &state))
        Check(size == ProxyAircraftStateLength && state.type == MsgAircraftState);

    ProxyFlightPlanHeader plan;
    const uint8_t* waypoints = nullptr;
    if (ParseProxyFlightPlan(data, size, &plan, &waypoints)) {
        Check(plan.count >= 0 && static_cast<uint32_t>(plan.count) <= ProxyMaxPlanWaypoints);
        Check(size == ProxyFlightPlanLength(static_cast<uint32_t>(plan.count)));
        uint8_t last[ProxyPlanWaypointSize];
        for (int32_t i = 0; i < plan.count; ++i)
            std::memcpy(last, waypoints + ProxyPlanWaypointSize * static_cast<size_t>(i), sizeof(last));
    }

    uint32_t count = 0;
    const uint8_t* records = nullptr;
    if (ParseProxyTraffic(data, size, &count, &records)) {
        Check(count <= ProxyMaxTrafficRecords && size == ProxyTrafficLength(count));
        for (uint32_t i = 0; i < count; ++i) {
            ProxyTrafficRecord r;
            ReadProxyTrafficRecord(records, i, &r);
            Check(r.atcId[sizeof(r.atcId) - 1] == '\0');
        }
    }

    const uint8_t* ids = nullptr;
    if (ParseProxyTrafficRemoved(data, size, &count, &ids)) {
        Check(count <= ProxyMaxRemovedIds && size == ProxyTrafficRemovedLength(count));
        uint32_t sum = 0;
        for (uint32_t i = 0; i < count; ++i)
            sum += ReadProxyRemovedId(ids, i);
        (void)sum;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParseAll(data, size);
    // Again with the magic and one of the proxy's types in front, so that the
    // fuzzer reaches the length checks of every type without finding them.
    static const uint32_t Types[] = {MsgProxyShutdown, MsgAircraftState, MsgFlightPlan, MsgRegistered,
                                     MsgTraffic,       MsgTrafficRemoved, MsgKeepAlive,  MsgControllerButton};
    if (size >= 1) {
        std::vector<uint8_t> copy(data + 1, data + size);
        if (copy.size() >= 8) {
            uint32_t magic = ProxyMagic;
            uint32_t type = Types[data[0] % (sizeof(Types) / sizeof(Types[0]))];
            std::memcpy(copy.data(), &magic, 4);
            std::memcpy(copy.data() + 4, &type, 4);
            if (type == MsgAircraftState && copy.size() >= 20) {
                uint32_t length = ProxyAircraftStateLength;
                std::memcpy(copy.data() + 16, &length, 4);
            }
        }
        ParseAll(copy.data(), copy.size());
    }
    return 0;
}
