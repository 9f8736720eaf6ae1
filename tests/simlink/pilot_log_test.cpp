// The pilot log: its header written once, one line per flight in UTC, the
// hours in two decimals, and a log that cannot be opened.
#include "simlink/pilot_log.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

const char Header[] = "Date;Callsign;Plane;Departure;Destination;Time Out GMT; Time In GMT; Hours\n";

class PilotLogTest : public ::testing::Test {
protected:
    TempFolder folder;
    WorkingFolder in{folder.Path()};

    void SetFlight(int64_t takeOff, int64_t landing)
    {
        PilotLogRecord = PilotLogFlight{};
        std::strcpy(PilotLogRecord.callsign, "D-EABC");
        std::strcpy(PilotLogRecord.aircraft, "c172p");
        std::strcpy(PilotLogRecord.departure, "EDDH");
        std::strcpy(PilotLogRecord.destination, "EDDF");
        PilotLogRecord.takeOffTime = takeOff;
        PilotLogRecord.landingTime = landing;
    }
    std::string Log() { return ReadFileText(folder / PilotLogFileName); }
};

TEST_F(PilotLogTest, CreatedWithItsHeaderOnceAndNeverRewritten)
{
    CreatePilotLog();
    EXPECT_EQ(Log(), Header);
    WriteFileText(folder / PilotLogFileName, "my own notes\n");
    CreatePilotLog();
    EXPECT_EQ(Log(), "my own notes\n");
}

TEST_F(PilotLogTest, AFlightOverMidnightKeepsItsTakeOffDate)
{
    CreatePilotLog();
    // 31 December 2021 23:50 UTC to 1 January 2022 00:40 UTC.
    SetFlight(1640994600, 1640997600);
    ASSERT_TRUE(AppendPilotLog());
    EXPECT_EQ(Log(), std::string(Header) + "31.12.2021;D-EABC;c172p;EDDH;EDDF;23:50;00:40;0.83\n");
    EXPECT_STREQ(PilotLogRecord.callsign, "");
    EXPECT_STREQ(PilotLogRecord.aircraft, "");
    EXPECT_STREQ(PilotLogRecord.departure, "");
    EXPECT_STREQ(PilotLogRecord.destination, "");
}

TEST_F(PilotLogTest, NinetyMinutesAreOneAndAHalfHours)
{
    SetFlight(1700000000, 1700000000 + 90 * 60);
    char line[256];
    FormatPilotLogLine(PilotLogRecord, line, sizeof(line));
    EXPECT_STREQ(std::strrchr(line, ';'), ";1.50\n");
}

TEST_F(PilotLogTest, FlightsAreAppendedBelowEachOther)
{
    CreatePilotLog();
    SetFlight(1700000000, 1700003600);
    ASSERT_TRUE(AppendPilotLog());
    SetFlight(1700010000, 1700013600);
    ASSERT_TRUE(AppendPilotLog());
    std::string log = Log();
    EXPECT_EQ(log.rfind(Header, 0), 0u);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
}

TEST_F(PilotLogTest, AMissingLogGetsItsHeaderBeforeTheFirstFlight)
{
    SetFlight(1700000000, 1700003600);
    ASSERT_TRUE(AppendPilotLog());
    EXPECT_EQ(Log().rfind(Header, 0), 0u);
}

TEST_F(PilotLogTest, ALogThatCannotBeOpenedKeepsTheFlight)
{
    std::filesystem::create_directory(folder / PilotLogFileName);
    SetFlight(1700000000, 1700003600);
    EXPECT_FALSE(AppendPilotLog());
    EXPECT_STREQ(PilotLogRecord.departure, "EDDH");
}

}  // namespace
