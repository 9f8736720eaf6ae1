// The simulator key events read once from the keyboard mapping section.
#include "app/sim_key_events.h"

#include "platform/profile.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(SimKeyEvents, MissingKeysAreWrittenBackNamesAndNumbersAreTaken)
{
    TempFolder folder;
    std::string ini = folder / "Plovik.ini";
    ASSERT_TRUE(WriteFileText(ini, "[Plovik G500 Keyboard Mapping]\n"
                                   "KEY_GPS_CLEAR_BUTTON=KEY_GPS_MENU_BUTTON\n"
                                   "KEY_GPS_POWER_BUTTON=12345\n"
                                   "KEY_GPS_OBS_BUTTON=nonsense\n"));
    ReadSimKeyEvents(ini.c_str());
    EXPECT_STREQ(SimKeyEventMap[0].name, "KEY_GPS_CLEAR_BUTTON");
    EXPECT_EQ(SimKeyEventMap[0].currentNumber, 66618);
    EXPECT_EQ(SimKeyEventMap[1].currentNumber, 12345);
    EXPECT_EQ(SimKeyEventMap[3].currentNumber, 0);
    EXPECT_EQ(SimKeyEventMap[2].currentNumber, 66604);
    EXPECT_EQ(SimKeyEventMap[30].defaultNumber, 66608);
    char value[64];
    GetPrivateProfileStringA("Plovik G500 Keyboard Mapping", "KEY_G1000_PFD_SOFTKEY7", "", value, sizeof(value),
                             ini.c_str());
    EXPECT_STREQ(value, "KEY_G1000_PFD_SOFTKEY7");

    // A second call reads nothing again.
    ASSERT_TRUE(WriteFileText(ini, "[Plovik G500 Keyboard Mapping]\nKEY_GPS_POWER_BUTTON=1\n"));
    ReadSimKeyEvents(ini.c_str());
    EXPECT_EQ(SimKeyEventMap[1].currentNumber, 12345);
}
