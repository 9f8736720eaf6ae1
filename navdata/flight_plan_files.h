// The map program's plan files: FlightPlan loaded from a text or XML plan
// and saved as a .pln. GUI thread (the navigation tables resolve fixes).
#pragma once

// Reads the plan at path into FlightPlan; true when it holds more than one
// waypoint. A file that is refused, or of neither format, leaves the plan as
// it was and says why in the log.
bool LoadFlightPlanFile(const char* path);
// Writes FlightPlan as a .pln file; false (and a log line) when nothing
// could be written.
bool SavePlnFile(const char* path);
