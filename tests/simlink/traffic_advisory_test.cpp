// The traffic pass against scenarios built here: targets converging head-on,
// diverging, above, on the ground and stale; the filters of each mode, the
// closure rates, the alert sounds and their pacing, the extrapolation
// between reports and the list the map reads.
#include "simlink/traffic_advisory.h"

#include "app/settings.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "simlink/sound.h"
#include "simlink/traffic_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double Lat0 = 53.6, Lon0 = 10.0;
constexpr double OwnAltitude = 5000;
constexpr double DegPerRad = 57.29577951;

std::vector<int32_t> Played;
int32_t RecordSound(int32_t n)
{
    Played.push_back(n);
    return 1;
}
int32_t RefuseSound(int32_t n)
{
    Played.push_back(n);
    return 0;
}

// A target range nm from the centre on a true bearing, with its altitude,
// ground speed, vertical speed and heading.
TrafficValues At(double rangeNm, double bearingDeg, double altitude = OwnAltitude, double groundSpeed = 200,
                 double verticalSpeed = 0, double headingDeg = 0)
{
    double b = bearingDeg / DegPerRad;
    double lat = Lat0 + rangeNm * 1852 * std::cos(b) / 111110;
    double lon = Lon0 + rangeNm * 1852 * std::sin(b) / (111110 * std::cos(lat * 0.017453293));
    return TrafficValues{lat, lon, altitude, verticalSpeed, 0, headingDeg / DegPerRad, headingDeg, groundSpeed};
}

class TrafficAdvisoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTrafficTable();
        ResetTrafficAdvisory();
        Played.clear();
        TileMapFlag = 1;
        MapCenter.latitude = Lat0;
        MapCenter.longitude = Lon0;
        LatLonToMapPixel(&CentreMapX, &CentreMapY, Lon0, Lat0);
        FollowedTargetIndex = -1;
        // A second aircraft far away keeps the table above one used slot.
        Report(9000, At(35, 180, OwnAltitude + 2000, 100), 0);
    }

    TrafficPassInputs Inputs(double t)
    {
        TrafficPassInputs in;
        in.now = t;
        in.simClock = t;
        in.ownAltitude = OwnAltitude;
        in.centreLatitude = Lat0;
        in.centreLongitude = Lon0;
        in.playSound = RecordSound;
        return in;
    }

    // The pass at time t; the drawn target of id (class 99 when not drawn).
    uint32_t PassAndClassOf(double t, const char* callsign, TrafficPassInputs* in = nullptr)
    {
        TrafficPassInputs own = in ? *in : Inputs(t);
        own.now = own.simClock = t;
        RunTrafficPass(own);
        const TrafficTarget* target = Find(callsign);
        return target ? target->trafficClass : 99;
    }

    static void Report(uint32_t id, const TrafficValues& v, double t, const char* callsign = nullptr)
    {
        std::string name = callsign ? callsign : "T" + std::to_string(id);
        ASSERT_GE(MergeTrafficReport(id, name.c_str(), v, t, 1), 0);
    }

    static const TrafficTarget* Find(const char* callsign)
    {
        for (int i = 0; i < TrafficTargetList.count.load(); ++i)
            if (std::strcmp(TrafficTargetList.targets[i].callsign, callsign) == 0)
                return &TrafficTargetList.targets[i];
        return nullptr;
    }
};

// Head-on at the own altitude: no rate yet (3), closing with 25 < tau <= 40
// (6, sound 5), then tau <= 25 (11, the climb sound), then the threat turns
// away: the alert lamp goes out and the chime plays once, 3 s after the
// last alert sound.
TEST_F(TrafficAdvisoryTest, HeadOnTargetClimbsThroughTheClassesAlertsAndChimesWhenClear)
{
    Report(15, At(8.0, 0), 100);
    EXPECT_EQ(PassAndClassOf(100, "T15"), 3u);
    EXPECT_EQ(TrafficAlertActive, 0);
    EXPECT_TRUE(Played.empty());

    Report(15, At(7.5, 0), 101.25);  // rate (-0.5 / 1.25 + 0) / 2 = -0.2 nm/s: tau 37.5 s
    EXPECT_EQ(PassAndClassOf(101.25, "T15"), 6u);
    EXPECT_EQ(TrafficAlertActive, 1);
    EXPECT_EQ(Played, std::vector<int32_t>{SoundTrafficAlert});

    Report(15, At(7.0, 0), 102.5);  // rate -0.3: tau 23 s
    EXPECT_EQ(PassAndClassOf(102.5, "T15"), 11u);
    EXPECT_EQ(Played.size(), 1u) << "within 3 s of the last alert sound";

    EXPECT_EQ(PassAndClassOf(104.5, "T15"), 11u);
    ASSERT_EQ(Played.size(), 2u);
    EXPECT_EQ(Played.back(), SoundTrafficClimb);

    // Turned away: range grows, the rate becomes positive, no alert.
    Report(15, At(7.4, 0), 105);
    Report(15, At(8.4, 0), 106);
    EXPECT_EQ(PassAndClassOf(106, "T15"), 3u);
    EXPECT_EQ(TrafficAlertActive, 0);
    EXPECT_EQ(Played.size(), 2u) << "the chime waits 3 s after the last alert sound";
    EXPECT_EQ(PassAndClassOf(107.6, "T15"), 3u);
    ASSERT_EQ(Played.size(), 3u);
    EXPECT_EQ(Played.back(), SoundConflictEnded);
    EXPECT_EQ(PassAndClassOf(111, "T15"), 3u);
    EXPECT_EQ(Played.size(), 3u) << "the chime plays once";
}

TEST_F(TrafficAdvisoryTest, DivergingTargetNeverAlerts)
{
    for (int i = 0; i < 8; ++i) {
        Report(2, At(3.0 + 0.5 * i, 90), 100 + i);
        EXPECT_EQ(PassAndClassOf(100 + i, "T2"), 3u) << i;
    }
    EXPECT_EQ(TrafficAlertActive, 0);
    EXPECT_TRUE(Played.empty());
}

TEST_F(TrafficAdvisoryTest, TargetWellAboveIsClassedByItsTrendOnly)
{
    // 1500 ft above and beyond 6 nm: 0 level, 1 climbing, 2 descending, even closing fast.
    const double vs[] = {0, 5, -5};
    for (int k = 0; k < 3; ++k) {
        uint32_t id = 10 + k;
        std::string name = "T" + std::to_string(id);
        Report(id, At(10.0, 120 * k, OwnAltitude + 1500, 300, vs[k]), 100);
        PassAndClassOf(100, name.c_str());
        Report(id, At(8.0, 120 * k, OwnAltitude + 1500, 300, vs[k]), 101);
        EXPECT_EQ(PassAndClassOf(101, name.c_str()), static_cast<uint32_t>(k)) << k;
    }
    EXPECT_EQ(TrafficAlertActive, 0);
    EXPECT_TRUE(Played.empty());
}

TEST_F(TrafficAdvisoryTest, CloseTargetAboveLevelOrClimbingTellsUsToDescend)
{
    Report(3, At(3.0, 45, OwnAltitude + 600, 200, 0), 100);
    PassAndClassOf(100, "T3");
    Report(3, At(2.0, 45, OwnAltitude + 600, 200, 0), 101);
    EXPECT_EQ(PassAndClassOf(101, "T3"), 10u);
    EXPECT_EQ(Played, std::vector<int32_t>{SoundTrafficDescend});
    EXPECT_EQ(TrafficAlertActive, 1);
}

TEST_F(TrafficAdvisoryTest, CloseTargetAboveButClimbingAwayIsNotAThreat)
{
    // Within the tau limit but below us climbing: neither 10 nor 11.
    Report(4, At(3.0, 45, OwnAltitude - 600, 200, 8), 100);
    PassAndClassOf(100, "T4");
    Report(4, At(2.0, 45, OwnAltitude - 600, 200, 8), 101);
    EXPECT_EQ(PassAndClassOf(101, "T4"), 0u);
    EXPECT_TRUE(Played.empty());
}

TEST_F(TrafficAdvisoryTest, TargetOnTheGroundIsNotAssessed)
{
    // 100 ft is 30 m, the ground below us: it is on the ground, converging or not.
    TrafficPassInputs in = Inputs(100);
    in.ownAltitude = 1000;
    in.groundAltitude = 30;
    Report(5, At(3.0, 10, 100, 60), 100);
    PassAndClassOf(100, "T5", &in);
    Report(5, At(2.0, 10, 100, 60), 101);
    EXPECT_EQ(PassAndClassOf(101, "T5", &in), 0u);
    EXPECT_TRUE(Played.empty());
    in.multiplayer = true;
    EXPECT_EQ(PassAndClassOf(102, "T5", &in), TrafficClassNone);
}

TEST_F(TrafficAdvisoryTest, StaleTargetMovesOnByItsLastStepAndAtMostOneStepAFrame)
{
    // Seven reports a second apart, 0.01 degree east each: the mean interval is 1 s.
    TrafficValues v = At(5.0, 0);
    for (int i = 0; i < 7; ++i) {
        Report(6, v, 100 + i);
        v.longitude += 0.01;
    }
    const TrafficEntry& e = TrafficTable[FindTrafficId(6)];
    double reported = e.values.longitude;
    EXPECT_EQ(PassAndClassOf(106, "T6"), 3u);
    double start = e.displayedLongitude;
    double step = e.values.longitude - e.previousLongitude;
    ASSERT_GT(step, 0.0);
    PassAndClassOf(106.5, "T6");
    EXPECT_NEAR(e.displayedLongitude - start, 0.5 * step, 1e-9);
    // No report for a minute, then one late frame: one step, not sixty.
    PassAndClassOf(166.5, "T6");
    EXPECT_NEAR(e.displayedLongitude - start, 1.5 * step, 1e-9);
    const TrafficTarget* t = Find("T6");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->longitude, reported) << "the list keeps the reported position";
    EXPECT_GT(t->x, 0) << "drawn at the extrapolated position, east of the centre";
}

TEST_F(TrafficAdvisoryTest, FewReportsPauseAndModeChangeShowTheReportedPosition)
{
    TrafficValues v = At(5.0, 0);
    for (int i = 0; i < 7; ++i) {
        Report(7, v, 100 + i);
        v.longitude += 0.01;
    }
    TrafficEntry& e = TrafficTable[FindTrafficId(7)];
    PassAndClassOf(106, "T7");
    PassAndClassOf(106.5, "T7");
    ASSERT_NE(e.displayedLongitude, e.values.longitude);
    TrafficPassInputs in = Inputs(107);
    in.paused = true;
    PassAndClassOf(107, "T7", &in);
    EXPECT_EQ(e.displayedLongitude, e.values.longitude);
    PassAndClassOf(107.5, "T7");
    in = Inputs(108);
    in.trafficModeChanged = true;
    PassAndClassOf(108, "T7", &in);
    EXPECT_EQ(e.displayedLongitude, e.values.longitude);

    Report(8, At(4.0, 90), 100);
    Report(8, At(4.0, 91), 101);
    PassAndClassOf(101, "T8");
    PassAndClassOf(101.5, "T8");
    const TrafficEntry& few = TrafficTable[FindTrafficId(8)];
    EXPECT_EQ(few.displayedLongitude, few.values.longitude) << "fewer than six reports";
}

TEST_F(TrafficAdvisoryTest, OneUsedSlotDrawsNothing)
{
    ResetTrafficTable();
    Report(2, At(5.0, 0), 100);
    RunTrafficPass(Inputs(100));
    EXPECT_EQ(TrafficTargetList.count.load(), 0);
    Report(3, At(6.0, 0), 100);
    RunTrafficPass(Inputs(101));
    EXPECT_EQ(TrafficTargetList.count.load(), 2);
}

TEST_F(TrafficAdvisoryTest, SimulatorsUserObjectIsShownOnlyWhileFollowing)
{
    Report(1, At(5.0, 0), 100);
    EXPECT_EQ(PassAndClassOf(100, "T1"), 99u);
    TrafficPassInputs in = Inputs(101);
    in.followMode = 1;
    EXPECT_NE(PassAndClassOf(101, "T1", &in), 99u);
}

TEST_F(TrafficAdvisoryTest, AircraftWithinTenMetresIsOurOwnAndNeverDrawnAgain)
{
    Report(20, At(0.004, 0), 100);  // about 7 m
    EXPECT_EQ(PassAndClassOf(100, "T20"), 99u);
    Report(20, At(5.0, 0), 101);
    EXPECT_EQ(PassAndClassOf(101, "T20"), 99u);
    Report(21, At(5.0, 90), 101);
    EXPECT_NE(PassAndClassOf(102, "T21"), 99u);
}

// Our own aircraft is the one within 10 m of the aircraft, not of the map
// centre: following a target puts the centre on it, and a pan anywhere.
TEST_F(TrafficAdvisoryTest, AFollowedTargetAtTheCentreIsNotTakenForOurOwn)
{
    TrafficValues far = At(5.0, 90);
    Report(30, far, 100);
    TrafficPassInputs in = Inputs(100);
    in.ownLatitude = Lat0;
    in.ownLongitude = Lon0;
    in.centreLatitude = far.latitude;  // the map centre on the target
    in.centreLongitude = far.longitude;
    in.panning = true;
    in.followMode = 1;
    EXPECT_NE(PassAndClassOf(100, "T30", &in), 99u);
    EXPECT_NE(PassAndClassOf(101, "T30", &in), 99u) << "still there in the next pass";
    // The aircraft's own entry beside the aircraft is ours, wherever the centre is.
    Report(31, At(0.004, 0), 101);
    EXPECT_EQ(PassAndClassOf(102, "T31", &in), 99u);
}

TEST_F(TrafficAdvisoryTest, TrafficModeFiltersAltitudeAndSpeedMultiplayerDoesNot)
{
    Report(30, At(5.0, 0, OwnAltitude + 2701, 200), 100);
    Report(31, At(5.0, 90, OwnAltitude, 49), 100);
    Report(32, At(5.0, 180, OwnAltitude + 2699, 50), 100);
    RunTrafficPass(Inputs(100));
    EXPECT_EQ(Find("T30"), nullptr);
    EXPECT_EQ(Find("T31"), nullptr);
    ASSERT_NE(Find("T32"), nullptr);
    EXPECT_EQ(Find("T32")->trafficClass, 3u);

    TrafficPassInputs in = Inputs(101);
    in.multiplayer = true;
    RunTrafficPass(in);
    ASSERT_NE(Find("T30"), nullptr);
    ASSERT_NE(Find("T31"), nullptr);
    EXPECT_EQ(Find("T30")->trafficClass, TrafficClassNone);
    EXPECT_EQ(Find("T31")->trafficClass, TrafficClassNone);
    EXPECT_EQ(Find("T32")->trafficClass, TrafficClassNone) << "multiplayer shows alerting classes only";
}

TEST_F(TrafficAdvisoryTest, RangeIsFortyMilesOrTheMultiplayerSetting)
{
    Report(40, At(39.9, 0), 100);
    Report(41, At(40.1, 0), 100);
    RunTrafficPass(Inputs(100));
    EXPECT_NE(Find("T40"), nullptr);
    EXPECT_EQ(Find("T41"), nullptr);
    EXPECT_EQ(Find("T40")->trafficClass, TrafficClassNone) << "beyond 30 nm: no class";
    TrafficPassInputs in = Inputs(101);
    in.multiplayer = true;
    in.multiplayerRangeNm = 20;
    RunTrafficPass(in);
    EXPECT_EQ(Find("T40"), nullptr);
    EXPECT_EQ(Find("T9000"), nullptr);
}

TEST_F(TrafficAdvisoryTest, AlertsRepeatEveryThreeSecondsAndNeverOnGroundOrWhilePanning)
{
    Report(50, At(8.0, 0), 100);
    PassAndClassOf(100, "T50");
    Report(50, At(7.5, 0), 101.25);
    ASSERT_EQ(PassAndClassOf(101.25, "T50"), 6u);
    ASSERT_EQ(Played.size(), 1u);
    PassAndClassOf(104.2, "T50");
    EXPECT_EQ(Played.size(), 1u);
    PassAndClassOf(104.3, "T50");
    EXPECT_EQ(Played.size(), 2u);

    TrafficPassInputs ground = Inputs(110);
    ground.onGround = true;
    EXPECT_EQ(PassAndClassOf(110, "T50", &ground), 6u);
    EXPECT_EQ(Played.size(), 2u);
    TrafficPassInputs panning = Inputs(120);
    panning.panning = true;
    EXPECT_EQ(PassAndClassOf(120, "T50", &panning), 0u) << "not assessed while panning";
    EXPECT_EQ(Played.size(), 2u);
}

TEST_F(TrafficAdvisoryTest, RefusedSoundIsTriedAgainNextFrame)
{
    Report(51, At(8.0, 0), 100);
    PassAndClassOf(100, "T51");
    Report(51, At(7.5, 0), 101.25);
    TrafficPassInputs in = Inputs(101.25);
    in.playSound = RefuseSound;
    PassAndClassOf(101.25, "T51", &in);
    PassAndClassOf(101.3, "T51", &in);
    EXPECT_EQ(Played, (std::vector<int32_t>{SoundTrafficAlert, SoundTrafficAlert}));
}

TEST_F(TrafficAdvisoryTest, FollowOrPanningChangeStartsTheClosuresAfresh)
{
    Report(60, At(8.0, 0), 100);
    PassAndClassOf(100, "T60");
    Report(60, At(7.5, 0), 101.25);
    ASSERT_EQ(PassAndClassOf(101.25, "T60"), 6u);
    TrafficPassInputs in = Inputs(102);
    in.followMode = 1;
    in.followedIndex = 5;
    EXPECT_EQ(PassAndClassOf(102, "T60", &in), 3u) << "the closure restarted: no rate";
}

TEST_F(TrafficAdvisoryTest, ShownHeadingTurnsAcrossNorthTheShortWay)
{
    // Reported headings 6.2 then 0.1 rad (through north), and 0.1 then 6.2.
    const double from[] = {6.2, 0.1};
    const double to[] = {0.1, 6.2};
    for (int k = 0; k < 2; ++k) {
        uint32_t id = 70 + k;
        std::string name = "T" + std::to_string(id);
        TrafficValues v = At(5.0, 90 * k);
        for (int i = 0; i < 7; ++i) {
            v.headingRad = i < 6 ? from[k] : to[k];
            Report(id, v, 100 + i);
        }
        PassAndClassOf(106, name.c_str());
        PassAndClassOf(106.5, name.c_str());
        const TrafficTarget* t = Find(name.c_str());
        ASSERT_NE(t, nullptr);
        // Half an interval after the report the turn goes on by half its step,
        // about 0.09 rad further the short way, not 3 rad back round.
        double step = k == 0 ? 0.18318531 : -0.18318531;
        EXPECT_NEAR(t->heading, to[k] + step * 0.5, 1e-6) << k;
    }
}

TEST_F(TrafficAdvisoryTest, DistancesNearThePoleStaySmoothAcrossIt)
{
    TrafficPassInputs in = Inputs(100);
    in.centreLatitude = 89.95;
    in.centreLongitude = 0;
    in.multiplayer = true;
    in.multiplayerRangeNm = 8;
    // Across the pole: 0.05 degree to the pole and 0.05 beyond, 6 nm; a flat
    // grid would put it 9.4 nm east.
    TrafficValues v{89.95, 180, OwnAltitude, 0, 0, 0, 0, 200};
    Report(80, v, 100);
    RunTrafficPass(in);
    EXPECT_NE(Find("T80"), nullptr);
    in.multiplayerRangeNm = 5.9;
    RunTrafficPass(in);
    EXPECT_EQ(Find("T80"), nullptr);
}

TEST_F(TrafficAdvisoryTest, BadEntriesAreSkippedAndCallsignsEndInTheList)
{
    TrafficValues bad = At(5.0, 0);
    bad.latitude = std::nan("");
    Report(90, bad, 100);
    Report(91, At(5.0, 30), 100, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    TrafficTable[FindTrafficId(91)].callsign[31] = 'X';  // as a link might leave it
    RunTrafficPass(Inputs(100));
    EXPECT_EQ(Find("T90"), nullptr);
    ASSERT_EQ(TrafficTargetList.count.load(), 2);
    bool found = false;
    for (int i = 0; i < 2; ++i)
        found |= std::strlen(TrafficTargetList.targets[i].callsign) == 31;
    EXPECT_TRUE(found);
}

TEST_F(TrafficAdvisoryTest, GetTrafficTargetReadsTheListAndEndsPastIt)
{
    Report(100, At(5.0, 90, OwnAltitude, 150), 100);
    RunTrafficPass(Inputs(100));
    int n = TrafficTargetList.count.load();
    ASSERT_EQ(n, 2);
    int i = Find("T100") - TrafficTargetList.targets;
    float x = 0, y = 0, heading = 0, gs = 0, alt = 0;
    uint32_t cls = 0;
    char callsign[36] = "";
    ASSERT_TRUE(GetTrafficTarget(i, &x, &y, &heading, &cls, &gs, &alt, callsign));
    EXPECT_STREQ(callsign, "T100");
    EXPECT_GT(x, 0);
    EXPECT_NEAR(y, 0, 3);
    EXPECT_EQ(gs, 150.0f);
    EXPECT_EQ(alt, static_cast<float>(OwnAltitude));
    FollowedTargetIndex = i;
    ASSERT_TRUE(GetTrafficTarget(i, &x, &y, &heading, &cls, &gs, &alt, callsign));
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_FALSE(GetTrafficTarget(n, &x, &y, &heading, &cls, &gs, &alt, callsign));
    EXPECT_EQ(cls, TrafficClassNone);
    EXPECT_EQ(heading, 0.0f);
    EXPECT_STREQ(callsign, "");
    EXPECT_FALSE(GetTrafficTarget(-1, &x, &y, &heading, &cls, &gs, &alt, callsign));
    ClearTrafficTargets();
    EXPECT_FALSE(GetTrafficTarget(0, &x, &y, &heading, &cls, &gs, &alt, callsign));
}

}  // namespace
