// The proxy's reading of the simulator's flight-plan file, through the plan
// reader the map program uses. The paths, times and the record belong to the
// read thread; the main thread touches them only while no read runs.
#include "proxy/sim_flight_plan.h"

#include "navdata/nav_file_io.h"
#include "navdata/plan_file.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "proxy/proxy_main.h"
#include "proxy/udp_server.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

std::atomic<bool> PlanReadBusy{false};
FlightPlanRecord ProxyFlightPlan;

namespace {

char PlanPath[512];
char LastPlanPath[512];
int64_t LastPlanWriteTime = 0;

// The fixes below InstallPath, read at the first waypoint that needs one and
// kept (a missing file too: it is not looked for again) until the server
// stops. Read thread only, or the main thread while no read runs.
NavTable<FixRecord> ProxyFixes;
bool ProxyFixesLoaded = false;

void LoadProxyFixes()
{
    ProxyFixesLoaded = true;
    char path[600];
    std::snprintf(path, sizeof(path), "%s/Navdata/fixdat.bin", InstallPath);
    char problem[160] = "";
    NavFileResult result = ReadNavFile(path, &ProxyFixes, problem, sizeof(problem));
    if (result == NavFileMissing)
        std::printf("\nFixes %s not found: waypoints without a position stay at 0/0", path);
    else if (result == NavFileDamaged)
        std::printf("\nFixes %s damaged: %s", path, problem);
}

bool FindProxyFix(const char* ident, double* lat, double* lon)
{
    if (!ProxyFixesLoaded)
        LoadProxyFixes();
    return FindFixInTable(ProxyFixes.records.data(), ProxyFixes.records.size(), ident, lat, lon);
}

// Last-write time in nanoseconds; false when the file is missing.
bool FileWriteTime(const char* path, int64_t* out)
{
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    *out = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

// The proxy forwards what the file says: a text plan's altitudes and its
// highest one as the cruising altitude (rather than what the plan before it
// left in the record), and no cruising altitude put into inner waypoints.
PlanReadOptions ProxyPlanOptions()
{
    PlanReadOptions options;
    options.textAltitudes = true;
    options.fillZeroAltitudes = false;
    options.findFix = FindProxyFix;
    return options;
}

}  // namespace

void StartFlightPlanRead(const char* path)
{
    bool idle = false;
    if (!PlanReadBusy.compare_exchange_strong(idle, true))
        return;
    // Written before the thread starts and read only by it.
    std::snprintf(PlanPath, sizeof(PlanPath), "%s", path);
    NormalizePath(PlanPath);
    if (_beginthread(FlightPlanReadThread, 0, nullptr) == 0)
        PlanReadBusy = false;
}

void FlightPlanReadThread(void*)
{
    if (LoadSimFlightPlan() && ProxyFlightPlan.present)
        PublishFlightPlan(ProxyFlightPlan);
    PlanReadBusy = false;
}

bool LoadSimFlightPlan()
{
    int64_t writeTime;
    if (PlanPath[0] == '\0' || !FileWriteTime(PlanPath, &writeTime))
        return false;
    if (std::strcmp(PlanPath, LastPlanPath) == 0 && writeTime == LastPlanWriteTime)
        return false;
    std::snprintf(LastPlanPath, sizeof(LastPlanPath), "%s", PlanPath);
    PlanReadResult result;
    bool read = ReadFlightPlanFile(PlanPath, &ProxyFlightPlan, ProxyPlanOptions(), &result);
    if (result.problem[0] != '\0')
        std::printf("\nFlight plan %s: %s", PlanPath, result.problem);
    LastPlanWriteTime = writeTime;
    return read;
}

void ResetSimFlightPlan()
{
    while (PlanReadBusy.load())
        Sleep(1);
    PlanPath[0] = '\0';
    LastPlanPath[0] = '\0';
    ProxyFlightPlan.present = 0;
    ProxyFlightPlan.count = 0;
}

void FreeProxyFixes()
{
    while (PlanReadBusy.load())
        Sleep(1);
    NavRecords<FixRecord>().swap(ProxyFixes.records);
    ProxyFixes.index = LongitudeIndex{};
    ProxyFixesLoaded = false;
}
