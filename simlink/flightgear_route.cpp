// The FlightGear route files: a reader thread of its own opens and reads the
// route manager's file that FlightGear names, and the per-frame plan poll
// takes what it read into the shared FlightPlan. The path comes from the
// network, so the file may be anything (a pipe nobody writes, a device, a
// file that never ends, a folder on a server that hangs): neither the GUI
// thread nor the link thread ever opens or reads it.
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "navdata/nav_tables.h"
#include "platform/files.h"
#include "simlink/flightgear_formats.h"
#include "simlink/flightgear_link.h"
#include "simlink/link_drops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace {

// Whether the file at a path is there and when and how large it was
// written: FlightGear saves a changed route under the same name.
struct RouteFileStamp {
    bool exists = false;
    long long modifiedSec = 0;
    long modifiedNsec = 0;
    long long size = 0;
};

// Unchanged also when the file has gone: the plan read from it is kept.
bool IsRouteFileUnchanged(const RouteFileStamp& now, const RouteFileStamp& then)
{
    return !now.exists || (then.exists && now.size == then.size && now.modifiedSec == then.modifiedSec &&
                           now.modifiedNsec == then.modifiedNsec);
}

// One look at the file a path names: what it was, and its bytes when it
// could be read whole.
struct RouteFileRead {
    RouteFileStamp stamp;
    std::string text;
    LinkDrop drop = LinkDrop::None;
};

// The link thread asks, the reader thread reads, the GUI thread takes; all
// under lock but seen and seenStamp, which only the reader touches (one
// reader runs at a time).
struct RouteReaderState {
    std::mutex lock;
    std::condition_variable wake;
    char wanted[FlightGearRoutePathSize] = "";
    bool asked = false;    // a look at wanted is due
    bool running = false;  // the reader thread is there
    bool busy = false;     // it is looking at or reading a file
    bool ready = false;    // finished holds a read the poll has not taken
    RouteFileRead finished;
    char seen[FlightGearRoutePathSize] = "";
    RouteFileStamp seenStamp;
    bool seenAny = false;
};

// Never freed: a reader still inside a read when the program ends (a server
// that never answers) finds its state there.
RouteReaderState& Reader()
{
    static auto* state = new RouteReaderState;
    return *state;
}

// A reader with nothing to do for this long ends; the next line starts one.
constexpr auto ReaderIdleLimit = std::chrono::seconds(2);

RouteFileStamp StampOf(const struct stat& st)
{
    RouteFileStamp stamp;
    stamp.exists = true;
    stamp.modifiedSec = st.st_mtim.tv_sec;
    stamp.modifiedNsec = st.st_mtim.tv_nsec;
    stamp.size = st.st_size;
    return stamp;
}

// Reads at most FlightGearRouteMaxBytes of the open file into text; a file
// that goes on past them is too large whatever its size said.
LinkDrop ReadWhole(int fd, std::string* text)
{
    char buffer[16384];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return LinkDrop::FileMissing;
        if (n == 0)
            return LinkDrop::None;
        if (text->size() + static_cast<size_t>(n) > FlightGearRouteMaxBytes)
            return LinkDrop::FileTooLarge;
        text->append(buffer, static_cast<size_t>(n));
    }
}

// Whether the path or its file changed since the last look, and when it
// did, what the file holds. The path is opened without opening what it names
// (no device is woken, no pipe waited on), what was opened is checked, and
// only a regular file of a route's size is then read: through the
// descriptor already checked (/proc), so the path cannot name something
// else by then. A file that has gone keeps the plan read from it.
bool LookAgain(RouteReaderState& r, const char* path, RouteFileRead* read)
{
    bool samePath = r.seenAny && std::strcmp(path, r.seen) == 0;
    int probe = path[0] != '\0' ? open(path, O_PATH | O_CLOEXEC) : -1;
    struct stat st{};
    if (probe >= 0 && fstat(probe, &st) == 0)
        read->stamp = StampOf(st);
    if (samePath && IsRouteFileUnchanged(read->stamp, r.seenStamp)) {
        if (probe >= 0)
            close(probe);
        return false;
    }
    std::snprintf(r.seen, sizeof r.seen, "%s", path);
    r.seenStamp = read->stamp;
    r.seenAny = true;
    if (!read->stamp.exists)
        read->drop = LinkDrop::FileMissing;
    else if (!S_ISREG(st.st_mode))
        read->drop = LinkDrop::NotAFile;
    else if (st.st_size > static_cast<off_t>(FlightGearRouteMaxBytes))
        read->drop = LinkDrop::FileTooLarge;
    if (read->drop != LinkDrop::None) {
        if (probe >= 0)
            close(probe);
        return true;
    }
    char again[64];
    std::snprintf(again, sizeof again, "/proc/self/fd/%d", probe);
    int fd = open(again, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    close(probe);
    struct stat opened{};
    if (fd < 0 || fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino)
        read->drop = LinkDrop::FileMissing;
    else
        read->drop = ReadWhole(fd, &read->text);
    if (fd >= 0)
        close(fd);
    return true;
}

void RouteReaderThread()
{
    RouteReaderState& r = Reader();
    std::unique_lock<std::mutex> hold(r.lock);
    for (;;) {
        if (!r.wake.wait_for(hold, ReaderIdleLimit, [&r] { return r.asked; })) {
            r.running = false;
            return;
        }
        r.asked = false;
        r.busy = true;
        char path[FlightGearRoutePathSize];
        std::memcpy(path, r.wanted, sizeof path);
        hold.unlock();
        RouteFileRead read;
        bool fresh = LookAgain(r, path, &read);
        hold.lock();
        if (fresh) {
            r.finished = std::move(read);
            r.ready = true;
            // The frame polls only while no simulator plan is taken.
            SimPlanTaken = 0;
        }
        r.busy = false;
    }
}

// GUI thread only: what taking the last read gave.
bool LastLoadResult = false;

// Scans the bytes read into a copy of the plan and takes the copy only when
// the route is whole, so a file that cannot be used leaves the plan the
// user had untouched.
bool ParseFlightGearRoute(RouteFileRead& read)
{
    LinkDrop drop = read.drop;
    if (drop == LinkDrop::None) {
        std::string& text = read.text;
        FILE* file = text.empty() ? nullptr : fmemopen(text.data(), text.size(), "r");
        static FlightPlanRecord plan;
        CopyFlightPlan(&plan);
        drop = ScanFlightGearRoute(file, GetAirportCenter, &plan);
        if (file != nullptr)
            std::fclose(file);
        if (drop == LinkDrop::None) {
            {
                FlightPlanLock lock;
                std::memcpy(&FlightPlan, &plan, sizeof(FlightPlan));
            }
            RouteChanged = 1;
        }
    }
    if (drop != LinkDrop::None)
        LogDroppedInput("FlightGear route", drop);
    return drop == LinkDrop::None;
}

}  // namespace

void NoteFlightGearRouteFile(const char* path)
{
    RouteReaderState& r = Reader();
    std::lock_guard<std::mutex> hold(r.lock);
    // A read the frame has not taken yet: it polls again.
    if (r.ready)
        SimPlanTaken = 0;
    char normal[FlightGearRoutePathSize];
    std::snprintf(normal, sizeof normal, "%s", path);
    NormalizePath(normal);
    std::memcpy(r.wanted, normal, sizeof r.wanted);
    r.asked = true;
    if (r.running) {
        r.wake.notify_one();
        return;
    }
    try {
        std::thread(RouteReaderThread).detach();
        r.running = true;
    } catch (const std::system_error&) {
        r.asked = false;  // the next line asks again
    }
}

bool IsFlightGearRouteReadPending()
{
    RouteReaderState& r = Reader();
    std::lock_guard<std::mutex> hold(r.lock);
    return r.asked || r.busy;
}

void ResetFlightGearRoute()
{
    RouteReaderState& r = Reader();
    std::lock_guard<std::mutex> hold(r.lock);
    r.ready = false;
    r.finished = RouteFileRead{};
    LastLoadResult = false;
}

bool LoadFlightGearRoute()
{
    {
        FlightPlanLock lock;
        if (!FlightPlan.present)
            return false;
    }
    RouteFileRead read;
    {
        RouteReaderState& r = Reader();
        std::lock_guard<std::mutex> hold(r.lock);
        if (!r.ready)
            return LastLoadResult;
        read = std::move(r.finished);
        r.ready = false;
    }
    LastLoadResult = ParseFlightGearRoute(read);
    SimPlanTaken = LastLoadResult ? 1 : 0;
    return LastLoadResult;
}
