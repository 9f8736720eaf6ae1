// The .pln writer: a FlightPlanRecord as an AceXML document, code page 1252
// texts written as UTF-8.
#include "navdata/plan_file.h"

#include "platform/codepage.h"
#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

void DegreesToDms(double value, DmsAngle* out)
{
    double a = std::isfinite(value) ? std::fabs(value) : 0.0;
    out->degrees = static_cast<int32_t>(a);
    double minutes = (a - out->degrees) * 60.0;
    out->minutes = static_cast<int32_t>(minutes);
    out->seconds = (minutes - out->minutes) * 60.0;
}

const char* PlnWaypointType(int32_t kind, PlanKindSet kinds)
{
    if (kinds == PlanKindsText) {
        switch (kind) {
        case 0: return "Airport";
        case 1: return "VOR";
        case 3: return "NDB";
        default: return "Intersection";
        }
    }
    switch (kind) {
    case 1: return "Airport";
    case 2: return "NDB";
    case 4: return "VOR";
    default: return "Intersection";
    }
}

namespace {

// Code page 1252 text made safe inside XML text and attribute values.
std::string XmlEscaped(const char* text, size_t maxLength)
{
    std::string out;
    for (size_t i = 0; i < maxLength && text[i] != '\0'; ++i) {
        switch (text[i]) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            // Control characters have no place in XML 1.0 text.
            if (static_cast<unsigned char>(text[i]) >= 0x20 || text[i] == '\t')
                out += text[i];
        }
    }
    return out;
}

std::string IdentText(const FlightPlanWaypoint& w)
{
    return XmlEscaped(w.ident, sizeof w.ident);
}

struct PlnWriter {
    FILE* file;
    bool failed = false;

    // One line: formatted as code page 1252, written as UTF-8.
    void Line(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list args;
        va_start(args, format);
        va_list copy;
        va_copy(copy, args);
        int n = std::vsnprintf(nullptr, 0, format, copy);
        va_end(copy);
        if (n < 0) {
            va_end(args);
            failed = true;
            return;
        }
        std::string text(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, args);
        va_end(args);
        std::string utf8(static_cast<size_t>(n) * 3 + 1, '\0');
        size_t length = Cp1252ToUtf8(text.c_str(), utf8.data(), utf8.size());
        if (std::fwrite(utf8.data(), 1, length, file) != length)
            failed = true;
    }
};

// A position as the .pln writes it: "N53° 38' 12.000000\",E10° 0' 3.600000\",+000053.00".
std::string PlnPosition(const FlightPlanWaypoint& w)
{
    double lat = std::isfinite(w.lat) ? w.lat : 0.0;
    double lon = std::isfinite(w.lon) ? w.lon : 0.0;
    double altitude = std::isfinite(w.altitude) ? w.altitude : 0.0;
    DmsAngle a, b;
    DegreesToDms(lat, &a);
    DegreesToDms(lon, &b);
    char text[160];
    std::snprintf(text, sizeof text, "%c%d\xB0 %d' %lf\",%c%d\xB0 %d' %lf\",%+010.2lf", lat >= 0 ? 'N' : 'S',
                  a.degrees, a.minutes, a.seconds, lon >= 0 ? 'E' : 'W', b.degrees, b.minutes, b.seconds, altitude);
    return text;
}

void WriteWaypointLines(PlnWriter* out, const FlightPlanWaypoint& w, bool airport, const char* type)
{
    std::string ident = IdentText(w);
    if (airport) {
        out->Line("\t    <ATCWaypoint id=\"%s\">\n", ident.c_str());
        out->Line("            <ATCWaypointType>Airport</ATCWaypointType>\n");
    } else {
        out->Line("\t       <ATCWaypoint id=\"%s\">\n", ident.c_str());
        out->Line("            <ATCWaypointType>%s</ATCWaypointType>\n", type);
    }
    out->Line("        <WorldPosition>%s</WorldPosition>\n", PlnPosition(w).c_str());
    out->Line("            <ICAO>\n");
    out->Line("                <ICAOIdent>%s</ICAOIdent>\n", ident.c_str());
    out->Line("            </ICAO>\n");
    out->Line("        </ATCWaypoint>\n");
}

std::string AltitudeText(double feet)
{
    if (!std::isfinite(feet))
        feet = 0.0;
    char text[64];
    if (feet == std::floor(feet) && std::fabs(feet) < 1e15)
        std::snprintf(text, sizeof text, "%.0f", feet);
    else
        std::snprintf(text, sizeof text, "%.17g", feet);
    return text;
}

bool EndsWithPln(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".pln";
}

void WritePlnBody(PlnWriter* out, const FlightPlanRecord& plan, int count, PlanKindSet kinds, const std::string& title,
                  const PlnRouteTexts& texts)
{
    const FlightPlanWaypoint& first = plan.waypoints[0];
    const FlightPlanWaypoint& last = plan.waypoints[count - 1];
    out->Line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    out->Line("\n");
    out->Line("<SimBase.Document Type=\"AceXML\" version=\"4,5\">\n");
    out->Line("    <Descr>AceXML Document</Descr>\n");
    out->Line("    <FlightPlan.FlightPlan>\n");
    out->Line("        <Title>%s</Title>\n", XmlEscaped(title.c_str(), title.size()).c_str());
    out->Line("        <FPType>IFR</FPType>\n");
    out->Line("        <RouteType>LowAlt</RouteType>\n");
    out->Line("        <CruisingAlt>%s</CruisingAlt>\n", AltitudeText(plan.cruisingAltitude).c_str());
    out->Line("        <DepartureID>%s</DepartureID>\n", IdentText(first).c_str());
    out->Line("        <DepartureLLA>%s</DepartureLLA>\n", PlnPosition(first).c_str());
    out->Line("        <DestinationID>%s</DestinationID>\n", IdentText(last).c_str());
    out->Line("        <DestinationLLA>%s</DestinationLLA>\n", PlnPosition(last).c_str());
    out->Line("        <DeparturePosition>%s</DeparturePosition>\n",
              XmlEscaped(texts.departurePosition, std::strlen(texts.departurePosition)).c_str());
    out->Line("        <DepartureName>%s</DepartureName>\n",
              XmlEscaped(texts.departureName, std::strlen(texts.departureName)).c_str());
    out->Line("        <DestinationName>%s</DestinationName>\n",
              XmlEscaped(texts.destinationName, std::strlen(texts.destinationName)).c_str());
    out->Line("        <AppVersion>\n");
    out->Line("            <AppVersionMajor>4</AppVersionMajor>\n");
    out->Line("            <AppVersionMinor>5</AppVersionMinor>\n");
    out->Line("            <AppVersionRevision>14</AppVersionRevision>\n");
    out->Line("            <AppVersionBuild>34698</AppVersionBuild>\n");
    out->Line("        </AppVersion>\n");
    WriteWaypointLines(out, first, true, "Airport");
    for (int i = 1; i < count - 1; ++i) {
        const FlightPlanWaypoint& w = plan.waypoints[i];
        const char* type = PlnWaypointType(w.kind, kinds);
        WriteWaypointLines(out, w, std::strcmp(type, "Airport") == 0, type);
    }
    if (count > 1)
        WriteWaypointLines(out, last, true, "Airport");
    out->Line("\t\t</FlightPlan.FlightPlan>\n");
    out->Line("</SimBase.Document>\n");
}

}  // namespace

bool WritePlnFile(const char* path, const FlightPlanRecord& plan, PlanKindSet kinds, const PlnRouteTexts& texts,
                  char* problem, size_t problemSize)
{
    int count = std::clamp(plan.count, 0, FlightPlanMaxWaypoints);
    if (count < 1) {
        std::snprintf(problem, problemSize, "no waypoint to write");
        return false;
    }
    std::string target = path;
    size_t slash = target.find_last_of("/\\");
    std::string title = slash == std::string::npos ? target : target.substr(slash + 1);
    if (EndsWithPln(target))
        title.resize(title.size() >= 4 ? title.size() - 4 : 0);
    else
        target += ".pln";
    // A failed write (a full disk) keeps the old plan whole.
    bool written = ReplaceFileByPrinting(target.c_str(), [&](FILE* file) {
        PlnWriter out{file};
        WritePlnBody(&out, plan, count, kinds, title, texts);
        return !out.failed;
    });
    if (!written)
        std::snprintf(problem, problemSize, "cannot be written");
    return written;
}
