// The GPWS phase thresholds: the heights (feet) at which departure becomes
// en route and en route becomes approach, written into the map's settings
// file. Exchange line 2: the display language.
#include "helpers/helper_exchange.h"
#include "helpers/helper_form.h"

#include "platform/ini_sections.h"
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
    const char* section = MainSection;
    std::vector<FormField> fields(2);
    fields[0].label = "Departure to en route (ft)";
    fields[0].value = GetPrivateProfileIntA(section, "DepartureEnroute", 1000, ini);
    fields[1].label = "En route to approach (ft)";
    fields[1].value = GetPrivateProfileIntA(section, "EnrouteApproach", 1500, ini);
    for (FormField& field : fields) {
        field.min = 0;
        field.max = 60000;
        if (field.value < 0 || field.value > 60000)
            field.value = 0;
    }
    if (!AskForm("GPWS", "Heights above ground at which the alert phases change", &fields))
        return 0;
    WritePrivateProfileStringA(section, "DepartureEnroute", std::to_string(fields[0].value).c_str(), ini);
    WritePrivateProfileStringA(section, "EnrouteApproach", std::to_string(fields[1].value).c_str(), ini);
    return 0;
}
