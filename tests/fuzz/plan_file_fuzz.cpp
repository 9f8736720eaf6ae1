// libFuzzer target for flight-plan files: whatever the bytes, the reader
// either refuses them and leaves the record as it was, or leaves a record
// that holds together (a count within the record, positions on the earth,
// finite altitudes, terminated idents); a plan it takes is written as .pln
// and read back to the same waypoints.
#include "navdata/plan_file.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

FlightPlanRecord Marked()
{
    FlightPlanRecord plan;
    std::memset(&plan, 0xA5, sizeof plan);
    plan.count = 3;
    plan.present = 0;
    // Slots a file does not fill keep what an earlier plan left: terminated idents.
    for (FlightPlanWaypoint& w : plan.waypoints)
        w.ident[sizeof w.ident - 1] = '\0';
    return plan;
}

void CheckSound(const FlightPlanRecord& plan, int limit)
{
    Check(plan.count >= 0 && plan.count <= limit);
    Check(std::isfinite(plan.cruisingAltitude) && std::fabs(plan.cruisingAltitude) <= PlanMaxAltitudeFt);
    for (int i = 0; i < plan.count; ++i) {
        const FlightPlanWaypoint& w = plan.waypoints[i];
        Check(std::memchr(w.ident, 0, sizeof w.ident) != nullptr);
        Check(std::fabs(w.lat) <= 90.0f && std::fabs(w.lon) <= 180.0f);
        Check(std::isfinite(w.altitude));
    }
}

bool NoFix(const char*, double*, double*)
{
    return false;
}

std::string ScratchPath()
{
    static std::string path = "/tmp/tvl_plan_fuzz_" + std::to_string(getpid()) + ".pln";
    return path;
}

// A taken plan survives the writer: same count, idents and positions to the
// writer's precision.
void CheckRoundTrip(const FlightPlanRecord& plan)
{
    if (plan.count < 2)
        return;
    std::string path = ScratchPath();
    char problem[200];
    Check(WritePlnFile(path.c_str(), plan, PlanKindsXml, PlnRouteTexts{}, problem, sizeof problem));
    FlightPlanRecord back;
    std::memset(&back, 0, sizeof back);
    PlanReadResult result;
    Check(ReadFlightPlanFile(path.c_str(), &back, PlanReadOptions{}, &result));
    Check(back.count == plan.count);
    for (int i = 0; i < plan.count; ++i) {
        Check(std::fabs(back.waypoints[i].lat - plan.waypoints[i].lat) < 1e-4f);
        Check(std::fabs(back.waypoints[i].lon - plan.waypoints[i].lon) < 1e-4f);
    }
    std::remove(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    PlanReadOptions options[2];
    options[0].findFix = NoFix;
    options[1].textAltitudes = false;
    options[1].fillZeroAltitudes = false;
    for (const PlanReadOptions& o : options) {
        FlightPlanRecord plan = Marked();
        const FlightPlanRecord before = plan;
        PlanReadResult result;
        bool read = ReadFlightPlanImage(text, size, &plan, o, &result);
        Check(std::memchr(result.problem, 0, sizeof result.problem) != nullptr);
        if (result.refused || result.kind == PlanFileUnknown) {
            Check(!read && std::memcmp(&plan, &before, sizeof plan) == 0);
            continue;
        }
        int limit = result.kind == PlanFileText ? TextPlanMaxWaypoints : XmlPlanMaxWaypoints;
        if (o.textAltitudes)
            CheckSound(plan, limit);
        else
            Check(plan.count >= 0 && plan.count <= limit);
        if (read && o.textAltitudes)
            CheckRoundTrip(plan);
    }
    // The line pieces on their own, over a terminated copy.
    std::string line(text, size);
    line.resize(std::strlen(line.c_str()));
    std::string normalized = line;
    NormalizeLine(normalized.data());
    Check(std::strlen(normalized.c_str()) <= line.size());
    double lat = 0, lon = 0, altitude = 0;
    if (ParseWorldPosition(line.c_str(), &lat, &lon, &altitude))
        Check(std::fabs(lat) <= 90.0 && std::fabs(lon) <= 180.0 && std::isfinite(altitude));
    for (int dialect = 1; dialect <= 2; ++dialect) {
        FlightPlanWaypoint w{};
        if (ParseFs9Waypoint(&w, line.c_str(), dialect, true))
            Check(std::memchr(w.ident, 0, sizeof w.ident) != nullptr && std::fabs(w.lat) <= 90.0f &&
                  std::fabs(w.lon) <= 180.0f && std::isfinite(w.altitude));
    }
    return 0;
}
