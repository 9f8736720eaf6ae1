// The status block's texts and font size, and the aircraft symbol's slot.
#include "app/settings.h"
#include "display/frame_limiter.h"
#include "display/instrument_layers.h"
#include "display/map_view.h"
#include "display/status_layer.h"
#include "display/status_text.h"
#include "simlink/msfs_link.h"
#include "simlink/sim_link.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(StatusLayer, FontSizeFromTheStatelineKeyCappedAtTwenty)
{
    Settings.Stateline = 10;
    Settings.Position = 0;
    EXPECT_EQ(ComputeStatusFontSize(480), 20);  // 21 capped
    EXPECT_EQ(ComputeStatusFontSize(1000), 10);
    EXPECT_EQ(ComputeStatusFontSize(960), 10);  // 10.4 rounds down
    EXPECT_EQ(ComputeStatusFontSize(0), 20);    // a window not measured yet
    Settings.Position = 1;
    EXPECT_EQ(ComputeStatusFontSize(1000), 9);
    Settings.Position = 0;
}

TEST(StatusLayer, WaitingLineNamesThePositionAndTheDatabase)
{
    Settings.UseSimulator = SimulatorXPlane;
    Settings.NavDatabase = 0;
    MapCenter.latitude = 53.636666667;
    MapCenter.longitude = 10.001;
    char text[256];
    FormatWaitingLine(text, sizeof text);
    EXPECT_NE(std::string(text).find(" | Pos:  10\xB0  0.1' E  53\xB0 38.2' N / Nav DB: X-Plane"), std::string::npos)
        << text;
    Settings.NavDatabase = 8;
    MapCenter.longitude = -0.5;
    FormatWaitingLine(text, sizeof text);
    EXPECT_NE(std::string(text).find("  0\xB0 30.0' W"), std::string::npos) << text;
    EXPECT_NE(std::string(text).find("Nav DB: OpenAIP"), std::string::npos) << text;
    Settings.UseSimulator = 9;
    FormatWaitingLine(text, sizeof text);
    EXPECT_STREQ(text, "");
    Settings.UseSimulator = SimulatorMsfs;
    Settings.NavDatabase = 6;
}

TEST(StatusLayer, MsfsWithoutProxyKeepAliveShowsOnlyTheErrorText)
{
    Settings.UseSimulator = SimulatorMsfs;
    ProxyAlive = 0;
    char text[256];
    FormatWaitingLine(text, sizeof text);
    EXPECT_EQ(std::string(text).find("Pos:"), std::string::npos);
    ProxyAlive = 1;
    FormatWaitingLine(text, sizeof text);
    EXPECT_NE(std::string(text).find("Nav DB: MSFS"), std::string::npos);
    ProxyAlive = 0;
}

TEST(StatusLayer, PositionIsAppendedOnceAfterTheFrameRate)
{
    std::snprintf(StatusLines[0].text, sizeof StatusLines[0].text, "GS: 120 kn");
    Settings.ShowFPS = 1;
    Settings.Position = 1;
    MapCenter.latitude = 1.5;
    MapCenter.longitude = 2.25;
    char text[256];
    FormatStatusLine1ForDisplay(text, sizeof text);
    std::string s = text;
    EXPECT_EQ(s.rfind("FPS: ", 0), 0u) << s;
    EXPECT_NE(s.find(" / GS: 120 kn : Pos: "), std::string::npos) << s;
    EXPECT_EQ(s.find("Pos:"), s.rfind("Pos:"));
    Settings.ShowFPS = 0;
    Settings.Position = 0;
    FormatStatusLine1ForDisplay(text, sizeof text);
    EXPECT_STREQ(text, "GS: 120 kn");
}

TEST(InstrumentLayers, AircraftIconPicksItsSlotAndOthersTheStandardOne)
{
    EXPECT_EQ(AircraftSpriteSlot(0), 80);
    EXPECT_EQ(AircraftSpriteSlot(1), 81);
    EXPECT_EQ(AircraftSpriteSlot(5), 85);
    EXPECT_EQ(AircraftSpriteSlot(6), 80);
    EXPECT_EQ(AircraftSpriteSlot(-1), 80);
}

}  // namespace
