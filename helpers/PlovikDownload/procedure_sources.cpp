// Procedures of the helper's CIFP files and the airport entries of Navdata.db.
#include "procedure_sources.h"

#include "navdata/great_circle.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

// A leg's fix is taken only this near the airport.
constexpr double FixSearchNm = 250.0;

std::vector<std::string> SplitFields(const std::string& text)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, ',')) {
        size_t a = field.find_first_not_of(' '), b = field.find_last_not_of(' ');
        fields.push_back(a == std::string::npos ? "" : field.substr(a, b - a + 1));
    }
    return fields;
}

double BearingDegrees(const SourcePoint& a, const SourcePoint& b)
{
    double la = a.lat * RadiansPerDegree, lb = b.lat * RadiansPerDegree, dl = (b.lon - a.lon) * RadiansPerDegree;
    double bearing = std::atan2(std::sin(dl) * std::cos(lb), std::cos(la) * std::sin(lb) - std::sin(la) * std::cos(lb) * std::cos(dl));
    double degrees = bearing / RadiansPerDegree;
    return degrees < 0 ? degrees + 360.0 : degrees;
}

// The runway numbers a transition names: "RW05" one, "RW09B" both parallels,
// "ALL" or nothing every runway of the airport; none for other transitions.
std::vector<std::string> RunwaysOf(const std::string& transition, const std::vector<NavdataDbRunway>& runways)
{
    std::vector<std::string> numbers;
    bool all = transition.empty() || transition == "ALL";
    bool both = transition.size() == 5 && transition.compare(0, 2, "RW") == 0 && transition[4] == 'B';
    for (const NavdataDbRunway& r : runways) {
        if (all || "RW" + r.number == transition || (both && r.number.compare(0, 2, transition, 2, 2) == 0))
            numbers.push_back(r.number);
    }
    return numbers;
}

bool IsRunwayTransition(const std::string& transition)
{
    return transition.size() >= 4 && transition.compare(0, 2, "RW") == 0;
}

// The runway an approach is flown to: "I05" or "R23-Y" give "05", "23".
std::string ApproachRunway(const std::string& procedure)
{
    std::string number;
    for (size_t i = 1; i < procedure.size(); ++i) {
        char c = procedure[i];
        if ((c >= '0' && c <= '9' && number.size() < 2) || (number.size() == 2 && (c == 'L' || c == 'R' || c == 'C')))
            number += c;
        else
            break;
    }
    return number.size() >= 2 ? number : "";
}

class RouteBuilder {
  public:
    RouteBuilder(const SourceAirport& airport, const FixPositions& fixes, NavdataDbAirport* out, long* dropped)
        : airport_(airport), fixes_(fixes), out_(out), dropped_(dropped)
    {
        centre_ = airport.hasDatum ? airport.datum : (airport.runways.empty() ? SourcePoint{0, 0} : airport.runways[0].point[0]);
    }

    std::vector<NavdataDbWaypoint> Waypoints(const std::vector<const ProcedureLeg*>& legs)
    {
        std::vector<NavdataDbWaypoint> points;
        for (const ProcedureLeg* leg : legs) {
            if (leg->fix.empty())
                continue;
            SourcePoint p;
            if (Threshold(leg->fix, &p) || fixes_.Find(leg->fix, centre_, &p))
                points.push_back({leg->fix, p.lat, p.lon});
            else
                ++*dropped_;
        }
        return points;
    }

    void Add(const char* table, const std::string& name, const std::string& runway,
             std::vector<NavdataDbWaypoint> points)
    {
        if (!points.empty())
            out_->routes.push_back({table, name, runway, std::move(points)});
    }

    // Departures and arrivals: the runway transitions and the common part.
    void AddTerminal(const char* table, bool runwayFirst, const std::vector<ProcedureLeg>& legs)
    {
        std::vector<std::string> names;
        for (const ProcedureLeg& leg : legs)
            if (std::find(names.begin(), names.end(), leg.procedure) == names.end())
                names.push_back(leg.procedure);
        for (const std::string& name : names) {
            std::vector<const ProcedureLeg*> common;
            std::map<std::string, std::vector<const ProcedureLeg*>> byRunway;
            for (const ProcedureLeg& leg : legs) {
                if (leg.procedure != name)
                    continue;
                if (IsRunwayTransition(leg.transition)) {
                    for (const std::string& r : RunwaysOf(leg.transition, out_->runways))
                        byRunway[r].push_back(&leg);
                } else if (leg.transition.empty() || leg.transition == "ALL") {
                    common.push_back(&leg);
                }
            }
            if (byRunway.empty() && !common.empty())
                for (const NavdataDbRunway& r : out_->runways)
                    byRunway[r.number];
            for (auto& [runway, own] : byRunway) {
                std::vector<const ProcedureLeg*> route = runwayFirst ? own : common;
                const std::vector<const ProcedureLeg*>& rest = runwayFirst ? common : own;
                route.insert(route.end(), rest.begin(), rest.end());
                Add(table, name, runway, Waypoints(route));
            }
        }
    }

    // Approaches: each transition and the approach itself, to its runway.
    void AddApproaches(const std::vector<ProcedureLeg>& legs)
    {
        std::map<std::pair<std::string, std::string>, std::vector<const ProcedureLeg*>> transitions;
        std::map<std::string, std::vector<const ProcedureLeg*>> finals;
        std::vector<std::string> order;
        for (const ProcedureLeg& leg : legs) {
            if (std::find(order.begin(), order.end(), leg.procedure) == order.end())
                order.push_back(leg.procedure);
            if (leg.routeType == "A")
                transitions[{leg.procedure, leg.transition}].push_back(&leg);
            else
                finals[leg.procedure].push_back(&leg);
        }
        for (const std::string& name : order) {
            std::string runway = ApproachRunway(name);
            if (runway.empty())
                continue;
            for (auto& [key, route] : transitions)
                if (key.first == name)
                    Add("apptr", name, runway, Waypoints(route));
            Add("final", name, runway, Waypoints(finals[name]));
        }
    }

  private:
    bool Threshold(const std::string& fix, SourcePoint* out) const
    {
        for (const SourceRunway& r : airport_.runways)
            for (int e = 0; e < 2; ++e)
                if ("RW" + r.end[e] == fix) {
                    *out = r.point[e];
                    return true;
                }
        return false;
    }

    const SourceAirport& airport_;
    const FixPositions& fixes_;
    NavdataDbAirport* out_;
    long* dropped_;
    SourcePoint centre_;
};

}  // namespace

bool ReadCifpFile(const char* path, std::vector<ProcedureLeg>* legs, ReadCounts* counts)
{
    SourceLineReader reader(path);
    if (!reader.IsOpen())
        return false;
    std::string line;
    while (reader.Next(&line)) {
        char kind = line.rfind("SID:", 0) == 0 ? 'S' : line.rfind("STAR:", 0) == 0 ? 'T'
                    : line.rfind("APPCH:", 0) == 0                                ? 'A'
                                                                                   : 0;
        if (kind == 0)
            continue;  // runway lines, headers
        std::vector<std::string> f = SplitFields(line.substr(line.find(':') + 1));
        if (f.size() < 5 || f[2].empty()) {
            ++counts->skipped;
            continue;
        }
        ++counts->records;
        legs->push_back({kind, f[1], f[2], f[3], f[4]});
    }
    return true;
}

void FixPositions::Add(const std::string& name, double lat, double lon)
{
    positions_.insert({name, {lat, lon}});
}

bool FixPositions::Find(const std::string& name, const SourcePoint& near, SourcePoint* out) const
{
    bool found = false;
    double best = FixSearchNm;
    auto [first, last] = positions_.equal_range(name);
    for (auto it = first; it != last; ++it) {
        double d = GreatCircleDistanceNm(near.lat, near.lon, it->second.lat, it->second.lon);
        if (d <= best) {
            best = d;
            *out = it->second;
            found = true;
        }
    }
    return found;
}

NavdataDbAirport BuildProcedureAirport(const SourceAirport& airport, const std::vector<ProcedureLeg>& legs,
                                       const FixPositions& fixes, long* droppedLegs)
{
    NavdataDbAirport out;
    out.icao = airport.icao;
    for (const SourceRunway& r : airport.runways) {
        // The database keeps runway lengths in feet.
        double feet = GreatCircleDistanceNm(r.point[0].lat, r.point[0].lon, r.point[1].lat, r.point[1].lon) *
                      MetresPerNauticalMile / 0.3048;
        for (int e = 0; e < 2; ++e)
            out.runways.push_back({r.end[e], BearingDegrees(r.point[e], r.point[1 - e]), feet});
    }
    std::vector<ProcedureLeg> departures, arrivals, approaches;
    for (const ProcedureLeg& leg : legs)
        (leg.kind == 'S' ? departures : leg.kind == 'T' ? arrivals : approaches).push_back(leg);
    RouteBuilder builder(airport, fixes, &out, droppedLegs);
    builder.AddTerminal("sid", true, departures);
    builder.AddTerminal("star", false, arrivals);
    builder.AddApproaches(approaches);
    return out;
}
