// The GPWS phase thresholds: the heights (feet) at which departure becomes
// en route and en route becomes approach, written into the map's settings
// file. Exchange line 2: the display language.
#include "helpers/helper_exchange.h"

#include "platform/profile.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<std::string> lines;
    if (!ReadExchangeLines(argv[1], &lines) || lines.size() < 2)
        return 1;
    const char* ini = "./Plovik.ini";
    const char* section = "Zorizeruverovu Plovik";
    char departure[16], approach[16];
    GetPrivateProfileStringA(section, "DepartureEnroute", "1000", departure, sizeof departure, ini);
    GetPrivateProfileStringA(section, "EnrouteApproach", "1500", approach, sizeof approach, ini);
    std::string answer;
    if (!AskUser({"--forms", "--title=GPWS", "--separator= ",
                  std::string("--text=Departure to en route (now ") + departure + " ft), en route to approach (now " +
                      approach + " ft)",
                  "--add-entry=Departure to en route (ft)", "--add-entry=En route to approach (ft)"},
                 &answer))
        return 0;
    std::vector<long> chosen = LineNumbers(answer, 2);
    if (chosen.size() < 2 || chosen[0] < 0 || chosen[1] < 0 || chosen[0] > 60000 || chosen[1] > 60000)
        return 0;
    WritePrivateProfileStringA(section, "DepartureEnroute", std::to_string(chosen[0]).c_str(), ini);
    WritePrivateProfileStringA(section, "EnrouteApproach", std::to_string(chosen[1]).c_str(), ini);
    return 0;
}
