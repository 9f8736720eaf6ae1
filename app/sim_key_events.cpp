// The simulator key events of the G500 keyboard mapping.
#include "app/sim_key_events.h"

#include "platform/ini_sections.h"
#include "platform/profile.h"

#include <cstdlib>
#include <cstring>

SimKeyEvent SimKeyEventMap[SimKeyEventCount] = {
    {"KEY_GPS_CLEAR_BUTTON", 66619, 66619},     {"KEY_GPS_POWER_BUTTON", 66602, 66602},
    {"KEY_GPS_NEAREST_BUTTON", 66604, 66604},   {"KEY_GPS_OBS_BUTTON", 66605, 66605},
    {"KEY_GPS_MSG_BUTTON", 66606, 66606},       {"KEY_GPS_FLIGHTPLAN_BUTTON", 66609, 66609},
    {"KEY_GPS_PROCEDURE_BUTTON", 66612, 66612}, {"KEY_GPS_ZOOMIN_BUTTON", 66615, 66615},
    {"KEY_GPS_ZOOMOUT_BUTTON", 66616, 66616},   {"KEY_GPS_DIRECTTO_BUTTON", 66617, 66617},
    {"KEY_GPS_MENU_BUTTON", 66618, 66618},      {"KEY_GPS_VNAV_BUTTON", 66610, 66610},
    {"KEY_GPS_GROUP_KNOB_INC", 66625, 66625},   {"KEY_GPS_ENTER_BUTTON", 66623, 66623},
    {"KEY_GPS_CURSOR_BUTTON", 66624, 66624},    {"KEY_GPS_SETUP_BUTTON", 66613, 66613},
    {"KEY_GPS_GROUP_KNOB_DEC", 66626, 66626},   {"KEY_G1000_PFD_SOFTKEY1", 66761, 66761},
    {"KEY_GPS_BUTTON1", 66629, 66629},          {"KEY_G1000_PFD_SOFTKEY2", 66762, 66762},
    {"KEY_GPS_BUTTON2", 66630, 66630},          {"KEY_G1000_PFD_SOFTKEY3", 66763, 66763},
    {"KEY_GPS_BUTTON3", 66631, 66631},          {"KEY_G1000_PFD_SOFTKEY4", 66764, 66764},
    {"KEY_GPS_BUTTON4", 66632, 66632},          {"KEY_G1000_PFD_SOFTKEY5", 66765, 66765},
    {"KEY_GPS_BUTTON5", 66633, 66633},          {"KEY_G1000_PFD_SOFTKEY6", 66766, 66766},
    {"KEY_GPS_MSG_BUTTON_DOWN", 66607, 66607},  {"KEY_G1000_PFD_SOFTKEY7", 66767, 66767},
    {"KEY_GPS_MSG_BUTTON_UP", 66608, 66608},
};

static bool EventsRead = false;

void ReadSimKeyEvents(const char* iniPath)
{
    if (EventsRead || !iniPath)
        return;
    EventsRead = true;
    for (SimKeyEvent& e : SimKeyEventMap)
        e.currentNumber = e.defaultNumber;
    for (SimKeyEvent& e : SimKeyEventMap) {
        char value[512];
        GetPrivateProfileStringA(KeyboardMappingSection, e.name, "None", value, sizeof(value), iniPath);
        if (std::strcmp(value, "None") == 0) {
            WritePrivateProfileStringA(KeyboardMappingSection, e.name, e.name, iniPath);
            continue;
        }
        int number = std::atoi(value);
        for (const SimKeyEvent& named : SimKeyEventMap) {
            if (std::strcmp(named.name, value) == 0) {
                number = named.defaultNumber;
                break;
            }
        }
        e.currentNumber = number;
    }
}

void ResetSimKeyEvents()
{
    EventsRead = false;
}
