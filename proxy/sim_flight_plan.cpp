// The proxy's reader of the simulator's flight-plan file (XML plans). The
// paths, times and the record belong to the read thread; the main thread
// touches them only while no read runs.
#include "proxy/sim_flight_plan.h"

#include "platform/files.h"
#include "platform/threads.h"
#include "proxy/udp_server.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::atomic<bool> PlanReadBusy{false};
FlightPlanRecord ProxyFlightPlan;

namespace {

char PlanPath[512];
char LastPlanPath[512];
int64_t LastPlanWriteTime = 0;
constexpr int MaxXmlWaypoints = 299;

// Last-write time in nanoseconds; false when the file is missing.
bool FileWriteTime(const char* path, int64_t* out)
{
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    *out = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

// Lines indented with blanks are UTF-8 in the simulator's files: the two-byte
// forms of Latin-1 become their single bytes (the degree sign 0xB0 above all).
void NormalizeLine(char* line)
{
    if (line[0] != ' ')
        return;
    char* out = line;
    for (const char* in = line; *in != '\0'; ++in) {
        unsigned char c = static_cast<unsigned char>(*in);
        unsigned char next = static_cast<unsigned char>(in[1]);
        if ((c == 0xC2 || c == 0xC3) && (next & 0xC0) == 0x80) {
            *out++ = static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
            ++in;
        } else {
            *out++ = *in;
        }
    }
    *out = '\0';
}

// One angle of a WorldPosition: hemisphere letter, degrees, degree sign,
// minutes, apostrophe, seconds, double quote.
double ParseAngle(const char* text, char positive)
{
    double sign = text[0] == positive ? 1.0 : -1.0;
    const char* p = text[0] != '\0' ? text + 1 : text;
    double degrees = std::atof(p);
    const char* minutes = std::strchr(p, '\xB0');
    double value = degrees;
    if (minutes != nullptr) {
        value += std::atof(minutes + 1) / 60.0;
        const char* seconds = std::strchr(minutes, '\'');
        if (seconds != nullptr)
            value += std::atof(seconds + 1) / 3600.0;
    }
    return sign * value;
}

void ParseWorldPosition(const char* text, FlightPlanWaypoint* waypoint)
{
    char part[256];
    std::snprintf(part, sizeof(part), "%s", text);
    char* lon = std::strchr(part, ',');
    if (lon == nullptr)
        return;
    *lon++ = '\0';
    char* altitude = std::strchr(lon, ',');
    if (altitude == nullptr)
        return;
    *altitude++ = '\0';
    waypoint->lat = static_cast<float>(ParseAngle(part, 'N'));
    waypoint->lon = static_cast<float>(ParseAngle(lon, 'E'));
    waypoint->altitude = static_cast<float>(std::atof(altitude));
}

// The text after tag, cut at "</" and to at most keep characters.
void TextAfter(const char* tagAt, const char* tag, char* out, size_t keep)
{
    const char* text = tagAt + std::strlen(tag);
    size_t n = 0;
    while (text[n] != '\0' && n < keep && !(text[n] == '<' && text[n + 1] == '/') && text[n] != '\n' &&
           text[n] != '\r')
        ++n;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

void SetIdent(FlightPlanWaypoint* waypoint, const char* ident)
{
    std::memset(waypoint->ident, 0, sizeof(waypoint->ident));
    std::memcpy(waypoint->ident, ident, std::min(std::strlen(ident), sizeof(waypoint->ident) - 1));
}

void ReadWaypointId(const char* line, FlightPlanWaypoint* waypoint)
{
    const char* quote = std::strchr(std::strstr(line, "<ATCWaypoint id="), '"');
    if (quote == nullptr)
        return;
    const char* end = std::strchr(quote + 1, '"');
    size_t length = end != nullptr ? static_cast<size_t>(end - quote - 1) : std::strlen(quote + 1);
    char id[16] = {};
    if (length <= 8)
        std::memcpy(id, quote + 1, length);
    SetIdent(waypoint, length <= 8 ? id : "POI");
}

int KindOf(const char* type)
{
    char upper[50];
    size_t i = 0;
    for (; type[i] != '\0' && i < sizeof(upper) - 1; ++i)
        upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(type[i])));
    upper[i] = '\0';
    if (std::strcmp(upper, "AIRPORT") == 0)
        return 1;
    if (std::strcmp(upper, "VOR") == 0)
        return 4;
    if (std::strcmp(upper, "NDB") == 0)
        return 2;
    return 5;
}

bool ReadLine(FILE* file, char* line, size_t size)
{
    if (std::fgets(line, static_cast<int>(size), file) == nullptr)
        return false;
    NormalizeLine(line);
    return true;
}

void ReadIcaoBlock(FILE* file, FlightPlanWaypoint* waypoint)
{
    char line[256];
    if (!ReadLine(file, line, sizeof(line)))
        return;
    if (std::strstr(line, "<ICAORegion>") != nullptr && !ReadLine(file, line, sizeof(line)))
        return;
    const char* tag = std::strstr(line, "<ICAOIdent>");
    if (tag == nullptr)
        return;
    char ident[16];
    TextAfter(tag, "<ICAOIdent>", ident, 7);
    SetIdent(waypoint, ident);
}

void ReadWaypointLine(FILE* file, const char* line, FlightPlanWaypoint* waypoint)
{
    const char* tag;
    if ((tag = std::strstr(line, "<ATCWaypointType>")) != nullptr) {
        char type[50];
        TextAfter(tag, "<ATCWaypointType>", type, 49);
        waypoint->kind = KindOf(type);
    } else if ((tag = std::strstr(line, "<WorldPosition>")) != nullptr) {
        char position[200];
        TextAfter(tag, "<WorldPosition>", position, 199);
        ParseWorldPosition(position, waypoint);
    } else if (std::strstr(line, "<ICAO>") != nullptr) {
        ReadIcaoBlock(file, waypoint);
    }
}

void ReadXmlFlightPlan(FILE* file)
{
    FlightPlanRecord& plan = ProxyFlightPlan;
    plan.count = 0;
    plan.simActiveIndex = 0;
    bool inside = false;
    bool inWaypoint = false;
    char line[256];
    while (ReadLine(file, line, sizeof(line))) {
        if (!inside) {
            inside = std::strstr(line, "<FlightPlan.FlightPlan>") != nullptr;
            continue;
        }
        if (std::strstr(line, "</FlightPlan.FlightPlan>") != nullptr)
            break;
        FlightPlanWaypoint* waypoint = &plan.waypoints[plan.count];
        const char* tag = std::strstr(line, "<CruisingAlt>");
        if (tag != nullptr && std::strstr(tag, "</") != nullptr) {
            plan.cruisingAltitude = std::atof(tag + std::strlen("<CruisingAlt>"));
        } else if (std::strstr(line, "<ATCWaypoint id=") != nullptr) {
            inWaypoint = true;
            ReadWaypointId(line, waypoint);
        } else if (std::strstr(line, "</ATCWaypoint>") != nullptr) {
            inWaypoint = false;
            plan.count = std::min(plan.count + 1, MaxXmlWaypoints);
        } else if (inWaypoint) {
            ReadWaypointLine(file, line, waypoint);
        }
    }
}

}  // namespace

void StartFlightPlanRead(const char* path)
{
    bool idle = false;
    if (!PlanReadBusy.compare_exchange_strong(idle, true))
        return;
    // Written before the thread starts and read only by it.
    std::snprintf(PlanPath, sizeof(PlanPath), "%s", path);
    NormalizePath(PlanPath);
    if (_beginthread(FlightPlanReadThread, 0, nullptr) == 0)
        PlanReadBusy = false;
}

void FlightPlanReadThread(void*)
{
    if (LoadSimFlightPlan() && ProxyFlightPlan.present)
        PublishFlightPlan(ProxyFlightPlan);
    PlanReadBusy = false;
}

bool LoadSimFlightPlan()
{
    int64_t writeTime;
    if (PlanPath[0] == '\0' || !FileWriteTime(PlanPath, &writeTime))
        return false;
    if (std::strcmp(PlanPath, LastPlanPath) == 0 && writeTime == LastPlanWriteTime)
        return false;
    std::snprintf(LastPlanPath, sizeof(LastPlanPath), "%s", PlanPath);
    FILE* file = std::fopen(PlanPath, "r");
    if (file == nullptr)
        return false;
    char line[256];
    if (ReadLine(file, line, sizeof(line)) && std::strstr(line, "<?xml version=") != nullptr)
        ReadXmlFlightPlan(file);
    std::fclose(file);
    LastPlanWriteTime = writeTime;
    if (ProxyFlightPlan.count <= 1)
        return false;
    ProxyFlightPlan.present = 1;
    return true;
}

void ResetSimFlightPlan()
{
    while (PlanReadBusy.load())
        Sleep(1);
    PlanPath[0] = '\0';
    LastPlanPath[0] = '\0';
    ProxyFlightPlan.present = 0;
    ProxyFlightPlan.count = 0;
}
