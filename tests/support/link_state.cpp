// Putting the shared link state back as a fresh program has it.
#include "tests/support/link_state.h"

#include "navdata/flight_plan.h"
#include "simlink/aerofly_link.h"
#include "simlink/aerofly_procedures.h"
#include "simlink/flightgear_link.h"
#include "simlink/fs2004_link.h"
#include "simlink/link_drops.h"
#include "simlink/msfs_link.h"
#include "simlink/pilot_log.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "simlink/traffic_advisory.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "simlink/xplane_link.h"

namespace {

template <class Field, size_t N>
void Zero(Field (&fields)[N])
{
    for (Field& f : fields)
        f = 0.0;
}

void Zero(SharedPosition* p)
{
    p->latitude = 0.0;
    p->longitude = 0.0;
}

}  // namespace

void ResetSharedLinkState()
{
    Zero(LinkAircraftState);
    Zero(Fs2004State);
    Zero(FlightGearState);
    ResetFlightGearRoute();
    ResetAeroflyState();
    ResetAeroflyProcedures();
    ProxyAlive = 0;
    PilotLogRecord = PilotLogFlight{};
    PilotLogPreviousHeight = 0.0f;
    ManualPositionMode = 0;
    ManualPositionValid = 0;
    Zero(&ManualPosition);
    LastDataTime = 0.0;
    ResetSimLinkRestart();
    Zero(&PreviousPosition);
    Zero(&PositionRates);
    LastReturnedHeading = 0.0;
    VelocityVectorSeeded = 0;
    SimPlanTaken = 0;
    PendingSoundNumber = -1;
    SimPaused = 0;
    TrafficOn = 0;
    MultiplayerMode = 0;
    ResetTrafficAdvisory();
    ResetTrafficTable();
    TrafficOnRequest = 0;
    TrafficOffRequest = 0;
    MapReloadPending = 0;
    SimMapReloadDone = 0;
    WeatherRequestFlag = 0;
    LastLoggedWsaError = 0;
    SimWeatherFlag = 0;
    ResetDroppedInputLog();
    // A session fed datagrams without its thread keeps its registration,
    // connection and end request: the link's own close clears them.
    for (const UdpLink* link : {&MsfsLink, &Fs2004Link, &FlightGearLink, &AeroflyLink, &XPlaneLink})
        if (!IsUdpLinkRunning(*link))
            CloseLinkSession(link->session);
    FlightPlanLock lock;
    FlightPlan = FlightPlanRecord{};
}
