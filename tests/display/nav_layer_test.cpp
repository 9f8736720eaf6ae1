// The navigation-symbol layer: the choice of symbol, size and label text per
// record, and the layer drawn over small tables (and the shipped demo set)
// into the headless renderer, checked by its label boxes on the screen.
#include "display/nav_layer.h"

#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/sprite_table.h"
#include "navdata/nav_tables.h"
#include "navdata/simulators.h"
#include "platform/window.h"
#include "render/snapshot.h"
#include "tests/display/map_centre.h"
#include "tests/support/map_layer_fixture.h"
#include "tests/navdata/nav_fixtures.h"
#include "tests/render/render_fixture.h"

#include <cmath>
#include <cstring>

namespace {

// ---- choices per record ----

TEST(NavSymbolSizes, AutosizeTakesOneCappedFactorForEveryKindAndKeepsTheSettings)
{
    Settings.Vorsizefactor = 1.7f;
    Settings.Ndbsizefactor = 0.4f;
    SymbolFactors big = ComputeSymbolFactors(true, 5.0, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(big.general, 1.0f);
    EXPECT_FLOAT_EQ(big.ndb, 1.0f);  // the NDB too
    EXPECT_FLOAT_EQ(big.vor, 1.0f);
    SymbolFactors small = ComputeSymbolFactors(true, 0.01, 2.0f, 1.5f);
    EXPECT_NEAR(small.fix, 13.2 * 0.01 * 3.0, 1e-6);
    EXPECT_FLOAT_EQ(small.airport, small.marker);
    SymbolFactors unknown = ComputeSymbolFactors(true, std::nan(""), 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(unknown.dme, 1.0f);
    SymbolFactors own = ComputeSymbolFactors(false, 5.0, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(own.general, 1.0f);
    EXPECT_FLOAT_EQ(own.vor, 1.7f);
    EXPECT_FLOAT_EQ(own.ndb, 0.4f);
    EXPECT_FLOAT_EQ(Settings.Vorsizefactor, 1.7f);  // what is saved stays the user's
}

TEST(NavSymbolSizes, VorRosePictureFollowsTheRoseSize)
{
    RoseChoice r = ChooseVorRose(300, 1.0f);  // 300 units wide: the plain rose at half scale
    EXPECT_EQ(r.slot, 53);
    EXPECT_FLOAT_EQ(r.scale, 0.5f);
    r = ChooseVorRose(512, 0.5f);  // 256: the small rose doubled
    EXPECT_EQ(r.slot, 62);
    EXPECT_FLOAT_EQ(r.scale, 1.0f);
    r = ChooseVorRose(512, 2.0f);  // 1024 still the plain rose
    EXPECT_EQ(r.slot, 53);
    r = ChooseVorRose(512, 2.5f);
    EXPECT_EQ(r.slot, 74);
    EXPECT_FLOAT_EQ(r.scale, 1.25f);
    EXPECT_EQ(VorCentreSlot(1), 54);
    EXPECT_EQ(VorCentreSlot(2), 55);
    EXPECT_EQ(VorCentreSlot(3), 56);
    EXPECT_EQ(VorCentreSlot(99), 54);
}

TEST(NavSymbolChoice, AirportSymbolBySourceKindAndSurface)
{
    // X-Plane data: kind first, then the X-Plane surface class.
    EXPECT_EQ(ChooseAirportSymbol(1, 1, 1).slot, 71);  // asphalt: hard
    EXPECT_EQ(ChooseAirportSymbol(5, 1, 0).slot, 58);  // class 2: soft
    EXPECT_EQ(ChooseAirportSymbol(1, 16, 1).slot, 72);
    EXPECT_EQ(ChooseAirportSymbol(1, 17, 1).slot, 73);
    // MSFS and Aerofly data by the MSFS class alone.
    EXPECT_EQ(ChooseAirportSymbol(6, 1, 1).slot, 71);
    EXPECT_EQ(ChooseAirportSymbol(7, 1, 0).slot, 58);
    EXPECT_EQ(ChooseAirportSymbol(6, 1, 3).slot, 72);  // water
    EXPECT_EQ(ChooseAirportSymbol(6, 1, 9999).slot, 73);  // outside the table
    // The older simulators by the general table.
    EXPECT_EQ(ChooseAirportSymbol(3, 1, 1).slot, 71);
    EXPECT_EQ(ChooseAirportSymbol(2, 1, 4).slot, 58);
    // Other sources: a 64-pixel cell of the sheet chosen by the kind.
    AirportSymbol land = ChooseAirportSymbol(0, 1, 1), sea = ChooseAirportSymbol(0, 16, 1),
                  heli = ChooseAirportSymbol(0, 17, 1), odd = ChooseAirportSymbol(0, 4000000000u, 1);
    EXPECT_TRUE(land.sheet);
    EXPECT_EQ(land.slot, 28);
    EXPECT_EQ(land.cellX, 64);
    EXPECT_EQ(land.cellY, 0);
    EXPECT_EQ(sea.cellY, 64);
    EXPECT_EQ(heli.cellY, 128);
    EXPECT_EQ(odd.cellX, 192);
    EXPECT_EQ(odd.cellY, 192);
}

TEST(NavSymbolChoice, LabelColoursFontsAndDataFormats)
{
    EXPECT_EQ(AirportLabelColour(6, -41.0), AirportLabelBlue);
    EXPECT_EQ(AirportLabelColour(6, -39.0), 0xFF000000u);
    EXPECT_EQ(AirportLabelColour(-3, 10.0), 0xFFFFFFFFu);
    EXPECT_EQ(AirportLabelColour(-1, 10.0), 0xFFFFFFFFu);
    EXPECT_EQ(AirportLabelColour(-4, 10.0), 0xFF000000u);
    EXPECT_EQ(AirportLabelColour(0, 10.0), 0xFF000000u);
    EXPECT_EQ(LabelFontFor(1).fontSize, 12);
    EXPECT_EQ(LabelFontFor(1).bitmapFont, 121);
    EXPECT_EQ(LabelFontFor(2).fontSize, 8);
    EXPECT_EQ(LabelFontFor(0).fontSize, 16);
    EXPECT_EQ(LabelFontFor(3).bitmapFont, 16);
    EXPECT_TRUE(IsXPlaneFormatData(4, 0));
    EXPECT_TRUE(IsXPlaneFormatData(6, 0));
    EXPECT_TRUE(IsXPlaneFormatData(7, 5));
    EXPECT_FALSE(IsXPlaneFormatData(4, 6));
    EXPECT_FALSE(IsXPlaneFormatData(7, 0));
}

TEST(NavLabels, TextsPerKind)
{
    NavLabelText t;
    char joined[400];
    NavaidRecord ndb = MakeNavaid("HOS", 2, 53.68, 10.08, 33900);
    CopyText(ndb.name, sizeof ndb.name, "HAMBURG NDB");
    ASSERT_EQ(FormatNavaidLabel(ndb, false, 0, &t), 2);
    JoinLabelLines(t, joined, sizeof joined);
    EXPECT_STREQ(joined, "HAMBURG NDB\n339.00 HOS");

    NavaidRecord vor = MakeNavaid("HAM", 3, 53.68, 10.2, 113100);
    CopyText(vor.name, sizeof vor.name, "HAMBURG");
    FormatNavaidLabel(vor, false, 0, &t);
    EXPECT_STREQ(t.lines[1], "113.100 HAM");
    NavaidRecord dme = vor;
    dme.kind = 13;
    FormatNavaidLabel(dme, false, 0, &t);
    EXPECT_STREQ(t.lines[1], "113.100 HAM");

    NavaidRecord loc = MakeNavaid("IHHW", 4, 53.61, 9.95, 111500);
    CopyText(loc.name, sizeof loc.name, "ILS-cat-III");
    FormatNavaidLabel(loc, false, 7, &t);
    EXPECT_STREQ(t.lines[1], "007\xB0 111.500 IHHW");

    // Markers: the airport and runway with X-Plane data, else the first extra text.
    NavaidRecord om = MakeNavaid("----", 7, 53.57, 9.87);
    CopyText(om.name, sizeof om.name, "OM");
    CopyText(om.extra1, sizeof om.extra1, "EDDH");
    CopyText(om.extra2, sizeof om.extra2, "05");
    ASSERT_EQ(FormatNavaidLabel(om, true, 0, &t), 3);
    JoinLabelLines(t, joined, sizeof joined);
    EXPECT_STREQ(joined, "OM\n05\nEDDH");
    ASSERT_EQ(FormatNavaidLabel(om, false, 0, &t), 1);
    EXPECT_STREQ(t.lines[0], "EDDH");
    om.extra1[0] = 0;
    EXPECT_EQ(FormatNavaidLabel(om, true, 0, &t), 2);

    // A name filling its whole field without an end is cut at the field.
    NavaidRecord full = ndb;
    std::memset(full.name, 'N', sizeof full.name);
    FormatNavaidLabel(full, false, 0, &t);
    EXPECT_EQ(std::strlen(t.lines[0]), sizeof full.name);
    NavaidRecord unknown = ndb;
    unknown.kind = 6;  // glide paths have no label
    EXPECT_EQ(FormatNavaidLabel(unknown, false, 0, &t), 0);
}

TEST(NavLabels, LocalizerCourseIsMagneticAndStaysWithinTheCompass)
{
    NavaidRecord loc = MakeNavaid("IHHE", 4, 53.64, 10.0);
    loc.angle = 50.193;
    loc.magVar = -2.0;  // magnetic = true + magVar
    EXPECT_EQ(LocalizerMagneticCourse(loc, 7, 99.0), 48);
    // X-Plane and FlightGear take the aircraft's variation instead.
    EXPECT_EQ(LocalizerMagneticCourse(loc, 4, 3.0), 47);
    EXPECT_EQ(LocalizerMagneticCourse(loc, 6, -3.0), 53);
    loc.angle = 358.0;
    loc.magVar = 4.0;
    EXPECT_EQ(LocalizerMagneticCourse(loc, 7, 0), 2);
    loc.angle = 1.0;
    loc.magVar = -4.0;
    EXPECT_EQ(LocalizerMagneticCourse(loc, 7, 0), 357);
}

TEST(NavLabels, FeatherColoursFromTheIlsColour)
{
    FeatherColours c = MakeFeatherColours(0xFF00BF00u, false, 255);
    EXPECT_EQ(c.fill1, 0x8F00BF00u);
    EXPECT_EQ(c.fill2, 0x8F005F00u);
    EXPECT_EQ(c.outline, 0x8FBF0000u);  // green moved into blue
    c = MakeFeatherColours(0xFF102030u, true, 128);
    EXPECT_EQ(c.fill1 >> 24, 0xD7u);
    EXPECT_EQ(c.fill1 & 0xFF, 0x30u * 128 / 255);
}

TEST(NavLabels, LabelListStopsAtItsCapacity)
{
    ClearMapLabels();
    for (int i = 0; i < MapLabelCapacity; ++i)
        ASSERT_TRUE(AddMapLabel(i, 2, i, i));
    EXPECT_FALSE(AddMapLabel(-1, 2, 0, 0));
    EXPECT_EQ(MapLabelCount, MapLabelCapacity);
    EXPECT_EQ(MapLabelList[MapLabelCapacity - 1].record, MapLabelCapacity - 1);
    ClearMapLabels();
    EXPECT_EQ(MapLabelCount, 0);
}

// ---- the layer on the screen ----

constexpr uint32_t kCream = 0xFFFFFECDu;

class NavLayerTest : public MapLayerTest {
protected:
    void SetUp() override
    {
        MapLayerTest::SetUp();
        Settings.NavDatabase = 6;
        Settings.UseSimulator = SimulatorMsfs;
        Settings.Autosize = 1;
        Settings.DeClutter = 0;
        Settings.NavAirport = 0;
        Settings.SelectedAirport[0] = 0;  // no airport view left open by an earlier test
        Settings.Dimlevel = 255;
        for (int k = 0; k < NavColourCount; ++k) {
            Settings.NDBColor[k] = Settings.VORColor[k] = Settings.FIXColor[k] = 0xFFFFFFFFu;
            Settings.ILSColor[k] = 0xFF00BF00u;
        }
        GridFactorX = GridFactorY = 1.0;
        CurrentFrame.mapRotation = 0;
        SetUpTileMapView(53.63, 10.0, 10);
        OnMouseMessage(MAKELPARAM(5, 5), WM_MOUSEMOVE);
        ClearTarget(kCream);
    }
    void TearDown() override
    {
        FreeNavdata();
        RenderTest::TearDown();
    }
    void SetZoom(int zoom)
    {
        Settings.Tile = zoom;
        CentreMapOn(MapCenter.latitude, MapCenter.longitude);
    }
    void Load(const std::vector<NavaidRecord>& navaids, const std::vector<AirportRecord>& airports = {},
              const std::vector<FixRecord>& fixes = {})
    {
        root.WriteTable("Navdata/MSFS/navdat.bin", navaids);
        root.WriteTable("Navdata/MSFS/apt.bin", airports);
        root.WriteTable("Navdata/MSFS/fixdat.bin", fixes);
        LoadNavaids();
        LoadAirports();
        LoadFixes();
    }
    // Where the layer puts a position (north-up).
    void ToScreen(double lat, double lon, double* x, double* y)
    {
        double dx = 0, dy = 0;
        ProjectToScreenOffset(&dx, &dy, lon, lat);
        *x = ScreenCentre.x + dx;
        *y = ScreenCentre.y + dy;
    }
    // Pixels of a label box's black around (x, y).
    int DarkAround(double x, double y, int rx = 14, int ry = 5)
    {
        int count = 0;
        for (int py = static_cast<int>(y) - ry; py <= static_cast<int>(y) + ry; ++py)
            for (int px = static_cast<int>(x) - rx; px <= static_cast<int>(x) + rx; ++px) {
                if (px < 0 || py < 0 || px >= width_ || py >= height_)
                    continue;
                uint32_t p = Pixel(px, py);
                count += (p & 0xFF) < 0x30 && ((p >> 8) & 0xFF) < 0x30 && ((p >> 16) & 0xFF) < 0x30;
            }
        return count;
    }
    void Frame()
    {
        ClearTarget(kCream);
        DrawNavigationLayer(width_, height_);
    }
    TempNavRoot root;
};

TEST_F(NavLayerTest, NothingBelowWantedZoomSevenAndFixesFromZoomTen)
{
    Settings.NavNDB = 1;
    Settings.ShowFix = 1;
    Load({MakeNavaid("XX", 2, 53.63, 10.0, 38000)}, {}, {MakeFix("ALPHA", 53.60, 10.1)});
    SetZoom(6);
    Record();
    Frame();
    EXPECT_FALSE(WasNavigationLayerDrawn());
    EXPECT_TRUE(GpuRecordedDraws().empty());
    EXPECT_EQ(DarkAround(320, 240), 0);

    SetZoom(9);  // the NDB, no fix yet
    double fx, fy;
    ToScreen(53.60, 10.1, &fx, &fy);
    Frame();
    EXPECT_TRUE(WasNavigationLayerDrawn());
    EXPECT_GT(DarkAround(320, 240), 20);
    EXPECT_EQ(DarkAround(fx, fy + 24), 0);

    SetZoom(10);
    ToScreen(53.60, 10.1, &fx, &fy);
    Frame();
    EXPECT_GT(DarkAround(fx, fy + 24), 20);  // the name below the fix
}

TEST_F(NavLayerTest, DeclutterThreeLabelsOnlyTheSymbolUnderTheMouse)
{
    Settings.NavNDB = 1;
    Settings.DeClutter = 3;
    Load({MakeNavaid("AA", 2, 53.63, 10.0, 38000), MakeNavaid("BB", 2, 53.63, 10.1, 38000)});
    double bx, by;
    ToScreen(53.63, 10.1, &bx, &by);
    Frame();
    EXPECT_EQ(DarkAround(320, 240), 0);
    EXPECT_EQ(DarkAround(bx, by), 0);
    OnMouseMessage(MAKELPARAM(static_cast<int>(bx) + 10, static_cast<int>(by) - 10), WM_MOUSEMOVE);
    Frame();
    EXPECT_EQ(DarkAround(320, 240), 0);
    EXPECT_GT(DarkAround(bx, by), 20);
}

TEST_F(NavLayerTest, SelectedIlsIsLabelledAloneAmongTheDrawnLocalizers)
{
    Settings.NavILS = 1;
    NavaidRecord a = MakeNavaid("IAA", 4, 53.63, 9.9, 110500), b = MakeNavaid("IBB", 4, 53.63, 10.1, 111500);
    a.angle = b.angle = 90;  // feathers pointing west of each antenna
    a.featherLength = b.featherLength = 5;
    Load({a, b});
    std::strcpy(Settings.SelectedILS, "IBB");
    Settings.SelectedAirport[0] = 0;
    Record();
    Frame();
    int triangles = 0;
    for (const auto& draw : GpuRecordedDraws())
        triangles += draw.vertexCount == 3;
    EXPECT_GE(triangles, 4);  // both feathers, two halves each
    ASSERT_EQ(MapLabelCount, 2);
    EXPECT_EQ(DarkAround(MapLabelList[0].x, MapLabelList[0].y), 0);
    EXPECT_GT(DarkAround(MapLabelList[1].x, MapLabelList[1].y), 20);
    ASSERT_NE(SelectedLocalizer.record, nullptr);
    EXPECT_STREQ(SelectedLocalizer.record->ident, "IBB");

    std::strcpy(Settings.SelectedILS, "ALL");
    Frame();
    EXPECT_GT(DarkAround(MapLabelList[0].x, MapLabelList[0].y), 20);
    EXPECT_EQ(SelectedLocalizer.record, nullptr);

    // With an airport selected only the selected localizer is drawn.
    std::strcpy(Settings.SelectedILS, "IBB");
    std::strcpy(Settings.SelectedAirport, "EDDH");
    Settings.AirportOverlay = 1;
    Frame();
    EXPECT_EQ(MapLabelCount, 1);
    Settings.SelectedAirport[0] = 0;
}

TEST_F(NavLayerTest, LocalizerLabelSitsBesideTheTipForParallelRunways)
{
    BuildIlsFeather(320, 240, 53.63, 10.0, 0.0, 5.0);  // runway heading north: feather south
    const OutlinePoint* p = IlsFeather.points;
    double mx, my, rx, ry, lx, ly;
    LocalizerLabelPoint("", &mx, &my);
    LocalizerLabelPoint("23R", &rx, &ry);
    LocalizerLabelPoint("23L", &lx, &ly);
    EXPECT_NEAR(mx, (p[0].x + p[2].x) / 2, 1e-3);
    EXPECT_NEAR(my, (p[0].y + p[2].y) / 2, 1e-3);
    EXPECT_NEAR(std::fabs(rx - p[2].x), 24, 1e-3);  // off the axis, on opposite sides
    EXPECT_LT((rx - p[2].x) * (lx - p[2].x), 0);
}

TEST_F(NavLayerTest, ViewAcrossTheAntimeridianFindsBothSides)
{
    Settings.NavNDB = 1;
    CentreMapOn(10.0, 179.95);
    Load({MakeNavaid("EA", 2, 10.0, -179.95, 38000), MakeNavaid("WE", 2, 10.0, 179.85, 38000)});
    Frame();
    ASSERT_EQ(MapLabelCount, 2);
    double x0 = MapLabelList[0].x, x1 = MapLabelList[1].x;
    EXPECT_GT(std::max(x0, x1), 320);  // east of the date line lies right of the centre
    EXPECT_LT(std::min(x0, x1), 320);
}

TEST_F(NavLayerTest, SelectedAirportWithoutOverlayDrawsNothing)
{
    Settings.ShowAirports = 1;
    Load({}, {MakeAirport("EDDH", 53.63, 10.0)});
    std::strcpy(Settings.SelectedAirport, "EDDH");
    Settings.AirportOverlay = 0;
    Record();
    Frame();
    EXPECT_TRUE(WasNavigationLayerDrawn());
    EXPECT_TRUE(GpuRecordedDraws().empty());
    Settings.AirportOverlay = 1;
    Settings.MapType = 0;  // black labels
    Frame();
    EXPECT_GT(DarkAround(320, 240 + SpriteTable[71].height), 3);  // the ICAO below the symbol
    Settings.SelectedAirport[0] = 0;
}

TEST_F(NavLayerTest, AutosizeDoesNotChangeTheSavedFactors)
{
    Settings.NavVOR = 1;
    Settings.Vorsizefactor = 1.6f;
    Load({MakeNavaid("HAM", 3, 53.63, 10.0, 113100)});
    Frame();
    EXPECT_FLOAT_EQ(Settings.Vorsizefactor, 1.6f);
    EXPECT_GT(DarkAround(320, 240), 20);
}

TEST_F(NavLayerTest, BitmapLabelsHangFromTheAnchorAndTheSnapshotStandsInForTheLayer)
{
    Settings.NavNDB = 1;
    Settings.RenderToTexture = 1;
    NavaidRecord ndb = MakeNavaid("XX", 2, 53.63, 10.0, 38000);
    CopyText(ndb.name, sizeof ndb.name, "TEST NDB");  // an empty first line would end the block
    Load({ndb});
    Frame();
    EXPECT_GT(DarkAround(340, 250, 12, 4), 20);  // the block's box starts at the anchor
    EXPECT_EQ(DarkAround(300, 230, 12, 4), 0);

    Settings.RenderToTexture = 2;
    Frame();  // captured into the snapshot, closed by the route layer
    EXPECT_EQ(MapLabelCount, 1);
    EXPECT_EQ(SnapshotTarget.capturing, 1);
    EndSnapshot(0, 0, 0);
    ClearMapLabels();
    Frame();  // the stored picture is drawn instead of the records
    EXPECT_TRUE(WasNavigationLayerDrawn());
    EXPECT_EQ(MapLabelCount, 0);
    EXPECT_GT(DarkAround(320, 240), 20);
}

// Symbols on the map move with it: a frame that shows any, drawn or held in
// the stored snapshot, asks the renderer for its fast snapshot refresh.
TEST_F(NavLayerTest, FramesWithSymbolsAskForTheFastSnapshotRefresh)
{
    Settings.NavNDB = 1;
    Load({MakeNavaid("XX", 2, 53.63, 10.0, 38000)});
    NavSymbolsChanged = 0;
    Frame();
    EXPECT_EQ(NavSymbolsChanged, 1);
    // Far from the only NDB nothing is shown.
    NavSymbolsChanged = 0;
    CentreMapOn(40.0, 10.0);
    Frame();
    EXPECT_TRUE(WasNavigationLayerDrawn());
    EXPECT_EQ(NavSymbolsChanged, 0);
    CentreMapOn(53.63, 10.0);
    Settings.RenderToTexture = 2;
    Frame();  // captured
    EndSnapshot(0, 0, 0);
    NavSymbolsChanged = 0;
    Frame();  // the stored picture holds the NDB
    EXPECT_EQ(NavSymbolsChanged, 1);
    // A snapshot captured over an empty stretch holds none.
    InvalidateSnapshot();
    CentreMapOn(40.0, 10.0);
    Frame();
    EndSnapshot(0, 0, 0);
    NavSymbolsChanged = 0;
    Frame();
    EXPECT_EQ(NavSymbolsChanged, 0);
    Settings.RenderToTexture = 0;
}

// The shipped demonstration set around the home position: its navaids and
// fixes come with their labels.
TEST_F(NavLayerTest, DemoSetShowsTheNavaidsAndFixesAroundHome)
{
    std::snprintf(DataFolder, sizeof DataFolder, "%s", TVL_ROOT_DIR);
    LoadNavaids();
    LoadAirports();
    LoadFixes();
    ASSERT_GT(GetFixCount(), 0);
    Settings.ShowFix = 1;
    Settings.NavVOR = 1;
    Settings.NavNDB = 1;
    Settings.ShowAirports = 1;
    CentreMapOn(53.636666667, 10.001);
    Frame();
    double x, y;
    double lat = 0, lon = 0;
    ASSERT_TRUE(FindFixByName("HAM09", &lat, &lon));
    ToScreen(lat, lon, &x, &y);
    EXPECT_GT(DarkAround(x, y + 24), 20);
    ToScreen(53.6856, 10.2050, &x, &y);  // HAM VORTAC
    EXPECT_GT(DarkAround(x, y), 20);
    float alat = 0, alon = 0;
    EXPECT_TRUE(GetAirportCenter("EDDH", &alat, &alon));
}

}  // namespace
