// The Prepar3D/FSX companion link: a UDP client of the companion inside the
// simulator, run beside the SimConnect connection. Its registration and
// ready step let the aircraft data in; it takes the plan, the buttons and
// the simulator's weather, and sends the weather-radar exchange, set-position
// and unregister requests.
#include "simlink/p3d_link.h"

#include "platform/log.h"
#include "app/settings.h"
#include "app/simulator_window.h"
#include "maps/weather_radar.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
#include "simlink/p3d_protocol.h"
#include "simlink/udp_link.h"
#include "simlink/sim_link.h"

#include <climits>

namespace {

const char LinkName[] = "P3D companion";
LinkSession P3dSession("P3D/FSX WSA error %d");
// Link thread only: the receive buffer, the one request record (it keeps its
// fields from one request to the next) and the radar exchange's next steps.
uint8_t ReceiveBuffer[P3dCompanionReceiveBufferSize];
UdpLinkRequest Request;
bool RadarStatePending = false;
bool RainPending = false;

bool SendP3dRequest(uint32_t type)
{
    Request.type = type;
    Request.clientId = P3dSession.clientId;
    if (type != P3dMsgRegister)
        Request.slotIndex = P3dSession.slotIndex.load();
    bool sent = SendLinkDatagram(&P3dSession, &Request, sizeof(Request));
    Request.type = 0;
    return sent;
}

void EndP3dLink()
{
    P3dSession.stop = 1;
}

void HandleState()
{
    SetSimStateFlag(1);
    WaitForMapLoadOnce(&P3dSession);
    SetReceiveTimeout(P3dSession.socket, 1000);
}

void HandleFlightPlan(const void* data, size_t size)
{
    LinkDrop drop = CheckP3dFlightPlan(data, size);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return;
    }
    StoreWholeFlightPlanRecord(data, size);
}

void HandleRegistered(const void* data, size_t size)
{
    uint32_t slot = 0;
    if (!ReadDatagramWord(data, size, 8, &slot)) {
        LogDroppedInput(LinkName, LinkDrop::ShortRecord);
        return;
    }
    P3dSession.slotIndex = static_cast<int32_t>(slot);
    WeatherRequestFlag = 1;
    ResetSimulatorWindowCache();
    // The companion answers every request sent before its answer came: one line.
    if (P3dSession.registered.exchange(1) == 0)
        WriteLog("Connected to P3D");
}

bool ReadValue(const void* data, size_t size, uint32_t* value)
{
    if (ReadDatagramWord(data, size, 16, value))
        return true;
    LogDroppedInput(LinkName, LinkDrop::ShortRecord);
    return false;
}

void HandleByType(uint32_t type, const void* data, size_t size)
{
    uint32_t value = 0;
    bool registered = P3dSession.registered.load() != 0;
    switch (type) {
    case P3dMsgStop:
    case P3dMsgRefused: EndP3dLink(); return;
    case P3dMsgState:
        if (registered)
            HandleState();
        return;
    case P3dMsgFlightPlan:
        if (registered)
            HandleFlightPlan(data, size);
        return;
    case P3dMsgRegistered: HandleRegistered(data, size); return;
    case P3dMsgWeather:
        if (ReadValue(data, size, &value))
            SimWeatherFlag = value == 1 ? 1 : 0;
        return;
    case P3dMsgRadarFrame:
        if (ReadValue(data, size, &value))
            CheckRadarFrameAge(static_cast<int64_t>(value));
        return;
    default: break;
    }
    if (type >= P3dMsgButton && type <= static_cast<uint32_t>(INT_MAX))
        PassSimButton(static_cast<int32_t>(type - (P3dMsgButton - 1)));
    // 22 (accepted), 26..199 (keep-alive) and unknown types change nothing.
}

void ReceiveOnePass(LinkSession* s)
{
    int n = ReceiveLinkDatagram(s, ReceiveBuffer, sizeof(ReceiveBuffer));
    // A datagram without the companion's magic counts as a failed receive.
    if (n < 0 || !HandleP3dCompanionDatagram(ReceiveBuffer, static_cast<size_t>(n))) {
        HandleLinkReceiveError(s);
        Sleep(10);
    }
}

// The weather-radar exchange: 15 brings 17 and then 16 in the next pass.
void SendWeatherRequests()
{
    if (RadarStatePending || TakeRadarStateRequest()) {
        RadarStatePending = false;
        Request.value = IsWeatherStationOn() ? 1 : 0;
        SendP3dRequest(P3dMsgRadarState);
        RainPending = true;
    }
    if (RainPending || TakeRainIntensityChanged()) {
        RainPending = false;
        Request.value = static_cast<uint32_t>(GetRainIntensity());
        SendP3dRequest(P3dMsgRainRequest);
    }
    if (WeatherRequestFlag.exchange(0)) {
        Request.value = Settings.WeatherState.load() != 0 ? 1 : 0;
        SendP3dRequest(P3dMsgWeatherRequest);
        RadarStatePending = true;
    }
}

void SendSetPositionRequest()
{
    double latitude = 0.0;
    double longitude = 0.0;
    if (!TakePendingSetPosition(&latitude, &longitude))
        return;
    Request.value = 0;
    Request.first = latitude;
    Request.second = longitude;
    SendP3dRequest(P3dMsgSetPosition);
}

// Requests wait for the registration: before it the slot index is not ours.
void SendPendingRequests(LinkSession* s)
{
    if (!s->registered.load())
        return;
    if (RunLinkReadyStep(s, false))
        SendP3dRequest(P3dMsgMapReady);
    SendWeatherRequests();
    SendSetPositionRequest();
}

void P3dLinkThread(LinkSession* s)
{
    ClearP3dPositionValid();
    LastLoggedWsaError = 0;
    if (!OpenLinkSession(s))
        return;
    Request = UdpLinkRequest{};
    RadarStatePending = false;
    RainPending = false;
    RunRegisteringLinkLoop(s, {SendP3dRequest, P3dMsgRegister, P3dMsgUnregister, ReceiveOnePass, SendPendingRequests,
                               false, false});
    ClearP3dPositionValid();
    CloseLinkSession(s);
}

const UdpLink P3dCompanionLink = {&P3dSession, P3dLinkThread};

}  // namespace

bool HandleP3dCompanionDatagram(const void* data, size_t size)
{
    uint32_t magic = 0;
    uint32_t type = 0;
    if (!ReadDatagramHeader(data, size, &magic, &type) || magic != P3dCompanionMagic)
        return false;
    NoteLinkSignOfLife(&P3dSession);
    HandleByType(type, data, size);
    return true;
}

bool StartP3dLink()
{
    if (!IsP3dConnected())
        return false;
    if (IsDisplayResetting() || P3dSession.running.load())
        return P3dSession.running.load() != 0;
    // Held back from here, not only from the thread's start: a dispatch on
    // the GUI thread before the thread runs must not take the data early.
    MapReloadPending = 1;
    ClearP3dPositionValid();
    return StartUdpLink(P3dCompanionLink);
}

void StopP3dLink()
{
    if (IsDisplayResetting() || !P3dSession.running.load())
        return;
    StopAndJoinUdpLinkThread();
}

bool IsP3dLinkRunning()
{
    return P3dSession.running.load() != 0;
}

bool IsP3dLinkRegistered()
{
    return P3dSession.registered.load() != 0;
}
