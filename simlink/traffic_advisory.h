// The traffic advisory: once a frame, while traffic is on, the traffic table
// that the links fill is filtered and classified against the own aircraft,
// each target is moved on between the links' reports, and the list the map
// draws is built anew; conflicts sound their alerts. Two modes: traffic (AI
// and TCAS traffic, 40 nm, altitude and speed filters) and multiplayer (range
// from TrafficRange, no filters, only alerting classes shown).
//
// Threads: the pass and the list belong to the GUI thread; the links may
// empty the list (ClearTrafficTargets) and write SimPaused from their threads.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>

constexpr int TrafficTargetMax = 400;
// Classes 0..11 (9 is never given); this one is "no class".
constexpr uint32_t TrafficClassNone = 12;

// One drawn target.
struct TrafficTarget {
    double x, y;                 // map pixels from the map centre, extrapolated position
    double heading;              // radians, true, extrapolated
    uint32_t trafficClass;
    char callsign[36];
    double groundSpeed;          // knots
    double altitude;             // feet
    double verticalSpeed;        // as the entry holds it
    double latitude, longitude;  // the last report's, not extrapolated
    double lastUpdateTime;       // seconds of the program clock
    double previousLongitude, previousLatitude;
};
static_assert(sizeof(TrafficTarget) == 128);

struct TrafficTargetListType {
    TrafficTarget targets[TrafficTargetMax];
    std::atomic<int32_t> count{0};
};
extern TrafficTargetListType TrafficTargetList;

// The simulator reports pause (written by the link threads, read on the GUI
// thread by the advisory and the sound).
extern std::atomic<uint8_t> SimPaused;
// Traffic display is on: the result of the last traffic start. GUI thread.
extern uint8_t TrafficOn;
// Multiplayer traffic is shown rather than AI/TCAS traffic. GUI thread.
extern uint8_t MultiplayerMode;
// The traffic display mode was switched: set by the TCAS/AI key, cleared by
// the traffic advisory pass (GUI thread); the Prepar3D/FSX link thread reads it.
void MarkTrafficModeChanged();
uint8_t IsTrafficModeChanged();
void ClearTrafficModeChanged();
// Some target alerts in the last pass; the bezel's traffic lamp blinks.
extern int32_t TrafficAlertActive;

// Everything one pass reads besides the traffic table and the map projection.
struct TrafficPassInputs {
    double now = 0;             // program clock, seconds
    double simClock = 0;        // simulator variable 5, seconds
    bool onGround = false;
    double ownAltitude = 0;     // feet
    double groundAltitude = 0;  // metres, below the own aircraft
    double centreLatitude = 0, centreLongitude = 0;
    // The aircraft itself, where the map centre may not be (NaN: the centre).
    double ownLatitude = NAN, ownLongitude = NAN;
    bool panning = false;
    int32_t followMode = 0;
    int32_t followedIndex = -1;
    bool multiplayer = false;
    double multiplayerRangeNm = 60;
    bool paused = false;
    bool trafficModeChanged = false;
    bool airportView = false;   // targets placed in the airport diagram's view
    int32_t (*playSound)(int32_t number) = nullptr;
};

// The per-frame pass from the simulator, map and settings values.
void UpdateTrafficAdvisory();
// One pass over the traffic table with the given inputs.
void RunTrafficPass(const TrafficPassInputs& in);

// Target i as the map draws it: x and y are 0 for the followed target (the
// map centre). False past the end, with class 12, heading 0 and callsign "".
bool GetTrafficTarget(int i, float* x, float* y, float* heading, uint32_t* trafficClass, float* groundSpeed,
                      float* altitude, char* callsign);
// Empties the drawn target list (called by the link threads too).
void ClearTrafficTargets();
// Asks the selected simulator for its traffic; callers keep the answer as TrafficOn.
bool StartTrafficData();
// Forgets the remembered own aircraft, the closure rates and the alert times.
void ResetTrafficAdvisory();
