// Flight-plan files: the text-plan and XML-plan readers over a file image,
// and the .pln writer. Nothing here reaches into either program.
#include "navdata/plan_file.h"

#include "navdata/text_lines.h"
#include "platform/codepage.h"

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Lines are read as the plan files' own programs wrote them: at most this
// many bytes, a longer line being read as several.
constexpr size_t TextLineBytes = 254;
constexpr size_t XmlFirstLineBytes = 255;
// Text collected per XML element; plan values are short, the rest is dropped.
constexpr size_t XmlTextLimit = 1024;

void SetProblem(PlanReadResult* result, const char* format, ...) __attribute__((format(printf, 2, 3)));
void SetProblem(PlanReadResult* result, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(result->problem, sizeof result->problem, format, args);
    va_end(args);
}

void Refuse(PlanReadResult* result, const char* why)
{
    result->refused = true;
    SetProblem(result, "%s", why);
}

// Stores at most 7 characters and the terminator.
void SetIdent(FlightPlanWaypoint* waypoint, const char* ident, size_t length)
{
    std::memset(waypoint->ident, 0, sizeof waypoint->ident);
    std::memcpy(waypoint->ident, ident, std::min(length, sizeof waypoint->ident - 1));
}

// A line of an image from offset *at: at most limit bytes or through the
// line feed, without its line end. False at the end of the image.
bool NextImageLine(const char* data, size_t size, size_t* at, size_t limit, std::string* line)
{
    if (*at >= size)
        return false;
    size_t start = *at;
    size_t end = start;
    while (end < size && end - start < limit && data[end] != '\n')
        ++end;
    line->assign(data + start, end - start);
    *at = end < size && data[end] == '\n' ? end + 1 : end;
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

// A number at text (leading blanks skipped); false when there is none or it
// is not finite.
bool ReadNumber(const char* text, double* value, const char** end = nullptr)
{
    char* stop = nullptr;
    errno = 0;
    double v = std::strtod(text, &stop);
    if (stop == text || !std::isfinite(v))
        return false;
    *value = v;
    if (end != nullptr)
        *end = stop;
    return true;
}

// An altitude in feet no aircraft of a plan flies beyond, up or down; the
// record keeps altitudes as f32, which a larger file value would overflow.
bool IsPlanAltitude(double feet)
{
    return std::fabs(feet) <= PlanMaxAltitudeFt;
}

// A cruising altitude that is no number, or none a plan flies, reads as 0.
double CruiseOfText(const char* text)
{
    double value = 0;
    return ReadNumber(text, &value) && IsPlanAltitude(value) ? value : 0.0;
}

void InnerZeroAltitudesToCruise(FlightPlanRecord* plan)
{
    for (int i = 1; i < plan->count - 1; ++i)
        if (plan->waypoints[i].altitude == 0.0f)
            plan->waypoints[i].altitude = static_cast<float>(plan->cruisingAltitude);
}

// ---- text plans ----

// Up to `count` blank-separated words of line into words (each at most 63
// characters); returns how many were found.
int SplitWords(const char* line, char words[][64], int count)
{
    int n = 0;
    const char* p = line;
    while (n < count) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '\0')
            break;
        size_t length = 0;
        while (p[length] != '\0' && p[length] != ' ' && p[length] != '\t')
            ++length;
        CopyText(words[n], 64, std::string(p, length).c_str());
        p += length;
        ++n;
    }
    return n;
}

// The first word of a piece: leading blanks skipped, cut at the next blank.
void FirstWord(const std::string& piece, char* out)
{
    char words[1][64] = {};
    SplitWords(piece.c_str(), words, 1);
    CopyText(out, 64, words[0]);
}

// An angle of a text plan: hemisphere letter with the degrees behind it, and
// the minutes. False unless the letter is one of the pair and both numbers read.
bool TextPlanAngle(const char* degreesWord, const char* minutesWord, char positive, char negative, double* out)
{
    char hemisphere = degreesWord[0];
    if (hemisphere != positive && hemisphere != negative)
        return false;
    double degrees = 0, minutes = 0;
    if (!ReadNumber(degreesWord + 1, &degrees) || !ReadNumber(minutesWord, &minutes))
        return false;
    double value = degrees + minutes / 60.0;
    *out = hemisphere == positive ? value : -value;
    return std::isfinite(*out);
}

// Dialect 2 punctuation: "=," keeps an empty field, other '=' and '*' become
// field separators, apostrophes blanks.
void PrepareDialect2(std::string* line)
{
    std::string& s = *line;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '=') {
            if (i + 1 < s.size() && s[i + 1] == ',') {
                if (i > 0)
                    s[i - 1] = ',';
                s[i] = ' ';
            } else {
                s[i] = ',';
            }
        } else if (s[i] == '*') {
            s[i] = ',';
        } else if (s[i] == '\'') {
            s[i] = ' ';
        }
    }
}

// Pieces between commas, runs of commas counting as one separator.
std::vector<std::string> SplitAtCommas(const std::string& line)
{
    std::vector<std::string> pieces;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ',')
            ++i;
        if (i >= line.size())
            break;
        size_t end = line.find(',', i);
        if (end == std::string::npos)
            end = line.size();
        pieces.push_back(line.substr(i, end - i));
        i = end;
    }
    return pieces;
}

struct Fs9Fields {
    char ident[64] = "";
    char type[64] = "";
    char latDegrees[64] = "";
    char latMinutes[64] = "";
    char lonDegrees[64] = "";
    char lonMinutes[64] = "";
    char altitude[64] = "";
};

void Dialect1Fields(const char* line, Fs9Fields* f)
{
    std::string s = line;
    for (char& c : s)
        if (c == ',' || c == '=' || c == '*' || c == '\'')
            c = ' ';
    char words[8][64] = {};
    SplitWords(s.c_str(), words, 8);
    CopyText(f->ident, sizeof f->ident, words[1]);
    CopyText(f->type, sizeof f->type, words[2]);
    CopyText(f->latDegrees, sizeof f->latDegrees, words[3]);
    CopyText(f->latMinutes, sizeof f->latMinutes, words[4]);
    CopyText(f->lonDegrees, sizeof f->lonDegrees, words[5]);
    CopyText(f->lonMinutes, sizeof f->lonMinutes, words[6]);
    CopyText(f->altitude, sizeof f->altitude, words[7]);
}

void Dialect2Fields(const char* line, Fs9Fields* f)
{
    std::string s = line;
    PrepareDialect2(&s);
    std::vector<std::string> pieces = SplitAtCommas(s);
    // Pieces count from 1: 2 region, 3 and 4 unused, 5 ident, 6 type, 7 to 10
    // the position, 11 the altitude.
    char* fields[] = {f->ident, f->type, f->latDegrees, f->latMinutes, f->lonDegrees, f->lonMinutes, f->altitude};
    for (size_t k = 0; k < 7; ++k) {
        size_t piece = 4 + k;  // zero-based index of piece 5 + k
        if (piece < pieces.size())
            FirstWord(pieces[piece], fields[k]);
    }
}

bool IsWaypointLine(const std::string& line)
{
    return line.find("waypoint.") != std::string::npos;
}

// The next line of the image, normalised.
bool NextPlanLine(const char* data, size_t size, size_t* at, std::string* line)
{
    if (!NextImageLine(data, size, at, TextLineBytes, line))
        return false;
    NormalizeLine(line->data());
    line->resize(std::strlen(line->c_str()));
    return true;
}

bool ReadTextPlan(const char* data, size_t size, size_t at, FlightPlanRecord* plan, const PlanReadOptions& options,
                  PlanReadResult* result)
{
    int dialect = 1;
    std::string line;
    bool found = false;
    while (!found && NextPlanLine(data, size, &at, &line)) {
        if (line.find("AppVersion=9") != std::string::npos)
            dialect = 2;
        found = IsWaypointLine(line);
    }
    if (!found) {
        Refuse(result, "text plan without waypoint lines");
        return false;
    }
    plan->count = 0;
    plan->simActiveIndex = 0;
    double cruise = 0.0;
    do {
        if (!IsWaypointLine(line))
            continue;  // blank and other lines between waypoint lines are no waypoints
        if (plan->count >= TextPlanMaxWaypoints) {
            result->cut = true;
            break;
        }
        FlightPlanWaypoint* waypoint = &plan->waypoints[plan->count];
        if (!ParseFs9Waypoint(waypoint, line.c_str(), dialect, options.textAltitudes)) {
            result->refused = true;
            SetProblem(result, "waypoint %d has no sound position", plan->count);
            return false;
        }
        cruise = std::max(cruise, static_cast<double>(waypoint->altitude));
        ++plan->count;
    } while (NextPlanLine(data, size, &at, &line));
    // The plan's highest altitude is its cruising altitude; inner waypoints
    // without one are flown there.
    if (options.textAltitudes)
        plan->cruisingAltitude = cruise;
    return true;
}

// ---- XML plans ----

struct XmlPlanParse {
    XML_Parser parser = nullptr;
    FlightPlanRecord* plan = nullptr;
    const PlanReadOptions* options = nullptr;
    PlanReadResult* result = nullptr;
    int depth = 0;
    bool planSeen = false;
    bool planDone = false;
    int planDepth = -1;
    bool inWaypoint = false;
    int waypointDepth = -1;
    FlightPlanWaypoint* waypoint = nullptr;  // null when beyond the limit
    bool inIcao = false;
    int icaoDepth = -1;
    bool refused = false;
    std::string text;
};

bool Inside(const XmlPlanParse* p) { return p->planDepth >= 0 && !p->planDone; }

void Stop(XmlPlanParse* p, const char* why)
{
    if (!p->refused) {
        p->refused = true;
        Refuse(p->result, why);
    }
    XML_StopParser(p->parser, XML_FALSE);
}

// The collected text as code page 1252.
std::string Cp1252Text(const std::string& utf8)
{
    std::string out(utf8.size() + 1, '\0');
    size_t n = Utf8ToCp1252(utf8.c_str(), out.data(), out.size());
    out.resize(n);
    return out;
}

// Ids of up to 8 characters are cut to 7; longer ones are no idents.
void SetWaypointId(FlightPlanWaypoint* waypoint, const std::string& id)
{
    if (id.size() <= 8)
        SetIdent(waypoint, id.c_str(), id.size());
    else
        SetIdent(waypoint, "POI", 3);
}

int KindOfType(const std::string& type)
{
    std::string upper = type.substr(0, 49);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "AIRPORT")
        return 1;
    if (upper == "VOR")
        return 4;
    if (upper == "NDB")
        return 2;
    return 5;
}

void OpenWaypoint(XmlPlanParse* p, const XML_Char** attributes)
{
    p->inWaypoint = true;
    p->waypointDepth = p->depth;
    FlightPlanRecord* plan = p->plan;
    if (plan->count >= XmlPlanMaxWaypoints) {
        p->waypoint = nullptr;
        p->result->cut = true;
        return;
    }
    p->waypoint = &plan->waypoints[plan->count];
    for (int i = 0; attributes[i] != nullptr; i += 2) {
        if (std::strcmp(attributes[i], "id") == 0)
            SetWaypointId(p->waypoint, Cp1252Text(attributes[i + 1]));
    }
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes)
{
    XmlPlanParse* p = static_cast<XmlPlanParse*>(data);
    ++p->depth;
    p->text.clear();
    if (!Inside(p)) {
        if (!p->planSeen && std::strcmp(name, "FlightPlan.FlightPlan") == 0) {
            p->planSeen = true;
            p->planDepth = p->depth;
        }
        return;
    }
    if (std::strcmp(name, "ATCWaypoint") == 0 && !p->inWaypoint)
        OpenWaypoint(p, attributes);
    else if (std::strcmp(name, "ICAO") == 0 && p->inWaypoint && !p->inIcao) {
        p->inIcao = true;
        p->icaoDepth = p->depth;
    }
}

// A WorldPosition's text into the waypoint; a position given as 0/0 is the
// fix of the waypoint's ident when the options find one. False when the
// text is no sound position.
bool StoreWorldPosition(const char* text, FlightPlanRecord* plan, FlightPlanWaypoint* w, const PlanReadOptions& options)
{
    double lat = 0, lon = 0, altitude = 0;
    if (!ParseWorldPosition(text, &lat, &lon, &altitude))
        return false;
    if (std::fabs(lat) < 0.00001 && std::fabs(lon) < 0.00001 && options.findFix != nullptr && w->ident[0] != '\0') {
        double fixLat = 0, fixLon = 0;
        if (options.findFix(w->ident, &fixLat, &fixLon)) {
            lat = fixLat;
            lon = fixLon;
        }
    }
    w->lat = static_cast<float>(lat);
    w->lon = static_cast<float>(lon);
    w->altitude = static_cast<float>(altitude);
    if (plan->cruisingAltitude < altitude)
        plan->cruisingAltitude = altitude;
    return true;
}

void TakeWorldPosition(XmlPlanParse* p)
{
    if (!StoreWorldPosition(Cp1252Text(p->text).c_str(), p->plan, p->waypoint, *p->options)) {
        char why[96];
        std::snprintf(why, sizeof why, "waypoint %d has no sound position", p->plan->count);
        Stop(p, why);
    }
}

void XMLCALL OnEnd(void* data, const XML_Char* name)
{
    XmlPlanParse* p = static_cast<XmlPlanParse*>(data);
    int depth = p->depth--;
    if (!Inside(p))
        return;
    if (depth == p->planDepth) {
        p->planDone = true;
        XML_StopParser(p->parser, XML_FALSE);  // nothing after the plan is read
        return;
    }
    if (!p->inWaypoint) {
        if (std::strcmp(name, "CruisingAlt") == 0)
            p->plan->cruisingAltitude = CruiseOfText(p->text.c_str());
        return;
    }
    if (depth == p->waypointDepth) {
        if (p->waypoint != nullptr)
            ++p->plan->count;
        p->inWaypoint = false;
        p->inIcao = false;
        p->waypoint = nullptr;
        return;
    }
    if (depth == p->icaoDepth && p->inIcao) {
        p->inIcao = false;
        return;
    }
    if (p->waypoint == nullptr)
        return;
    if (std::strcmp(name, "ATCWaypointType") == 0) {
        p->waypoint->kind = KindOfType(Cp1252Text(p->text));
    } else if (std::strcmp(name, "WorldPosition") == 0) {
        TakeWorldPosition(p);
    } else if (std::strcmp(name, "ICAOIdent") == 0 && p->inIcao) {
        std::string ident = Cp1252Text(p->text);
        SetIdent(p->waypoint, ident.c_str(), ident.size());
    }
}

void XMLCALL OnText(void* data, const XML_Char* text, int length)
{
    XmlPlanParse* p = static_cast<XmlPlanParse*>(data);
    if (!Inside(p) || length <= 0)
        return;
    size_t room = XmlTextLimit - std::min(XmlTextLimit, p->text.size());
    p->text.append(text, std::min(room, static_cast<size_t>(length)));
}

// Entities are what an XML bomb is made of; plans have none.
void XMLCALL OnEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                 const XML_Char*, const XML_Char*, const XML_Char*)
{
    Stop(static_cast<XmlPlanParse*>(data), "XML plan declares entities");
}

enum XmlParseOutcome {
    XmlPlanRead,
    XmlPlanRefused,    // well-formed as far as read, but not a plan we take
    XmlPlanMalformed,  // not well-formed XML (or not in its declared encoding)
};

// One parse of the image; encoding null takes the document's own.
XmlParseOutcome ParseXmlPlan(const char* data, size_t size, const char* encoding, FlightPlanRecord* plan,
                  const PlanReadOptions& options, PlanReadResult* result)
{
    XmlPlanParse p;
    p.parser = XML_ParserCreate(encoding);
    if (p.parser == nullptr) {
        Refuse(result, "out of memory for the XML parser");
        return XmlPlanRefused;
    }
    p.plan = plan;
    p.options = &options;
    p.result = result;
    plan->count = 0;
    plan->simActiveIndex = 0;
    XML_SetUserData(p.parser, &p);
    XML_SetElementHandler(p.parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(p.parser, OnText);
    XML_SetEntityDeclHandler(p.parser, OnEntityDeclaration);
    XML_Status status = XML_Parse(p.parser, data, static_cast<int>(size), XML_TRUE);
    XmlParseOutcome outcome = XmlPlanRefused;
    if (p.refused) {
        // the handler said why
    } else if (p.planDone) {
        outcome = XmlPlanRead;
    } else if (status != XML_STATUS_OK) {
        outcome = XmlPlanMalformed;
        result->refused = true;
        SetProblem(result, "XML error in line %lu: %s", static_cast<unsigned long>(XML_GetCurrentLineNumber(p.parser)),
                   XML_ErrorString(XML_GetErrorCode(p.parser)));
    } else {
        Refuse(result, "XML plan without FlightPlan.FlightPlan");
    }
    XML_ParserFree(p.parser);
    return outcome;
}

// ---- XML plans that are not well-formed ----
//
// Some planners write a raw '&' or '<' into names. Such a file is read line
// by line, each element of a plan on a line of its own, as the plan files'
// own programs read every plan: a tag is looked for anywhere in a line and
// its text taken up to the next "</".

bool IsUtf8Image(const char* data, size_t size)
{
    std::string text(data, size);
    uint32_t cp = 0;
    for (const char* p = text.c_str(); *p != '\0';) {
        size_t length = DecodeUtf8(p, &cp);
        if (cp == 0xFFFD && length == 1)
            return false;
        p += length;
    }
    return true;
}

// The five entities XML itself defines; anything else stays as written.
std::string DecodePredefinedEntities(const std::string& text)
{
    static const struct {
        const char* entity;
        char c;
    } Entities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        bool decoded = false;
        for (const auto& e : Entities) {
            size_t n = std::strlen(e.entity);
            if (text.compare(i, n, e.entity) == 0) {
                out += e.c;
                i += n - 1;
                decoded = true;
                break;
            }
        }
        if (!decoded)
            out += text[i];
    }
    return out;
}

// The text of a line after tag, up to "</" (or the line's end), at most
// limit characters, entities decoded.
std::string TextAfterTag(const std::string& line, const char* tag, size_t limit = XmlTextLimit)
{
    size_t start = line.find(tag);
    if (start == std::string::npos)
        return "";
    start += std::strlen(tag);
    size_t end = line.find("</", start);
    std::string text = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return DecodePredefinedEntities(text.substr(0, limit));
}

// The id of an "<ATCWaypoint id=" line: from the opening quote to the
// closing quote before '>'.
std::string WaypointIdOfLine(const std::string& line)
{
    size_t at = line.find("<ATCWaypoint id=") + std::strlen("<ATCWaypoint id=");
    if (at >= line.size() || (line[at] != '"' && line[at] != '\''))
        return "";
    char quote = line[at];
    size_t close = line.find(">", at + 1);
    size_t end = line.rfind(quote, close == std::string::npos ? std::string::npos : close);
    if (end == std::string::npos || end <= at)
        end = close == std::string::npos ? line.size() : close;
    return DecodePredefinedEntities(line.substr(at + 1, end - at - 1));
}

struct XmlLinePlan {
    FlightPlanRecord* plan;
    const PlanReadOptions* options;
    PlanReadResult* result;
    bool inWaypoint = false;
    bool inIcao = false;
    FlightPlanWaypoint* waypoint = nullptr;  // null beyond the limit
};

// One line inside the plan element; false when the plan is refused.
bool TakePlanLine(XmlLinePlan* r, const std::string& line)
{
    FlightPlanRecord* plan = r->plan;
    if (!r->inWaypoint) {
        if (line.find("<CruisingAlt>") != std::string::npos && line.find("</", line.find("<CruisingAlt>")) != std::string::npos)
            plan->cruisingAltitude = CruiseOfText(TextAfterTag(line, "<CruisingAlt>").c_str());
        if (line.find("<ATCWaypoint id=") == std::string::npos)
            return true;
        r->inWaypoint = true;
        r->inIcao = false;
        r->waypoint = nullptr;
        if (plan->count >= XmlPlanMaxWaypoints)
            r->result->cut = true;
        else {
            r->waypoint = &plan->waypoints[plan->count];
            SetWaypointId(r->waypoint, WaypointIdOfLine(line));
        }
    }
    if (FlightPlanWaypoint* w = r->waypoint) {
        if (line.find("<ATCWaypointType>") != std::string::npos)
            w->kind = KindOfType(TextAfterTag(line, "<ATCWaypointType>", 49));
        if (line.find("<WorldPosition>") != std::string::npos &&
            !StoreWorldPosition(TextAfterTag(line, "<WorldPosition>").c_str(), plan, w, *r->options)) {
            r->result->refused = true;
            SetProblem(r->result, "waypoint %d has no sound position", plan->count);
            return false;
        }
        if (line.find("<ICAO>") != std::string::npos)
            r->inIcao = true;
        if (r->inIcao && line.find("<ICAOIdent>") != std::string::npos) {
            std::string ident = TextAfterTag(line, "<ICAOIdent>");
            SetIdent(w, ident.c_str(), ident.size());
        }
        if (line.find("</ICAO>") != std::string::npos)
            r->inIcao = false;
    }
    if (line.find("</ATCWaypoint>") != std::string::npos) {
        if (r->waypoint != nullptr)
            ++plan->count;
        r->inWaypoint = false;
        r->waypoint = nullptr;
    }
    return true;
}

bool ReadXmlPlanLines(const char* data, size_t size, FlightPlanRecord* plan, const PlanReadOptions& options,
                      PlanReadResult* result)
{
    // Entities are what an XML bomb is made of; plans have none.
    if (std::string(data, size).find("<!ENTITY") != std::string::npos) {
        Refuse(result, "XML plan declares entities");
        return false;
    }
    bool utf8 = IsUtf8Image(data, size);
    XmlLinePlan r{plan, &options, result};
    plan->count = 0;
    plan->simActiveIndex = 0;
    bool inside = false;
    size_t at = 0;
    std::string line;
    while (NextImageLine(data, size, &at, XmlFirstLineBytes, &line)) {
        if (utf8)
            line = Cp1252Text(line);
        if (!inside) {
            size_t open = line.find("<FlightPlan.FlightPlan>");
            if (open == std::string::npos)
                continue;
            inside = true;
            line.erase(0, open + std::strlen("<FlightPlan.FlightPlan>"));
        }
        size_t close = line.find("</FlightPlan.FlightPlan>");
        if (close != std::string::npos)
            line.resize(close);
        if (!TakePlanLine(&r, line))
            return false;
        if (close != std::string::npos)
            return true;
    }
    Refuse(result, inside ? "XML plan ends inside FlightPlan.FlightPlan" : "XML plan without FlightPlan.FlightPlan");
    return false;
}

bool ReadXmlPlan(const char* data, size_t size, FlightPlanRecord* plan, const PlanReadOptions& options,
                 PlanReadResult* result)
{
    // Some writers put blanks before the declaration, which XML forbids.
    size_t start = 0;
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        start = 3;
    while (start < size && std::isspace(static_cast<unsigned char>(data[start])))
        ++start;
    data += start;
    size -= start;
    FlightPlanRecord work = *plan;
    XmlParseOutcome outcome = ParseXmlPlan(data, size, nullptr, &work, options, result);
    if (outcome == XmlPlanRead) {
        *plan = work;
        return true;
    }
    // Older files carry code page bytes under a UTF-8 declaration: read them
    // once more as Latin-1 before giving up.
    if (outcome != XmlPlanMalformed)
        return false;
    PlanReadResult second;
    second.kind = result->kind;
    work = *plan;
    outcome = ParseXmlPlan(data, size, "ISO-8859-1", &work, options, &second);
    if (outcome == XmlPlanMalformed) {
        // Not XML at all: read line by line as the planners that wrote it do.
        second = PlanReadResult{};
        second.kind = result->kind;
        work = *plan;
        if (ReadXmlPlanLines(data, size, &work, options, &second)) {
            outcome = XmlPlanRead;
            SetProblem(&second, "%.150s; read line by line", result->problem);
        }
    }
    if (outcome != XmlPlanRead) {
        if (second.refused)
            *result = second;
        return false;
    }
    *result = second;
    *plan = work;
    return true;
}

}  // namespace

void NormalizeLine(char* line)
{
    if (line[0] != ' ')
        return;
    size_t blanks = std::strspn(line, " ");
    // Code page 1252 never takes more bytes than the UTF-8 it came from.
    std::string rest = line + blanks;
    Utf8ToCp1252(rest.c_str(), line, rest.size() + 1);
}

bool ParseFs9Waypoint(FlightPlanWaypoint* waypoint, const char* line, int dialect, bool storeAltitude)
{
    Fs9Fields f;
    if (dialect == 2)
        Dialect2Fields(line, &f);
    else
        Dialect1Fields(line, &f);
    double lat = 0, lon = 0;
    if (!TextPlanAngle(f.latDegrees, f.latMinutes, 'N', 'S', &lat) || std::fabs(lat) > 90.0)
        return false;
    if (!TextPlanAngle(f.lonDegrees, f.lonMinutes, 'E', 'W', &lon) || std::fabs(lon) > 180.0)
        return false;
    double altitude = 0;
    if (storeAltitude && f.altitude[0] != '\0' && (!ReadNumber(f.altitude, &altitude) || !IsPlanAltitude(altitude)))
        return false;
    const char* ident = f.ident;
    if (std::strstr(f.type, "LOCWAY") != nullptr)
        ident += std::min<size_t>(2, std::strlen(ident));
    switch (f.type[0]) {
    case 'A': waypoint->kind = 0; break;
    case 'V': waypoint->kind = 1; break;
    case 'I': waypoint->kind = 2; break;
    case 'N': waypoint->kind = 3; break;
    default: break;
    }
    waypoint->lat = static_cast<float>(lat);
    waypoint->lon = static_cast<float>(lon);
    SetIdent(waypoint, ident, std::strlen(ident));
    if (storeAltitude)
        waypoint->altitude = static_cast<float>(altitude);
    return true;
}

// One angle of a WorldPosition: hemisphere letter, degrees, degree sign,
// minutes, apostrophe, seconds, double quote.
static bool WorldAngle(const char* text, char positive, char negative, double* out)
{
    while (*text == ' ')
        ++text;
    if (*text != positive && *text != negative)
        return false;
    double sign = *text == positive ? 1.0 : -1.0;
    const char* p = text + 1;
    double degrees = 0, minutes = 0, seconds = 0;
    if (!ReadNumber(p, &degrees, &p))
        return false;
    if (const char* mark = std::strchr(p, '\xB0')) {
        if (!ReadNumber(mark + 1, &minutes, &p))
            return false;
        if (const char* quote = std::strchr(p, '\'')) {
            if (!ReadNumber(quote + 1, &seconds, &p))
                return false;
        }
    }
    *out = sign * (degrees + minutes / 60.0 + seconds / 3600.0);
    return std::isfinite(*out);
}

bool ParseWorldPosition(const char* text, double* lat, double* lon, double* altitude)
{
    std::string all = text;
    size_t comma1 = all.find(',');
    if (comma1 == std::string::npos)
        return false;
    size_t comma2 = all.find(',', comma1 + 1);
    std::string latPart = all.substr(0, comma1);
    std::string lonPart = all.substr(comma1 + 1, comma2 == std::string::npos ? std::string::npos : comma2 - comma1 - 1);
    double la = 0, lo = 0, alt = 0;
    if (!WorldAngle(latPart.c_str(), 'N', 'S', &la) || std::fabs(la) > 90.0)
        return false;
    if (!WorldAngle(lonPart.c_str(), 'E', 'W', &lo) || std::fabs(lo) > 180.0)
        return false;
    if (comma2 != std::string::npos) {
        std::string altPart = all.substr(comma2 + 1);
        size_t close = altPart.find("</");
        if (close != std::string::npos)
            altPart.resize(close);
        // A given altitude that is not a number makes the position unsound.
        if (altPart.find_first_not_of(" \t") != std::string::npos &&
            (!ReadNumber(altPart.c_str(), &alt) || !IsPlanAltitude(alt)))
            return false;
    }
    *lat = la;
    *lon = lo;
    *altitude = alt;
    return true;
}

bool ReadFlightPlanImage(const char* data, size_t size, FlightPlanRecord* plan, const PlanReadOptions& options,
                         PlanReadResult* result)
{
    *result = PlanReadResult{};
    if (size > PlanFileMaxBytes) {
        Refuse(result, "file too large for a flight plan");
        return false;
    }
    if (std::memchr(data, '\0', size) != nullptr) {
        Refuse(result, "binary file, not a flight plan");
        return false;
    }
    size_t at = 0;
    std::string first;
    NextImageLine(data, size, &at, XmlFirstLineBytes, &first);
    NormalizeLine(first.data());
    FlightPlanRecord work = *plan;
    bool read = false;
    if (std::strstr(first.c_str(), "<?xml version=") != nullptr) {
        result->kind = PlanFileXml;
        read = ReadXmlPlan(data, size, &work, options, result);
    } else if (std::strstr(first.c_str(), "[flightplan]") != nullptr) {
        result->kind = PlanFileText;
        read = ReadTextPlan(data, size, at, &work, options, result);
    } else {
        SetProblem(result, "neither an XML nor a text flight plan");
        return false;
    }
    if (!read)
        return false;
    if (options.fillZeroAltitudes)
        InnerZeroAltitudesToCruise(&work);
    if (result->cut)
        SetProblem(result, "more waypoints than a plan holds: the first %d were kept", work.count);
    *plan = work;
    if (plan->count <= 1)
        return false;
    plan->present = 1;
    return true;
}

bool ReadFlightPlanFile(const char* path, FlightPlanRecord* plan, const PlanReadOptions& options,
                        PlanReadResult* result)
{
    *result = PlanReadResult{};
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        Refuse(result, "cannot be opened");
        return false;
    }
    std::vector<char> image;
    char buffer[65536];
    size_t n;
    bool tooLarge = false;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (image.size() + n > PlanFileMaxBytes) {
            tooLarge = true;
            break;
        }
        image.insert(image.end(), buffer, buffer + n);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (tooLarge) {
        Refuse(result, "file too large for a flight plan");
        return false;
    }
    if (failed) {
        Refuse(result, "cannot be read");
        return false;
    }
    return ReadFlightPlanImage(image.data(), image.size(), plan, options, result);
}
