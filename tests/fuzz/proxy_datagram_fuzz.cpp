// libFuzzer target for the datagrams both programs take from the network:
// the record parsers, the map program's MSFS link handler and the proxy's
// request handler with the round of sends it leads to. Whatever the bytes, a
// parser reads only what it was given, what it accepts is consistent, and
// the state the handlers keep stays within its tables and finite.
#include "proxy/client_table.h"
#include "proxy/proxy_traffic.h"
#include "proxy/sim_session.h"
#include "proxy/udp_server.h"
#include "simlink/msfs_link.h"
#include "simlink/proxy_protocol.h"
#include "tests/support/proxy_test_client.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
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
    Check(ParseProxyRequest(data, size, &request) == (size >= 8 && size >= ProxyRequestBytesRead(type)));

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

// The parsers again with the magic and one of the proxy's types in front, so
// that the fuzzer reaches the length checks of every type without finding them.
void ParseWithProxyHeader(const uint8_t* data, size_t size)
{
    static const uint32_t Types[] = {MsgProxyShutdown, MsgAircraftState, MsgFlightPlan, MsgRegistered,
                                     MsgTraffic,       MsgTrafficRemoved, MsgKeepAlive,  MsgControllerButton};
    if (size < 1)
        return;
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

// Map programs as the proxy sees them: closed loopback ports, so every reply
// the round sends them is refused, as by a map program that has gone.
sockaddr_in Sender(int which)
{
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_port = htons(static_cast<uint16_t>(9 + which % 3));
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return from;
}

bool ServerStarted = false;

// What the link keeps is finite and its position on the earth.
void CheckLinkState()
{
    for (int i = 0; i < LinkStateFieldCount; ++i)
        Check(std::isfinite(LinkAircraftState[i].load()));
    Check(std::fabs(LinkAircraftState[LinkLatitude].load()) <= 90.0);
    Check(std::fabs(LinkAircraftState[LinkLongitude].load()) <= 180.0);
}

// The input as a run of datagrams: a control byte (sender, whether the
// proxy's magic goes in front, whether simulator data flows), a length, then
// that many bytes; the rest of the input is the last datagram.
void FeedHandlers(const uint8_t* data, size_t size)
{
    ResetClientTable();
    ResetUdpServer();
    ResetTraffic();
    StopRequest = false;
    SimDataFlag = false;
    std::vector<uint8_t> datagram;
    while (size >= 2) {
        uint8_t control = data[0];
        size_t length = data[1] < size - 2 ? data[1] : size - 2;
        datagram.assign(data + 2, data + 2 + length);
        data += 2 + length;
        size -= 2 + length;
        HandleProxyDatagram(datagram.data(), datagram.size(), Sender(control & 3));
        if ((control & 4) != 0 && datagram.size() >= 4) {
            uint32_t magic = ProxyMagic;
            std::memcpy(datagram.data(), &magic, 4);
        }
        HandleMsfsDatagram(datagram.data(), datagram.size());
        CheckLinkState();
        SimDataFlag = (control & 8) != 0;
        if (ServerStarted)
            ServeClients();
        Check(ClientCount() >= 0 && ClientCount() <= ClientTableSize);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The proxy's console lines would bury the fuzzer's own report.
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    // Never the real proxy's port: a TVL64 may run on this machine.
    setenv("TVL64_PORT", std::to_string(FreeUdpPort()).c_str(), 1);
    ServerStarted = StartUdpServer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParseAll(data, size);
    ParseWithProxyHeader(data, size);
    FeedHandlers(data, size);
    return 0;
}
