// The navigation-data sources (one folder per simulator below Navdata) and
// the rule that picks the one in use from NavDatabase and UseSimulator.
#pragma once

enum NavSource {
    NavSourceXPL,
    NavSourceFG,
    NavSourceMSFS,
    NavSourceFSX,
    NavSourceP3D,
    NavSourceFS9,
    NavSourceAFS2,
    NavSourceOpenAIP,
};

// "XPL", "FG", "MSFS", "FSX", "P3D", "FS9", "AFS2", "OpenAIP".
const char* NavSourceFolder(NavSource source);
// The NavDatabase value of a source (XPL 1 ... AFS2 7, OpenAIP 0).
int NavSourceDatabase(NavSource source);
// The source of a NavDatabase value: 1 XPL, 2 FS9, 3 FSX, 4 P3D, 5 FG,
// 6 MSFS, 7 AFS2, anything else OpenAIP.
NavSource NavSourceOfDatabase(int navDatabase);
// True when NavDatabase names the source, or NavDatabase is 0 and
// UseSimulator is the source's simulator.
bool IsNavSourceSelected(NavSource source);
// The first of `order` (count entries) that IsNavSourceSelected picks;
// OpenAIP when none.
NavSource PickNavSource(const NavSource* order, int count);

// "<root>/Navdata/<folder>/<file>" into out.
void FormatNavdataPath(char* out, int size, NavSource source, const char* file);
