// The bezel's indicator lamps.
#include "app/indicator_lamps.h"

#include "app/click_zones.h"
#include "app/settings.h"
#include "app/shared_accessors.h"
#include "app/softkey_menu.h"
#include "simlink/traffic_mode.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/softkey_pages.h"
#include "simlink/traffic_advisory.h"
#include "maps/tile_grid.h"
#include "simlink/sim_link.h"

static uint8_t Lamps[IndicatorLampCount] = {};
// The connection lamp blinks while something loads and stays lit otherwise.
static uint8_t BlinkVisible = 1;

void UpdateIndicatorLamps(bool blink)
{
    // The lamps sit in the bezel: the mode lamps light only while it is shown.
    bool lampsOn = BezelShown != 0;
    bool nearestPage = IsNearestPageOpen();
    bool loading = IsLoadingBusy();
    Lamps[LampSoftkeys] = Settings.Softkeys != 0;
    Lamps[LampFlightPlan] = IsFlightPlanActive() && lampsOn;
    Lamps[LampTrackUp] = (Settings.TrackUp != 0 || NorthUpMode != 0 || HeadingOverride.on != 0) && lampsOn;
    Lamps[LampSoftkeysRight] = Settings.Softkeys != 0;
    Lamps[LampTraffic] = TrafficDisplayMode != 0 && lampsOn && (TrafficAlertActive == 0 || blink);
    Lamps[LampNearestPage] = nearestPage && lampsOn;
    Lamps[LampMapPanning] = MapPanning != 0 && lampsOn && blink;
    Lamps[LampStatusPage] = !nearestPage && (Settings.MenuState > 0 || GetSelectedNearestEntry() >= 0);
    Lamps[LampTrack] = GetTrackMode() >= 1;
    Lamps[LampLoading] = loading;
    Lamps[LampWindrose] = Settings.Windrose >= 1;
    BlinkVisible = !loading || blink;
    RebuildSoftkeys();
}

void ClearIndicatorLamps()
{
    for (uint8_t& lamp : Lamps)
        lamp = 0;
}

bool IsIndicatorLampOn(int lamp)
{
    return lamp >= 0 && lamp < IndicatorLampCount && Lamps[lamp] != 0;
}

bool IsBlinkPhaseVisible()
{
    return BlinkVisible != 0;
}
