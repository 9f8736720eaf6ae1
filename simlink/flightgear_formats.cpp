// Parsers of FlightGear's aircraft and AI datagrams and of its route
// manager's file, and the time datagram the map sends back.
#include "simlink/flightgear_formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

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

// FlightGear prints "inf" or "nan" (with a sign, in either case) for a value
// it cannot work out, like the time to the next waypoint while the aircraft
// stands still.
bool IsNotWorkedOut(std::string_view field)
{
    std::string_view s = Trim(field);
    if (!s.empty() && (s.front() == '+' || s.front() == '-'))
        s.remove_prefix(1);
    if (s.size() != 3)
        return false;
    char lower[3];
    for (int i = 0; i < 3; ++i)
        lower[i] = static_cast<char>(s[i] | 0x20);
    std::string_view word(lower, 3);
    return word == "inf" || word == "nan";
}

// A value that may be missing: one FlightGear could not work out reads as 0.
bool ReadValue(std::string_view field, float* out)
{
    if (IsNotWorkedOut(field)) {
        *out = 0.0f;
        return true;
    }
    return ReadFloat(field, out);
}

bool ReadValue(std::string_view field, double* out)
{
    if (IsNotWorkedOut(field)) {
        *out = 0.0;
        return true;
    }
    return ReadNumber(field, out);
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

namespace {

// The fields of a text, as views into it; the splitting stops after max
// fields.
size_t SplitFields(std::string_view text, std::string_view* fields, size_t max)
{
    size_t count = 0;
    while (count < max) {
        size_t at = text.find(';');
        fields[count++] = text.substr(0, at);
        if (at == std::string_view::npos)
            break;
        text.remove_prefix(at + 1);
    }
    return count;
}

// Fields first..last (inclusive) as the one text they were before a ";"
// inside it split them.
std::string_view Joined(const std::string_view* fields, size_t first, size_t last)
{
    const char* begin = fields[first].data();
    return std::string_view(begin, static_cast<size_t>(fields[last].data() + fields[last].size() - begin));
}

constexpr int FirstTextField = 19;     // 0-based: callsign, aircraft, nearest airport
constexpr int FirstButtonField = 22;   // then the 32 buttons
constexpr int RoutePathField = 54;
// A callsign typed with ";" in it splits into more fields; this many extra
// pieces are tried before the line counts as broken.
constexpr size_t CallsignPiecesMax = 8;

// The 32 buttons from fields[at]: false when one is not an integer.
bool ReadButtons(const std::string_view* fields, size_t at, int32_t* firstButton)
{
    *firstButton = -1;
    for (int i = 0; i < FlightGearButtonCount; ++i) {
        int32_t state = 0;
        if (!ReadInteger(fields[at + i], &state))
            return false;
        if (state != 0 && *firstButton < 0)
            *firstButton = i;
    }
    return true;
}

// The buttons that arrived, from fields[at] up to the end of a short line:
// false when one is not an integer.
bool ReadButtonsThatArrived(const std::string_view* fields, size_t at, size_t count, int32_t* firstButton)
{
    *firstButton = -1;
    for (size_t i = at; i < count && i < at + FlightGearButtonCount; ++i) {
        int32_t state = 0;
        if (!ReadInteger(fields[i], &state))
            return false;
        if (state != 0 && *firstButton < 0)
            *firstButton = static_cast<int32_t>(i - at);
    }
    return true;
}

// The texts and buttons of a line that has all 32 buttons: the callsign
// takes as many pieces as leave 32 integers for the buttons; the route path
// is the rest of the line, as a path may hold a ";".
LinkDrop ReadWholeTail(std::string_view line, const std::string_view* fields, size_t count,
                       FlightGearAircraftReport* r)
{
    size_t extra = 0;
    while (!ReadButtons(fields, FirstButtonField + extra, &r->firstButton)) {
        if (extra == CallsignPiecesMax || RoutePathField + extra + 1 > count)
            return LinkDrop::NotANumber;
        ++extra;
    }
    CopyText(Joined(fields, FirstTextField, FirstTextField + extra), r->callsign, sizeof(r->callsign));
    CopyText(fields[FirstTextField + extra + 1], r->aircraft, sizeof(r->aircraft));
    CopyText(fields[FirstTextField + extra + 2], r->nearestAirport, sizeof(r->nearestAirport));
    r->fieldsArrived = FlightGearFieldCount - 1;
    size_t pathField = RoutePathField + extra;
    if (pathField >= count)
        return LinkDrop::None;
    std::string_view f = line.substr(static_cast<size_t>(fields[pathField].data() - line.data()));
    size_t end = f.find_first_of("\r\n");
    if (end != std::string_view::npos)
        f = f.substr(0, end);
    if (f.size() >= sizeof(r->routePath))
        return LinkDrop::Unterminated;
    std::memcpy(r->routePath, f.data(), f.size());
    r->routePath[f.size()] = '\0';
    r->hasRoutePath = true;
    r->fieldsArrived = FlightGearFieldCount;
    return LinkDrop::None;
}

// The texts and buttons of a line that ends before its last button: each
// field in its place, as far as the line goes.
LinkDrop ReadShortTail(const std::string_view* fields, size_t count, FlightGearAircraftReport* r)
{
    char* const texts[] = {r->callsign, r->aircraft, r->nearestAirport};
    const size_t sizes[] = {sizeof(r->callsign), sizeof(r->aircraft), sizeof(r->nearestAirport)};
    for (size_t i = 0; i < 3 && FirstTextField + i < count; ++i)
        CopyText(fields[FirstTextField + i], texts[i], sizes[i]);
    if (!ReadButtonsThatArrived(fields, FirstButtonField, count, &r->firstButton))
        return LinkDrop::NotANumber;
    r->fieldsArrived = static_cast<int>(count);
    return LinkDrop::None;
}

}  // namespace

LinkDrop ParseFlightGearAircraft(const char* text, size_t length, FlightGearAircraftReport* report)
{
    if (text == nullptr || length == 0 || text[0] == '\0')
        return LinkDrop::TooFewFields;
    std::string_view line(text, strnlen(text, length));
    // Room for a callsign in pieces and the route path with its own ";".
    std::string_view fields[FlightGearFieldCount + CallsignPiecesMax + 1];
    size_t count = SplitFields(line, fields, std::size(fields));
    // Without its position the line is of no use.
    if (count < FlightGearPositionFields)
        return LinkDrop::TooFewFields;
    // Fields the line does not carry keep what the report held; a line that
    // is dropped changes nothing.
    FlightGearAircraftReport r = *report;
    r.firstButton = -1;
    r.hasRoutePath = false;
    r.routePath[0] = '\0';
    float* const numbers[] = {&r.altitude,     &r.groundAltitude,    &r.longitude,         &r.latitude,
                              &r.heightAboveGround, &r.trueHeading, &r.groundSpeed,     &r.windDirection,
                              &r.windSpeed,    &r.temperature,       &r.magneticVariation, &r.verticalSpeed,
                              &r.pitch,        &r.bank,              &r.waypointDistance,  &r.ete};
    size_t at = 0;
    for (float* number : numbers) {
        if (at >= count)
            break;
        // Any value but the position may be one FlightGear could not work out.
        bool position = number == &r.longitude || number == &r.latitude;
        if (!(position ? ReadFloat(fields[at], number) : ReadValue(fields[at], number)))
            return LinkDrop::NotANumber;
        ++at;
    }
    for (int32_t* integer : {&r.waypointIndex, &r.weather, &r.spare}) {
        if (at >= count)
            break;
        if (!ReadInteger(fields[at++], integer))
            return LinkDrop::NotANumber;
    }
    LinkDrop drop = count >= static_cast<size_t>(RoutePathField) ? ReadWholeTail(line, fields, count, &r)
                                                                   : ReadShortTail(fields, count, &r);
    if (drop != LinkDrop::None)
        return drop;
    *report = r;
    return LinkDrop::None;
}

namespace {

// One record of an AI datagram from fields[at], its callsign taking the
// fields at..at+extra. None, NotANumber, or OffTheEarth for a position that
// is no position.
LinkDrop ReadAiRecord(const std::string_view* fields, size_t at, size_t extra, FlightGearAiRecord* r)
{
    *r = FlightGearAiRecord{};
    const std::string_view* f = fields + at + extra + 1;
    if (!ReadValue(f[0], &r->trueHeading) || !ReadValue(f[1], &r->altitude) || !ReadNumber(f[2], &r->latitude) ||
        !ReadNumber(f[3], &r->longitude))
        return LinkDrop::NotANumber;
    int32_t id = 0;
    if (!ReadInteger(f[4], &id))
        return LinkDrop::NotANumber;
    if (std::fabs(r->latitude) > 90.0 || std::fabs(r->longitude) > 180.0)
        return LinkDrop::OffTheEarth;
    // f[5], the seventh field, only has to be there.
    CopyText(Joined(fields, at, at + extra), r->callsign, sizeof(r->callsign));
    r->id = static_cast<uint32_t>(id);
    return LinkDrop::None;
}

}  // namespace

LinkDrop ParseFlightGearAi(const char* text, size_t length, FlightGearAiRecord* out, int maxRecords, int* stored,
                           int* announced)
{
    *stored = 0;
    *announced = 0;
    if (text == nullptr)
        return LinkDrop::TooFewFields;
    std::string_view line(text, strnlen(text, std::min(length, FlightGearAiDatagramMax)));
    // A text of k characters has at most k + 1 fields.
    std::vector<std::string_view> fields(line.size() + 1);
    size_t count = SplitFields(line, fields.data(), fields.size());
    int32_t n = 0;
    if (!ReadInteger(fields[0], &n))
        return LinkDrop::NotANumber;
    if (n <= 0)
        return LinkDrop::None;
    // A count of more places than the text holds (a protocol that sends the
    // number of aircraft but fewer places): the whole records there are
    // read, a record the text ends in is not.
    size_t listed = count - 1;
    size_t whole = static_cast<size_t>(n) * FlightGearAiRecordFields;
    // Fields past n records: the pieces of callsigns that hold a ";".
    size_t spare = whole <= listed ? listed - whole : listed % FlightGearAiRecordFields;
    size_t at = 1;
    int kept = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (count - at < static_cast<size_t>(FlightGearAiRecordFields))
            break;
        spare = std::min(spare, count - at - FlightGearAiRecordFields);
        FlightGearAiRecord r;
        LinkDrop drop = ReadAiRecord(fields.data(), at, 0, &r);
        size_t extra = 0;
        while (drop != LinkDrop::None && extra < spare)
            drop = ReadAiRecord(fields.data(), at, ++extra, &r);
        if (drop != LinkDrop::None)
            return drop;
        spare -= extra;
        at += extra + FlightGearAiRecordFields;
        // A negative id marks a place whose aircraft has gone: FlightGear
        // goes on sending its last values there.
        bool gone = static_cast<int32_t>(r.id) < 0;
        if (gone || (r.latitude == 0.0 && r.longitude == 0.0) || kept >= maxRecords)
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

// The file, read in pieces of a line, no further than the limits: the path
// comes from the network, so the file may be anything, of any length.
struct RouteReader {
    FILE* file;
    size_t bytes = 0;
    size_t pieces = 0;
    bool overLimit = false;
};

bool ReadRouteLine(RouteReader& in, char* line)
{
    if (in.bytes >= FlightGearRouteMaxBytes || in.pieces >= FlightGearRouteMaxLines) {
        in.overLimit = true;
        return false;
    }
    if (std::fgets(line, RouteLineSize, in.file) == nullptr)
        return false;
    in.bytes += std::strlen(line);
    in.pieces += 1;
    return true;
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
// The route manager saves the cruise altitude in feet or as a flight level.
const char CruiseFeetMarker[] = "<altitude-ft type=\"int\">";
const char CruiseLevelMarker[] = "<flight-level type=\"int\">";

// Lines of one block up to its closing marker; false when the file ends first.
template <class OnLine>
bool ReadBlock(RouteReader& file, char* line, const char* closing, OnLine onLine)
{
    while (ReadRouteLine(file, line)) {
        if (Has(line, closing))
            return true;
        onLine(line);
    }
    return false;
}

}  // namespace

LinkDrop ScanFlightGearRoute(FILE* source, AirportCenterLookup lookup, FlightPlanRecord* plan)
{
    char line[RouteLineSize];
    int32_t n = 0;
    char destination[sizeof(FlightPlanWaypoint::ident)] = "";
    float destinationLat = 0.0f;
    float destinationLon = NoDestination;
    plan->cruisingAltitude = 0.0;
    if (source == nullptr)
        return LinkDrop::Incomplete;
    RouteReader file{source};
    // A file that ends early, or goes on past the limits, is no route.
    auto incomplete = [&file] { return file.overLimit ? LinkDrop::FileTooLarge : LinkDrop::Incomplete; };
    if (!ReadRouteLine(file, line))
        return incomplete();
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
                return incomplete();
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
                return incomplete();
        } else if (Has(line, "<cruise")) {
            bool closed = ReadBlock(file, line, "</cruise>", [&](const char* l) {
                double feet = 0.0;
                if (Has(l, CruiseFeetMarker))
                    feet = TagNumber(l, CruiseFeetMarker);
                else if (Has(l, CruiseLevelMarker))
                    feet = TagNumber(l, CruiseLevelMarker) * 100.0;
                plan->cruisingAltitude = std::max(plan->cruisingAltitude, feet);
            });
            if (!closed)
                return incomplete();
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
                return incomplete();
            // A waypoint without a position reuses its entry, and so does the
            // departure airport that the route lists once more as its start.
            const FlightPlanWaypoint& before = plan->waypoints[n > 0 ? n - 1 : 0];
            bool repeated = n > 0 && before.kind == 1 && std::strcmp(w.ident, before.ident) == 0;
            if (w.lat != 0.0f && w.lon != 0.0f && !repeated)
                n = std::min(n + 1, RouteLastWaypoint);
        }
        if (!ReadRouteLine(file, line))
            return incomplete();
    }
    if (destinationLon == NoDestination)
        return LinkDrop::UnknownDestination;
    // The route ends at the destination airport itself when no approach
    // was chosen: that waypoint becomes the destination.
    const FlightPlanWaypoint& last = plan->waypoints[n > 0 ? n - 1 : 0];
    if (n > 0 && last.kind == 11 && destination[0] != '\0' && std::strcmp(last.ident, destination) == 0)
        --n;
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
