// The traffic mode: RadarMode turned into traffic on or off at the link, the
// multiplayer switch and the layer's label switch.
#include "simlink/traffic_mode.h"

#include "app/settings.h"
#include "navdata/route_navigation.h"
#include "platform/threads.h"
#include "simlink/sim_link.h"
#include "simlink/traffic_advisory.h"

int32_t TrafficDisplayMode = 0;
uint8_t TrafficLabels = 0;

// The RadarMode last applied, whether or not its start succeeded, so that a
// link without traffic is not asked again every frame.
static int32_t AppliedRadarMode = 0;
// When the Prepar3D/FSX link last opened (program-clock seconds).
static double LinkOpenTime = 0;

void ApplyTrafficMode()
{
    int32_t wanted = Settings.RadarMode;
    AppliedRadarMode = wanted;
    if (wanted == 1 || wanted == 2) {
        TrafficOn = StartTrafficData() ? 1 : 0;
        MultiplayerMode = wanted == 2 && TrafficOn ? 1 : 0;
        TrafficDisplayMode = TrafficOn ? wanted : 0;
    } else {
        if (TrafficOn)
            SimLinkStopTraffic();
        TrafficOn = 0;
        MultiplayerMode = 0;
        TrafficDisplayMode = 0;
        ClearTrafficTargets();
    }
    TrafficLabels = TrafficDisplayMode == 2 ? 1 : 0;
}

bool IsTrafficModeOutdated() { return Settings.RadarMode != AppliedRadarMode; }

void ResetTrafficMode()
{
    AppliedRadarMode = 0;
    TrafficDisplayMode = 0;
    TrafficLabels = 0;
}

void ApplyStartupTrafficOptions()
{
    int32_t wanted = Settings.RadarMode;
    if ((wanted == 1 || wanted == 2) && IsTrafficModeOutdated())
        ApplyTrafficMode();
    // A plan switched on or off while the link was down takes effect now.
    SetFlightPlanState(Settings.FlightPlanState);
    ClearDeparturePassed();
    LinkOpenTime = ProgramClockMs() / 1000.0;
}

double GetSimLinkOpenTime() { return LinkOpenTime; }
