// The pilot log: its header, one line per flight, dates and times in UTC.
#include "simlink/pilot_log.h"

#include "platform/files.h"

#include <cstdio>
#include <ctime>

PilotLogFlight PilotLogRecord;
float PilotLogPreviousHeight = 0.0f;

static const char PilotLogHeader[] = "Date;Callsign;Plane;Departure;Destination;Time Out GMT; Time In GMT; Hours\n";

static struct tm ToUtc(int64_t calendarSeconds)
{
    time_t t = static_cast<time_t>(calendarSeconds);
    struct tm utc{};
    gmtime_r(&t, &utc);
    return utc;
}

void FormatPilotLogLine(const PilotLogFlight& f, char* out, size_t size)
{
    struct tm out_ = ToUtc(f.takeOffTime);
    struct tm in = ToUtc(f.landingTime);
    // The hours in single precision, as the log has always shown them.
    float hours = static_cast<float>(f.landingTime - f.takeOffTime) / 3600.0f;
    std::snprintf(out, size, "%02d.%02d.%04d;%.*s;%.*s;%.*s;%.*s;%02d:%02d;%02d:%02d;%03.2f\n", out_.tm_mday,
                  out_.tm_mon + 1, out_.tm_year + 1900, static_cast<int>(sizeof(f.callsign)), f.callsign,
                  static_cast<int>(sizeof(f.aircraft)), f.aircraft, static_cast<int>(sizeof(f.departure)),
                  f.departure, static_cast<int>(sizeof(f.destination)), f.destination, out_.tm_hour, out_.tm_min,
                  in.tm_hour, in.tm_min, static_cast<double>(hours));
}

void CreatePilotLog()
{
    if (GetFileAttributesA(PilotLogFileName) != INVALID_FILE_ATTRIBUTES)
        return;
    FILE* file = std::fopen(PilotLogFileName, "a");
    if (file == nullptr)
        return;
    std::fputs(PilotLogHeader, file);
    std::fclose(file);
}

bool AppendPilotLog()
{
    // A log deleted while the program runs starts again with its header.
    CreatePilotLog();
    FILE* file = std::fopen(PilotLogFileName, "a");
    if (file == nullptr)
        return false;
    char line[256];
    FormatPilotLogLine(PilotLogRecord, line, sizeof(line));
    std::fputs(line, file);
    std::fclose(file);
    PilotLogRecord.callsign[0] = '\0';
    PilotLogRecord.aircraft[0] = '\0';
    PilotLogRecord.departure[0] = '\0';
    PilotLogRecord.destination[0] = '\0';
    return true;
}
