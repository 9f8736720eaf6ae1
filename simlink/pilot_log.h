// The pilot log "Pilotlog.csv" in the working folder (the System folder):
// one line per completed flight, appended by the links that see take-offs
// and landings themselves (FlightGear, Aerofly FS 2).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char PilotLogFileName[] = "Pilotlog.csv";

// The flight under way. Only one link runs at a time and only its thread
// touches the record.
struct PilotLogFlight {
    char callsign[20];      // at take-off
    char aircraft[50];      // at take-off
    char departure[10];     // ICAO, at take-off
    char destination[12];   // ICAO, at landing
    int64_t takeOffTime;    // calendar seconds
    int64_t landingTime;    // calendar seconds
};
extern PilotLogFlight PilotLogRecord;
// The height above ground (feet) at the last take-off or landing; the
// detectors of both links compare against it. Link thread only.
extern float PilotLogPreviousHeight;

// Creates the file with its header line when it does not exist yet.
void CreatePilotLog();
// Appends the record's flight and clears its four texts. When the file
// cannot be opened or written (a folder in its place, a full disk), nothing
// of it stays in the file, the record stays as it is, the flight waits for
// the next landing (at most PilotLogPendingMax, the oldest go first) and the
// log says so. Returns whether the flights were written.
bool AppendPilotLog();
constexpr size_t PilotLogPendingMax = 100;
// The flights waiting for the next landing to be written.
size_t GetPendingPilotLogFlights();
// The flight's line as it goes into the file (size bytes, always terminated):
// a text that holds ';', ',' or '"' is quoted, its quotes doubled, so the
// line keeps its columns for the viewer and other CSV readers; control
// characters become blanks.
void FormatPilotLogLine(const PilotLogFlight& flight, char* out, size_t size);
