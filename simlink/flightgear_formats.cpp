// Parsers of FlightGear's aircraft and AI datagrams and of its route
// manager's file, and the time datagram the map sends back.
#include "simlink/flightgear_formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <string_view>

namespace {

// The fields of one datagram, positional. The last field the caller asks
// for may be taken "to the end" (the route path may hold any character).
class FieldReader {
public:
    FieldReader(const char* text, size_t length) : rest_(text, strnlen(text, length)) {}

    bool Next(std::string_view* field)
    {
        if (done_)
            return false;
        size_t at = rest_.find(';');
        if (at == std::string_view::npos) {
            *field = rest_;
            done_ = true;
            return true;
        }
        *field = rest_.substr(0, at);
        rest_.remove_prefix(at + 1);
        return true;
    }

    // Everything after the fields read so far; false when nothing is left.
    bool Rest(std::string_view* field)
    {
        if (done_)
            return false;
        *field = rest_;
        done_ = true;
        return true;
    }

private:
    std::string_view rest_;
    bool done_ = false;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A whole field that is a finite decimal number, in any locale.
bool ReadNumber(std::string_view field, double* out)
{
    std::string_view s = Trim(field);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    double v = 0.0;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (error != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

bool ReadFloat(std::string_view field, float* out)
{
    double v = 0.0;
    if (!ReadNumber(field, &v) || std::fabs(v) > std::numeric_limits<float>::max())
        return false;
    *out = static_cast<float>(v);
    return true;
}

bool ReadInteger(std::string_view field, int32_t* out)
{
    double v = 0.0;
    if (!ReadNumber(field, &v) || v < INT32_MIN || v > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(v);
    return true;
}

// A text cut to its field (size bytes with the NUL); control characters,
// which would break the pilot log's lines, become spaces.
void CopyText(std::string_view field, char* out, size_t size)
{
    std::string_view s = Trim(field);
    size_t n = std::min(s.size(), size - 1);
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        out[i] = c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
    }
    out[n] = '\0';
}

}  // namespace

LinkDrop ParseFlightGearAircraft(const char* text, size_t length, FlightGearAircraftReport* out)
{
    if (text == nullptr || length == 0 || text[0] == '\0')
        return LinkDrop::TooFewFields;
    FieldReader fields(text, length);
    std::string_view f;
    float* const numbers[] = {&out->altitude,      &out->groundAltitude,    &out->longitude,
                              &out->latitude,      &out->heightAboveGround, &out->trueHeading,
                              &out->groundSpeed,   &out->windDirection,     &out->windSpeed,
                              &out->temperature,   &out->magneticVariation, &out->verticalSpeed,
                              &out->pitch,         &out->bank,              &out->waypointDistance,
                              &out->ete};
    for (float* number : numbers) {
        if (!fields.Next(&f))
            return LinkDrop::TooFewFields;
        if (!ReadFloat(f, number))
            return LinkDrop::NotANumber;
    }
    for (int32_t* integer : {&out->waypointIndex, &out->weather, &out->spare}) {
        if (!fields.Next(&f))
            return LinkDrop::TooFewFields;
        if (!ReadInteger(f, integer))
            return LinkDrop::NotANumber;
    }
    struct {
        char* text;
        size_t size;
    } const texts[] = {{out->callsign, sizeof(out->callsign)},
                       {out->aircraft, sizeof(out->aircraft)},
                       {out->nearestAirport, sizeof(out->nearestAirport)}};
    for (const auto& t : texts) {
        if (!fields.Next(&f))
            return LinkDrop::TooFewFields;
        CopyText(f, t.text, t.size);
    }
    out->firstButton = -1;
    for (int i = 0; i < FlightGearButtonCount; ++i) {
        int32_t state = 0;
        if (!fields.Next(&f))
            return LinkDrop::TooFewFields;
        if (!ReadInteger(f, &state))
            return LinkDrop::NotANumber;
        if (state != 0 && out->firstButton < 0)
            out->firstButton = i;
    }
    // The route path is the rest of the line: a path may hold a ";".
    out->hasRoutePath = fields.Rest(&f);
    out->routePath[0] = '\0';
    if (out->hasRoutePath) {
        size_t end = f.find_first_of("\r\n");
        if (end != std::string_view::npos)
            f = f.substr(0, end);
        if (f.size() >= sizeof(out->routePath))
            return LinkDrop::Unterminated;
        std::memcpy(out->routePath, f.data(), f.size());
        out->routePath[f.size()] = '\0';
    }
    return LinkDrop::None;
}

LinkDrop ParseFlightGearAi(const char* text, size_t length, FlightGearAiRecord* out, int maxRecords, int* stored,
                           int* announced)
{
    *stored = 0;
    *announced = 0;
    if (text == nullptr)
        return LinkDrop::TooFewFields;
    FieldReader fields(text, length);
    std::string_view f;
    int32_t n = 0;
    if (!fields.Next(&f))
        return LinkDrop::TooFewFields;
    if (!ReadInteger(f, &n))
        return LinkDrop::NotANumber;
    if (n <= 0)
        return LinkDrop::None;
    // Every record needs its seven fields: a longer list cannot be in the text.
    if (static_cast<size_t>(n) > std::min<size_t>(length, FlightGearAiDatagramMax) / FlightGearAiRecordFields)
        return LinkDrop::CountPastEnd;
    int kept = 0;
    for (int32_t i = 0; i < n; ++i) {
        FlightGearAiRecord r{};
        std::string_view callsign;
        if (!fields.Next(&callsign))
            return LinkDrop::CountPastEnd;
        for (double* number : {&r.trueHeading, &r.altitude, &r.latitude, &r.longitude}) {
            if (!fields.Next(&f))
                return LinkDrop::CountPastEnd;
            if (!ReadNumber(f, number))
                return LinkDrop::NotANumber;
        }
        int32_t id = 0;
        if (!fields.Next(&f))
            return LinkDrop::CountPastEnd;
        if (!ReadInteger(f, &id))
            return LinkDrop::NotANumber;
        if (!fields.Next(&f))  // the seventh field, whatever it holds
            return LinkDrop::CountPastEnd;
        CopyText(callsign, r.callsign, sizeof(r.callsign));
        r.id = static_cast<uint32_t>(id);
        if ((r.latitude == 0.0 && r.longitude == 0.0) || kept >= maxRecords)
            continue;
        out[kept++] = r;
    }
    *stored = kept;
    *announced = n;
    return LinkDrop::None;
}

size_t FormatFlightGearTime(int64_t calendarSeconds, char* out, size_t size)
{
    time_t t = static_cast<time_t>(calendarSeconds);
    struct tm utc{};
    if (gmtime_r(&t, &utc) == nullptr)
        return 0;
    int n = std::snprintf(out, size, "%04d-%02d-%02dT%02d:%02d:%02d\n", utc.tm_year + 1900, utc.tm_mon + 1,
                          utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return n > 0 && static_cast<size_t>(n) < size ? static_cast<size_t>(n) : 0;
}

// --- The route manager's file ---------------------------------------------

namespace {

constexpr size_t RouteLineSize = 128;
// The last entry is kept for the destination.
constexpr int32_t RouteLastWaypoint = FlightPlanMaxWaypoints - 1;
constexpr float NoDestination = -400.0f;

bool ReadRouteLine(FILE* file, char* line)
{
    return std::fgets(line, RouteLineSize, file) != nullptr;
}

bool Has(const char* line, const char* marker)
{
    return std::strstr(line, marker) != nullptr;
}

// The characters after the line's first ">" up to its first "</".
void TagText(const char* line, char* out, size_t size)
{
    std::string_view s(line);
    size_t open = s.find('>');
    s = open == std::string_view::npos ? std::string_view() : s.substr(open + 1);
    size_t close = s.find("</");
    if (close != std::string_view::npos)
        s = s.substr(0, close);
    CopyText(s, out, size);
}

// The leading number after marker (0 when there is none); a value that is
// not finite counts as none, so such a waypoint is left out.
float TagNumber(const char* line, const char* marker)
{
    const char* at = std::strstr(line, marker);
    if (at == nullptr)
        return 0.0f;
    std::string_view s(at + std::strlen(marker));
    s = Trim(s.substr(0, s.find('<')));
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    double v = 0.0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    if (!std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max())
        return 0.0f;
    return static_cast<float>(v);
}

const char AirportMarker[] = "<airport type=\"string\">";
const char IdentMarker[] = "<ident type=\"string\">";
const char LonMarker[] = "<lon type=\"double\">";
const char LatMarker[] = "<lat type=\"double\">";
const char AltitudeMarker[] = "<altitude-ft type=\"double\">";

// Lines of one block up to its closing marker; false when the file ends first.
template <class OnLine>
bool ReadBlock(FILE* file, char* line, const char* closing, OnLine onLine)
{
    while (ReadRouteLine(file, line)) {
        if (Has(line, closing))
            return true;
        onLine(line);
    }
    return false;
}

}  // namespace

LinkDrop ScanFlightGearRoute(FILE* file, AirportCenterLookup lookup, FlightPlanRecord* plan)
{
    char line[RouteLineSize];
    int32_t n = 0;
    char destination[sizeof(FlightPlanWaypoint::ident)] = "";
    float destinationLat = 0.0f;
    float destinationLon = NoDestination;
    plan->cruisingAltitude = 0.0;
    if (file == nullptr || !ReadRouteLine(file, line))
        return LinkDrop::Incomplete;
    while (!Has(line, "</route>")) {
        if (Has(line, "<departure")) {
            bool closed = ReadBlock(file, line, "</departure>", [&](const char* l) {
                if (!Has(l, AirportMarker))
                    return;
                FlightPlanWaypoint& w = plan->waypoints[n];
                TagText(l, w.ident, sizeof(w.ident));
                w.lat = w.lon = w.altitude = 0.0f;
                if (lookup && lookup(w.ident, &w.lat, &w.lon)) {
                    w.kind = 1;
                    n = std::min(n + 1, RouteLastWaypoint);
                }
            });
            if (!closed)
                return LinkDrop::Incomplete;
        } else if (Has(line, "<destination")) {
            bool closed = ReadBlock(file, line, "</destination>", [&](const char* l) {
                if (!Has(l, AirportMarker))
                    return;
                TagText(l, destination, sizeof(destination));
                destinationLon = NoDestination;
                if (lookup && !lookup(destination, &destinationLat, &destinationLon))
                    destinationLon = NoDestination;
            });
            if (!closed)
                return LinkDrop::Incomplete;
        } else if (Has(line, "<wp")) {
            // An entry reused from an older plan must not lend this waypoint
            // its name or altitude.
            FlightPlanWaypoint& w = plan->waypoints[n];
            w.lat = w.lon = w.altitude = 0.0f;
            w.ident[0] = '\0';
            bool closed = ReadBlock(file, line, "</wp>", [&](const char* l) {
                w.kind = 11;
                if (Has(l, IdentMarker))
                    TagText(l, w.ident, sizeof(w.ident));
                else if (Has(l, LonMarker))
                    w.lon = TagNumber(l, LonMarker);
                else if (Has(l, LatMarker))
                    w.lat = TagNumber(l, LatMarker);
                else if (Has(l, AltitudeMarker))
                    w.altitude = TagNumber(l, AltitudeMarker);
                plan->cruisingAltitude = std::max(plan->cruisingAltitude, static_cast<double>(w.altitude));
            });
            if (!closed)
                return LinkDrop::Incomplete;
            // A waypoint without a position reuses its entry.
            if (w.lat != 0.0f && w.lon != 0.0f)
                n = std::min(n + 1, RouteLastWaypoint);
        }
        if (!ReadRouteLine(file, line))
            return LinkDrop::Incomplete;
    }
    if (destinationLon == NoDestination)
        return LinkDrop::UnknownDestination;
    FlightPlanWaypoint& w = plan->waypoints[n];
    std::memcpy(w.ident, destination, sizeof(w.ident));
    w.lat = destinationLat;
    w.lon = destinationLon;
    w.altitude = 0.0f;
    w.kind = 1;
    plan->count = n + 1;
    plan->present = 1;
    plan->simActiveIndex = 0;
    return LinkDrop::None;
}
