// The pilot log: its header, one line per flight, dates and times in UTC.
// Texts that hold the separator are quoted, so every line keeps its columns;
// a flight that cannot be written waits for the next landing.
#include "simlink/pilot_log.h"

#include "platform/log.h"
#include "platform/files.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>

PilotLogFlight PilotLogRecord;
float PilotLogPreviousHeight = 0.0f;

static const char PilotLogHeader[] = "Date;Callsign;Plane;Departure;Destination;Time Out GMT; Time In GMT; Hours\n";

// Lines of flights not written yet, oldest first. threads: the link thread
// that lands (one link runs at a time); locked for a link restarting.
static std::mutex PendingLock;
static std::deque<std::string> PendingLines;

static struct tm ToUtc(int64_t calendarSeconds)
{
    time_t t = static_cast<time_t>(calendarSeconds);
    struct tm utc{};
    gmtime_r(&t, &utc);
    return utc;
}

// A text field as it stands when it holds neither separator (the viewer
// takes ',' too) nor a quote; else quoted, its quotes doubled. Line ends and
// other control characters, which no reader takes inside a field, become
// blanks.
static std::string CsvField(const char* text, size_t size)
{
    std::string field(text, strnlen(text, size));
    for (char& c : field)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    if (field.find_first_of(";,\"") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

template <size_t N>
static std::string CsvField(const char (&text)[N])
{
    return CsvField(text, N);
}

void FormatPilotLogLine(const PilotLogFlight& f, char* out, size_t size)
{
    struct tm out_ = ToUtc(f.takeOffTime);
    struct tm in = ToUtc(f.landingTime);
    // The hours in single precision, as the log has always shown them.
    float hours = static_cast<float>(f.landingTime - f.takeOffTime) / 3600.0f;
    std::snprintf(out, size, "%02d.%02d.%04d;%s;%s;%s;%s;%02d:%02d;%02d:%02d;%03.2f\n", out_.tm_mday,
                  out_.tm_mon + 1, out_.tm_year + 1900, CsvField(f.callsign).c_str(), CsvField(f.aircraft).c_str(),
                  CsvField(f.departure).c_str(), CsvField(f.destination).c_str(), out_.tm_hour, out_.tm_min,
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

// Appends text whole or not at all: a write cut short (a full disk) is taken
// back, so no half line stands before the next try.
static bool AppendWhole(const std::string& text)
{
    FILE* file = std::fopen(PilotLogFileName, "a");
    if (file == nullptr)
        return false;
    long before = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fflush(file) == 0 && ok;
    if (!ok && before >= 0 && ftruncate(fileno(file), before) != 0)
        WriteLogF("%s: a line cut short could not be taken back", PilotLogFileName);
    return std::fclose(file) == 0 && ok;
}

bool AppendPilotLog()
{
    // A log deleted while the program runs starts again with its header.
    CreatePilotLog();
    char line[512];
    FormatPilotLogLine(PilotLogRecord, line, sizeof(line));
    std::lock_guard<std::mutex> hold(PendingLock);
    PendingLines.emplace_back(line);
    // Kept for a disk that stays full a long time: the oldest go first.
    while (PendingLines.size() > PilotLogPendingMax)
        PendingLines.pop_front();
    std::string text;
    for (const std::string& pending : PendingLines)
        text += pending;
    if (!AppendWhole(text)) {
        WriteLogF("%s could not be written; flights kept for the next landing: %zu", PilotLogFileName,
                  PendingLines.size());
        return false;
    }
    PendingLines.clear();
    PilotLogRecord.callsign[0] = '\0';
    PilotLogRecord.aircraft[0] = '\0';
    PilotLogRecord.departure[0] = '\0';
    PilotLogRecord.destination[0] = '\0';
    return true;
}

size_t GetPendingPilotLogFlights()
{
    std::lock_guard<std::mutex> hold(PendingLock);
    return PendingLines.size();
}
