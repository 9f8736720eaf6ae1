// The navigation-data sources and the source rule.
#include "navdata/nav_source.h"
#include "navdata/simulators.h"
#include "navdata/text_lines.h"

#include "app/settings.h"

#include <cstdio>

const char* NavSourceFolder(NavSource source)
{
    switch (source) {
    case NavSourceXPL: return "XPL";
    case NavSourceFG: return "FG";
    case NavSourceMSFS: return "MSFS";
    case NavSourceFSX: return "FSX";
    case NavSourceP3D: return "P3D";
    case NavSourceFS9: return "FS9";
    case NavSourceAFS2: return "AFS2";
    case NavSourceOpenAIP: break;
    }
    return "OpenAIP";
}

int NavSourceDatabase(NavSource source)
{
    switch (source) {
    case NavSourceXPL: return 1;
    case NavSourceFS9: return 2;
    case NavSourceFSX: return 3;
    case NavSourceP3D: return 4;
    case NavSourceFG: return 5;
    case NavSourceMSFS: return 6;
    case NavSourceAFS2: return 7;
    case NavSourceOpenAIP: break;
    }
    return 0;
}

NavSource NavSourceOfDatabase(int navDatabase)
{
    switch (navDatabase) {
    case 1: return NavSourceXPL;
    case 2: return NavSourceFS9;
    case 3: return NavSourceFSX;
    case 4: return NavSourceP3D;
    case 5: return NavSourceFG;
    case 6: return NavSourceMSFS;
    case 7: return NavSourceAFS2;
    default: return NavSourceOpenAIP;
    }
}

static bool IsSourceSimulator(NavSource source, int simulator)
{
    switch (source) {
    case NavSourceXPL: return simulator == SimulatorXPlane;
    case NavSourceFG: return simulator == SimulatorFlightGear;
    case NavSourceMSFS: return simulator == SimulatorMsfs;
    case NavSourceFSX: return simulator == SimulatorFsx || simulator == SimulatorSimConnectConfig;
    case NavSourceP3D: return simulator == SimulatorPrepar3d;
    case NavSourceFS9: return simulator == SimulatorFs2004;
    case NavSourceAFS2: return simulator == SimulatorAerofly;
    case NavSourceOpenAIP: break;
    }
    return false;
}

bool IsNavSourceSelected(NavSource source)
{
    if (source == NavSourceOpenAIP)
        return false;
    int database = Settings.NavDatabase;
    if (database == NavSourceDatabase(source))
        return true;
    return database == 0 && IsSourceSimulator(source, Settings.UseSimulator.load());
}

NavSource PickNavSource(const NavSource* order, int count)
{
    for (int i = 0; i < count; ++i)
        if (IsNavSourceSelected(order[i]))
            return order[i];
    return NavSourceOpenAIP;
}

void FormatNavdataPath(char* out, int size, NavSource source, const char* file)
{
    FormatText(out, size, "%s/Navdata/%s/%s", DataFolder, NavSourceFolder(source), file);
}
