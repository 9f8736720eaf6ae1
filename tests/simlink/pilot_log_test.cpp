// The pilot log: its header written once, one line per flight in UTC, the
// hours in two decimals, and a log that cannot be opened.
#include "simlink/pilot_log.h"

#include "app/settings.h"
#include "helpers/CSVFileView/csv_fields.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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

// The fields of a line as the pilot-log viewer splits them, without its line end.
std::vector<std::string> ViewerFields(std::string line)
{
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    return SplitCsvFields(line);
}

TEST_F(PilotLogTest, SeparatorsQuotesAndLineEndsInTextsKeepTheColumns)
{
    CreatePilotLog();
    SetFlight(1700000000, 1700003600);
    std::strcpy(PilotLogRecord.callsign, "D-E;AB\"C");
    std::strcpy(PilotLogRecord.aircraft, "Cessna 172, G1000;\n;;;\r\"x\"");
    std::strcpy(PilotLogRecord.departure, ";;;;;;;;;");
    ASSERT_TRUE(AppendPilotLog());
    std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
    std::string line = log.substr(sizeof(Header) - 1);
    std::vector<std::string> fields = ViewerFields(line);
    ASSERT_EQ(fields.size(), 8u) << line;
    EXPECT_EQ(fields[1], "D-E;AB\"C");
    EXPECT_EQ(fields[2], "Cessna 172, G1000; ;;; \"x\"");
    EXPECT_EQ(fields[3], ";;;;;;;;;");
    EXPECT_EQ(fields[4], "EDDF");
    EXPECT_EQ(ViewerFields(Header).size(), 8u);
    // Texts without a separator stand as they always did.
    SetFlight(1700000000, 1700003600);
    char plain[256];
    FormatPilotLogLine(PilotLogRecord, plain, sizeof plain);
    EXPECT_STREQ(plain, "14.11.2023;D-EABC;c172p;EDDH;EDDF;22:13;23:13;1.00\n");
}

TEST_F(PilotLogTest, ALogThatCannotBeOpenedKeepsTheFlightForTheNextLanding)
{
    std::string log = folder / PilotLogFileName;
    std::filesystem::create_directory(log);
    SetFlight(1700000000, 1700003600);
    EXPECT_FALSE(AppendPilotLog());
    EXPECT_STREQ(PilotLogRecord.departure, "EDDH");
    EXPECT_EQ(GetPendingPilotLogFlights(), 1u);
    // The link starts the next flight; the first one waits.
    SetFlight(1700010000, 1700013600);
    std::strcpy(PilotLogRecord.departure, "EDDF");
    std::strcpy(PilotLogRecord.destination, "EDDM");
    EXPECT_FALSE(AppendPilotLog());
    EXPECT_EQ(GetPendingPilotLogFlights(), 2u);
    std::filesystem::remove(log);
    SetFlight(1700020000, 1700023600);
    ASSERT_TRUE(AppendPilotLog());
    EXPECT_EQ(GetPendingPilotLogFlights(), 0u);
    std::string text = Log();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_NE(text.find(";EDDH;EDDF;22:13;23:13;"), std::string::npos) << text;
    EXPECT_NE(text.find(";EDDF;EDDM;"), std::string::npos) << text;
    EXPECT_LT(text.find(";EDDH;EDDF;22:13"), text.find(";EDDF;EDDM;"));  // in the order they landed
}

// A full disk: nothing of the flight stays in the file, the log says so,
// and the flight is written at the next landing.
TEST_F(PilotLogTest, AFullDiskKeepsTheFlightAndSaysSo)
{
    std::string log = folder / PilotLogFileName;
    std::filesystem::create_symlink("/dev/full", log);
    Settings.DebugMode = 1;
    SetFlight(1700000000, 1700003600);
    EXPECT_FALSE(AppendPilotLog());
    Settings.DebugMode = 0;
    EXPECT_NE(ReadFileText(folder / "Tervalingo.log")
                  .find("Pilotlog.csv could not be written; flights kept for the next landing: 1"),
              std::string::npos);
    EXPECT_STREQ(PilotLogRecord.departure, "EDDH");
    EXPECT_EQ(GetPendingPilotLogFlights(), 1u);
    std::filesystem::remove(log);
    SetFlight(1700010000, 1700013600);
    ASSERT_TRUE(AppendPilotLog());
    EXPECT_EQ(GetPendingPilotLogFlights(), 0u);
    std::string text = Log();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_EQ(text.rfind(Header, 0), 0u);
}

}  // namespace
