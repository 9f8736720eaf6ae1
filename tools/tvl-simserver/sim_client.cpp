// The simulator server's side of one SimConnect connection: decodes the
// client's requests and answers them from the scripted world.
#include "tools/tvl-simserver/sim_client.h"

#include "platform/simconnect/simconnect_wire.h"
#include "tools/tvl-simserver/sim_world.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

struct Datum {
    std::string name;
    std::string units;
    DWORD type;
};

struct PeriodicRequest {
    DWORD defineId;
    DWORD objectId;
    double nextDue;
};

constexpr DWORD UserObjectId = 1;

int Fd = -1;
ClientOptions Options;
std::vector<BYTE> In;
std::map<DWORD, std::vector<Datum>> Definitions;
std::map<std::string, DWORD> EventIds;  // lower-case event name -> client event id
std::map<DWORD, bool> EventOn;          // client event id -> switched on
std::map<DWORD, PeriodicRequest> Periodic;
double NextFourSeconds = 0.0;
DWORD LastSendId = 0;

std::string Lower(const char* text)
{
    std::string s(text);
    for (char& c : s)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}

void Log(const char* what, const char* detail)
{
    if (Options.verbose)
        std::printf("tvl-simserver: %s %s\n", what, detail);
}

void SendBytes(const BYTE* data, size_t length)
{
    if (Fd < 0 || length == 0)
        return;
    while (length > 0) {
        ssize_t n = send(Fd, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Log("client lost", "");
            EndClient(false);
            return;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
}

void SendEvent(const char* name, DWORD data)
{
    auto it = EventIds.find(Lower(name));
    if (it == EventIds.end() || !EventOn[it->second])
        return;
    BYTE m[64];
    SendBytes(m, SimWireBuildEvent(m, sizeof(m), it->second, data));
}

void SendObjectEvent(const char* name, uint32_t objectId)
{
    auto it = EventIds.find(Lower(name));
    if (it == EventIds.end() || !EventOn[it->second])
        return;
    BYTE m[64];
    SendBytes(m, SimWireBuildObjectAddRemove(m, sizeof(m), it->second, objectId, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT));
}

void SendException(DWORD exception, DWORD sendId, DWORD index)
{
    BYTE m[64];
    SendBytes(m, SimWireBuildException(m, sizeof(m), exception, sendId, index));
}

const char* StringVariable(const AircraftValues& aircraft, const char* name)
{
    std::string lower = Lower(name);
    if (lower == "atc id")
        return aircraft.atcId.c_str();
    if (lower == "title")
        return aircraft.title.c_str();
    return "";
}

// The data block of a definition for one aircraft.
std::vector<BYTE> BuildBlock(const std::vector<Datum>& datums, const AircraftValues& aircraft)
{
    std::vector<BYTE> block;
    for (const Datum& d : datums) {
        if (d.type == SIMCONNECT_DATATYPE_STRING32 || d.type == SIMCONNECT_DATATYPE_STRING256) {
            char text[256] = {};
            size_t size = d.type == SIMCONNECT_DATATYPE_STRING32 ? 32 : 256;
            std::snprintf(text, size, "%s", StringVariable(aircraft, d.name.c_str()));
            block.insert(block.end(), text, text + size);
        } else if (d.type == SIMCONNECT_DATATYPE_INITPOSITION) {
            block.insert(block.end(), sizeof(SIMCONNECT_DATA_INITPOSITION), 0);
        } else {
            bool known;
            double value = SimVariable(aircraft, CurrentWorldOptions(), d.name.c_str(), d.units.c_str(), &known);
            if (d.type == SIMCONNECT_DATATYPE_INT32) {
                int32_t i = static_cast<int32_t>(value);
                const BYTE* p = reinterpret_cast<const BYTE*>(&i);
                block.insert(block.end(), p, p + 4);
            } else {
                const BYTE* p = reinterpret_cast<const BYTE*>(&value);
                block.insert(block.end(), p, p + 8);
            }
        }
    }
    return block;
}

void SendData(DWORD recvId, DWORD requestId, DWORD objectId, DWORD defineId, DWORD entry, DWORD outOf,
              const AircraftValues* aircraft)
{
    std::vector<BYTE> block;
    DWORD count = 0;
    if (aircraft != nullptr) {
        block = BuildBlock(Definitions[defineId], *aircraft);
        count = static_cast<DWORD>(Definitions[defineId].size());
    }
    std::vector<BYTE> m(SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE + block.size());
    SendBytes(m.data(), SimWireBuildData(m.data(), m.size(), recvId, requestId, objectId, defineId, entry, outOf,
                                         count, block.data(), block.size()));
}

void AnswerByType(const SimWireRequest& r, double now)
{
    if (Definitions.find(r.defineId) == Definitions.end()) {
        SendException(SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, r.sendId, 2);
        return;
    }
    AircraftValues user = UserAircraftAt(now);
    if (r.objectType == SIMCONNECT_SIMOBJECT_TYPE_USER) {
        SendData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, r.requestId, UserObjectId, r.defineId, 1, 1, &user);
        return;
    }
    std::vector<uint32_t> found;
    for (const AiAircraft& a : AiAircraftList()) {
        AircraftValues v;
        if (AiAircraftValues(a.objectId, now, &v) && DistanceMetres(user.lat, user.lon, v.lat, v.lon) <= r.radiusMeters)
            found.push_back(a.objectId);
    }
    if (found.empty()) {
        SendData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, r.requestId, 0, r.defineId, 0, 0, nullptr);
        return;
    }
    for (size_t i = 0; i < found.size(); ++i) {
        AircraftValues v;
        AiAircraftValues(found[i], now, &v);
        SendData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, r.requestId, found[i], r.defineId,
                 static_cast<DWORD>(i + 1), static_cast<DWORD>(found.size()), &v);
    }
}

bool ObjectValues(DWORD objectId, double now, AircraftValues* out)
{
    if (objectId == UserObjectId || objectId == SIMCONNECT_OBJECT_ID_USER) {
        *out = UserAircraftAt(now);
        return true;
    }
    return AiAircraftValues(objectId, now, out);
}

void SendPeriodic(DWORD requestId, const PeriodicRequest& p, double now)
{
    AircraftValues v;
    if (ObjectValues(p.objectId, now, &v))
        SendData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, requestId, p.objectId, p.defineId, 0, 0, &v);
}

void HandleRequestData(const SimWireRequest& r, double now)
{
    if (r.period == SIMCONNECT_PERIOD_NEVER) {
        Periodic.erase(r.requestId);
        return;
    }
    PeriodicRequest p{r.defineId, r.objectId, now};
    if (r.period == SIMCONNECT_PERIOD_ONCE) {
        SendPeriodic(r.requestId, p, now);
        return;
    }
    Periodic[r.requestId] = p;
}

void HandleSetData(const SimWireRequest& r, double now)
{
    const std::vector<Datum>& datums = Definitions[r.defineId];
    if (datums.size() != 1 || datums[0].type != SIMCONNECT_DATATYPE_INITPOSITION ||
        r.dataSize != sizeof(SIMCONNECT_DATA_INITPOSITION)) {
        SendException(SIMCONNECT_EXCEPTION_SIZE_MISMATCH, r.sendId, 0);
        return;
    }
    SIMCONNECT_DATA_INITPOSITION position;
    std::memcpy(&position, r.data, sizeof(position));
    TeleportUserAircraft(position.Latitude, position.Longitude, position.Altitude, position.Heading, now);
    Log("aircraft moved", "");
    SendEvent("PositionChanged", 0);
}

void HandleSubscribe(const SimWireRequest& r)
{
    EventIds[Lower(r.name)] = r.eventId;
    EventOn[r.eventId] = true;
    Log("subscribed", r.name);
    // The simulation is running when a client subscribes to its state.
    if (Lower(r.name) == "sim")
        SendEvent("Sim", 1);
}

void HandleRequest(const SimWireRequest& r, double now)
{
    LastSendId = r.sendId;
    switch (r.kind) {
    case SimWireOpen: {
        Log("open from", r.name);
        BYTE m[sizeof(SIMCONNECT_RECV_OPEN)];
        SendBytes(m, SimWireBuildOpen(m, sizeof(m), "tvl-simserver"));
        if (Options.mismatchOnOpen)
            SendVersionMismatch();
        break;
    }
    case SimWireClose: Log("client closed", ""); EndClient(false); break;
    case SimWireAddToDataDefinition:
        Definitions[r.defineId].push_back(Datum{r.name, r.units, r.datumType});
        break;
    case SimWireRequestDataByType: AnswerByType(r, now); break;
    case SimWireRequestData: HandleRequestData(r, now); break;
    case SimWireSetData: HandleSetData(r, now); break;
    case SimWireRequestSystemState: {
        BYTE m[sizeof(SIMCONNECT_RECV_SYSTEM_STATE)];
        const char* text = Lower(r.name) == "flightplan" ? Options.planPath : "";
        SendBytes(m, SimWireBuildSystemState(m, sizeof(m), r.requestId, 0, 0.0f, text));
        break;
    }
    case SimWireSubscribeSystemEvent: HandleSubscribe(r); break;
    case SimWireSetSystemEventState: EventOn[r.eventId] = r.state == SIMCONNECT_STATE_ON; break;
    case SimWireUnsubscribeSystemEvent: EventOn[r.eventId] = false; break;
    default: break;
    }
}

// Takes every whole request out of In; false when the stream is malformed.
bool HandleInput(double now)
{
    size_t offset = 0;
    while (Fd >= 0 && In.size() - offset >= sizeof(SimWireHeader)) {
        uint32_t size;
        std::memcpy(&size, In.data() + offset, 4);
        if (size < sizeof(SimWireHeader) || size > SimWireMaxMessage)
            return false;
        if (In.size() - offset < size)
            break;
        SimWireRequest request;
        if (!SimWireDecode(In.data() + offset, size, &request))
            return false;
        offset += size;
        HandleRequest(request, now);
    }
    if (Fd >= 0)
        In.erase(In.begin(), In.begin() + static_cast<long>(offset));
    return true;
}

void SendDueMessages(double now)
{
    if (now >= NextFourSeconds) {
        NextFourSeconds = now + Options.fourSecondsMs / 1000.0;
        SendEvent("4sec", 0);
    }
    for (auto& [requestId, p] : Periodic) {
        if (Fd < 0)
            return;
        if (now >= p.nextDue) {
            p.nextDue = now + 1.0;
            SendPeriodic(requestId, p, now);
        }
    }
}

}  // namespace

void BeginClient(int fd, const ClientOptions& options, double now)
{
    Fd = fd;
    Options = options;
    In.clear();
    Definitions.clear();
    EventIds.clear();
    EventOn.clear();
    Periodic.clear();
    // The first "4sec" comes soon after the client subscribed, not a full period later.
    NextFourSeconds = now + 0.2;
    Log("client connected", "");
}

bool ClientConnected()
{
    return Fd >= 0;
}

int ClientSocket()
{
    return Fd;
}

void ServeClient(double now)
{
    if (Fd < 0)
        return;
    BYTE buffer[8192];
    while (Fd >= 0) {
        ssize_t n = recv(Fd, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (n > 0) {
            In.insert(In.end(), buffer, buffer + n);
            if (In.size() > 4 * SimWireMaxMessage || !HandleInput(now)) {
                Log("malformed request, client dropped", "");
                EndClient(false);
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        Log("client gone", "");
        EndClient(false);
    }
    if (Fd >= 0)
        SendDueMessages(now);
}

void EndClient(bool sendQuit)
{
    if (Fd < 0)
        return;
    if (sendQuit) {
        BYTE m[64];
        SendBytes(m, SimWireBuildQuit(m, sizeof(m)));
    }
    if (Fd >= 0)
        close(Fd);
    Fd = -1;
}

void SendVersionMismatch()
{
    SendException(SIMCONNECT_EXCEPTION_VERSION_MISMATCH, LastSendId, 0);
}

void SendPause(bool paused)
{
    SendEvent("Pause", paused ? 1 : 0);
}

void SendObjectAdded(uint32_t objectId)
{
    SendObjectEvent("ObjectAdded", objectId);
}

void SendObjectRemoved(uint32_t objectId)
{
    SendObjectEvent("ObjectRemoved", objectId);
}
