// The scripted world of the simulator server: the user aircraft flying a path
// at a set speed, AI aircraft, and the simulation variables they answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PathPoint {
    double lat;
    double lon;
};

struct WorldOptions {
    std::vector<PathPoint> path;  // at least two points
    double speedKt = 120.0;
    double altitudeFt = 3000.0;
    double windDirection = 270.0;
    double windSpeedKt = 15.0;
    double temperatureC = 10.0;
    double groundAltitudeM = 400.0;
    double magVar = 2.0;
};

// The values the simulation variables are taken from, in the units named.
struct AircraftValues {
    double lat, lon;          // degrees
    double altitudeFt;
    double headingDeg;        // true
    double groundSpeedKt;
    double verticalSpeedFps;
    double bankDeg, pitchDeg;
    double indicatedKt;
    bool onGround;
    std::string atcId;
    std::string title;  // the aircraft's "Title"
    // The GPS along the flight plan of the path (the user aircraft only).
    int activeWaypoint;
    double waypointDistanceM;
    double destinationDistanceM;
};

struct AiAircraft {
    uint32_t objectId;
    std::string atcId;
    double startLat, startLon, altitudeFt, headingDeg, speedKt;
    double startSeconds;
};

void InitWorld(const WorldOptions& options);
// The user aircraft at t seconds since the world started.
AircraftValues UserAircraftAt(double seconds);
// Moves the user aircraft: from now on it flies from there on its heading.
void TeleportUserAircraft(double lat, double lon, double altitudeFt, double headingDeg, double seconds);

uint32_t AddAiAircraft(const std::string& atcId, double lat, double lon, double altitudeFt, double seconds);
// Removes the aircraft with that ATC id (or object id in text); returns its
// object id, 0 when none.
uint32_t RemoveAiAircraft(const std::string& idOrAtcId);
const std::vector<AiAircraft>& AiAircraftList();
bool AiAircraftValues(uint32_t objectId, double seconds, AircraftValues* out);

// The value of a simulation variable in the given units (names and units
// compared without case); known is cleared for a variable we do not model.
double SimVariable(const AircraftValues& aircraft, const WorldOptions& options, const char* name, const char* units,
                   bool* known);
const WorldOptions& CurrentWorldOptions();

// Great-circle distance in metres.
double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

// Writes the path as an XML flight plan; false when the file cannot be written.
bool WritePathFlightPlan(const char* file);
