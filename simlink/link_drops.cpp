// One log line per source and kind of input the simulator links drop.
#include "simlink/link_drops.h"

#include "platform/log.h"

#include <cstring>
#include <mutex>

namespace {

struct LoggedDrop {
    const char* source;
    LinkDrop kind;
};

// A few links times a dozen kinds; past the bound a drop is logged every
// time rather than remembered.
constexpr int MaxLogged = 64;
std::mutex LoggedLock;
LoggedDrop Logged[MaxLogged];
int LoggedCount = 0;

bool RememberDrop(const char* source, LinkDrop kind)
{
    std::lock_guard<std::mutex> hold(LoggedLock);
    for (int i = 0; i < LoggedCount; ++i)
        if (Logged[i].kind == kind && std::strcmp(Logged[i].source, source) == 0)
            return false;
    if (LoggedCount < MaxLogged)
        Logged[LoggedCount++] = {source, kind};
    return true;
}

}  // namespace

const char* LinkDropText(LinkDrop kind)
{
    switch (kind) {
    case LinkDrop::None: return "nothing";
    case LinkDrop::ShortRecord: return "a datagram shorter than its record";
    case LinkDrop::LengthMismatch: return "a datagram whose length field is not its size";
    case LinkDrop::CountPastEnd: return "a datagram whose count runs past its end";
    case LinkDrop::NotANumber: return "a value that is not a finite number";
    case LinkDrop::Unterminated: return "a text without its terminator";
    case LinkDrop::SlotOutsideTable: return "a traffic slot outside the table";
    case LinkDrop::TooFewFields: return "a line with too few fields";
    case LinkDrop::FileMissing: return "a route file that cannot be opened";
    case LinkDrop::NotAFile: return "a route path that is not a file";
    case LinkDrop::FileTooLarge: return "a route file too large for a route";
    case LinkDrop::Incomplete: return "a route file that ends inside its route";
    case LinkDrop::UnknownDestination: return "a route whose destination airport is unknown";
    case LinkDrop::OffTheEarth: return "a position that is not on the earth";
    case LinkDrop::UnknownProcedure: return "a runway or procedure name the procedure database lacks";
    case LinkDrop::PlanTooLong: return "plan points past the flight plan's last waypoint";
    }
    return "an unknown input";
}

void LogDroppedInput(const char* source, LinkDrop kind)
{
    // Without DebugMode nothing is written, so nothing is remembered either.
    if (!source || kind == LinkDrop::None || !IsDebugMode() || !RememberDrop(source, kind))
        return;
    WriteLogF("%s: dropped %s", source, LinkDropText(kind));
}

void ResetDroppedInputLog()
{
    std::lock_guard<std::mutex> hold(LoggedLock);
    LoggedCount = 0;
}
