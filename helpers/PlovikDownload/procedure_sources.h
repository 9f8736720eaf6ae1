// The procedures of the navigation-data helper's sources: one text file per
// airport in a CIFP folder beside apt.dat ("EDDH.dat"), its lines
// "SID:", "STAR:" and "APPCH:" each one leg of a procedure (sequence, route
// type, procedure, transition, fix, region, ...), and the runways and
// procedure routes of Navdata.db made from them.
#pragma once

#include "navdata/procedure_db.h"
#include "source_readers.h"

#include <map>
#include <string>
#include <vector>

struct ProcedureLeg {
    char kind;               // 'S' departure, 'T' arrival, 'A' approach
    std::string routeType;   // approaches: "A" an approach transition
    std::string procedure;
    std::string transition;  // "RW05", "RW09B", "ALL", an approach transition's name
    std::string fix;         // empty for legs without one
};

// The legs of one file in file order; false when it cannot be opened. Lines
// that are no legs are skipped and counted.
bool ReadCifpFile(const char* path, std::vector<ProcedureLeg>* legs, ReadCounts* counts);

// Positions of the fixes and navaids by name, for the legs' fixes.
class FixPositions {
  public:
    void Add(const std::string& name, double lat, double lon);
    // The position of that name nearest to near; false when there is none.
    bool Find(const std::string& name, const SourcePoint& near, SourcePoint* out) const;

  private:
    std::multimap<std::string, SourcePoint> positions_;
};

// The airport's runway ends (number, true direction, length) and, from its
// legs, one route per procedure and runway: a departure is its runway
// transition and then its common part, an arrival its common part and then
// its runway transition, an approach transition "apptr" and the approach
// itself "final", both named by the approach. A leg whose fix is found
// neither among the runway thresholds ("RW05") nor near the airport is
// dropped; a route left without waypoints is not written.
NavdataDbAirport BuildProcedureAirport(const SourceAirport& airport, const std::vector<ProcedureLeg>& legs,
                                       const FixPositions& fixes, long* droppedLegs);
