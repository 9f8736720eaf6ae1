// The sprite table on the shipped pictures: which slots load, their flags,
// the bezel by aspect, a missing required aircraft, the splash once a run.
#include "app/language.h"
#include "app/program_root.h"
#include "app/screen_layout.h"
#include "display/sprite_table.h"
#include "render/textures.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <string>

#include <filesystem>

namespace {

class SpriteTableTest : public RenderTest {
protected:
    void TearDown() override
    {
        ReleaseDisplayBitmaps();
        ResetSplashShown();
        ClearLanguageTexts();
        RenderTest::TearDown();
    }
    // A copy of the shipped pictures without the named files.
    std::string RootWithout(const TempFolder& folder, std::initializer_list<const char*> missing)
    {
        namespace fs = std::filesystem;
        fs::copy(std::string(TVL_ROOT_DIR) + "/Bitmaps", folder / "Bitmaps", fs::copy_options::recursive);
        for (const char* name : missing)
            fs::remove(folder / (std::string("Bitmaps/") + name));
        return folder.Path();
    }
};

TEST_F(SpriteTableTest, ShippedRootLoadsEveryPictureSlotAndLeavesTheEmptyOnes)
{
    ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 1));
    for (int slot : {2, 29, 30, 31, 32, 33, 36, 40})
        EXPECT_FALSE(SpriteTable[slot].loaded) << slot;
    for (int slot : {0, 1, 3, 17, 26, 41, 43, 75, 80, 85})
        EXPECT_TRUE(SpriteTable[slot].loaded) << slot;
    EXPECT_EQ(SpriteTable[80].width, 48);
    EXPECT_EQ(SpriteTable[0].width, 1280);
    EXPECT_EQ(SpriteTable[0].height, 720);  // the 16:9 bezel
}

TEST_F(SpriteTableTest, KeyboardStartsHiddenAndBezelFurnitureIsNeverDimmed)
{
    ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 1));
    for (int slot = 43; slot <= 46; ++slot) {
        EXPECT_TRUE(SpriteTable[slot].loaded) << slot;
        EXPECT_FALSE(SpriteTable[slot].visible) << slot;
    }
    for (int slot : {0, 1, 17, 25, 26, 41, 43, 44, 45, 46, 74, 75})
        EXPECT_FALSE(SpriteTable[slot].dimmable) << slot;
    EXPECT_TRUE(SpriteTable[80].dimmable);
    EXPECT_TRUE(SpriteTable[80].visible);
    EXPECT_FALSE(SpriteTable[2].visible);  // nothing loaded, nothing shown
}

// The softkey faces are opaque where the face is: only the bar's tint lets
// the map under a key show, faintly (its labels once read through the keys).
TEST_F(SpriteTableTest, SoftkeyFacesAreOpaque)
{
    for (const char* name : {"SoftkeyA1.png", "SoftkeyB1.png", "SoftkeyA2.png", "SoftkeyB2.png"}) {
        std::string path = std::string(TVL_ROOT_DIR) + "/Bitmaps/" + name;
        FIBITMAP* image = FreeImage_Load(FIF_PNG, path.c_str(), 0);
        ASSERT_NE(image, nullptr) << name;
        unsigned h = FreeImage_GetHeight(image), w = FreeImage_GetWidth(image);
        RGBQUAD texel{};
        // The middle of the face, in the picture's bottom band (FreeImage rows run bottom up).
        ASSERT_TRUE(FreeImage_GetPixelColor(image, w / 2, h / 20, &texel)) << name;
        EXPECT_EQ(texel.rgbReserved, 255) << name;
        FreeImage_Unload(image);
    }
}

TEST_F(SpriteTableTest, BezelFilesFollowTheAspectRatio)
{
    EXPECT_STREQ(SpriteFileName(0, 1), "G500_16x9.png");
    EXPECT_STREQ(SpriteFileName(26, 2), "G500_16x10_Bulb.png");
    for (int aspect : {0, 3, 4, 7}) {
        EXPECT_STREQ(SpriteFileName(0, aspect), "G500_4x3.png");
        EXPECT_STREQ(SpriteFileName(26, aspect), "G500_4x3_Bulb.png");
        EXPECT_STREQ(SpriteFileName(41, aspect), "G500_4X3_TranA.png");
        EXPECT_STREQ(SpriteFileName(75, aspect), "G500_4X3_Tran.png");
    }
    EXPECT_STREQ(SpriteFileName(67, 1), "obs1a.png");
    EXPECT_STREQ(SpriteFileName(85, 1), "Aircraft7.png");
    EXPECT_EQ(SpriteFileName(40, 1), nullptr);
    EXPECT_EQ(SpriteFileName(-1, 1), nullptr);
    EXPECT_EQ(SpriteFileName(86, 1), nullptr);
    ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 3));
    EXPECT_EQ(SpriteTable[0].height, 960);  // the 4:3 bezel
}

// A slot name that drifts from its number draws another picture everywhere
// the name is used.
TEST(SpriteSlotNames, EachNamedSlotHoldsItsPicture)
{
    const struct {
        int slot;
        const char* file;
    } named[] = {
        {SpriteTrafficAircraft, "Aircraft3.png"}, {SpriteWaypoint, "wpt.png"}, {SpriteTrafficClass0, "tc00.bmp"},
        {SpriteWindArrow, "Arrow2.png"}, {SpriteSoftkeyTouch, "SoftkeyA2.png"}, {SpriteWindVector, "WV2.png"},
        {SpriteWindRose, "Rosea.png"}, {SpriteTower, "TWR.png"}, {SpriteRouteVor, "vor.png"},
        {SpriteRouteNdb, "ndb.png"}, {SpriteRouteAirport, "apt.png"}, {SpriteKnobPointer, "G500_Knob.png"},
        {SpriteReferencePoint, "ARP.png"}, {SpriteAirportSheet, "Airports.png"}, {SpriteFix, "Fix.png"},
        {SpriteOval, "Oval.png"}, {SpriteTerrainLegend1, "Legende1.png"}, {SpriteTerrainLegend2, "Legende2.png"},
        {SpriteNorthArrow, "North1.png"}, {SpriteWindRoseChart, "Rose1a.png"},
        {SpriteKeyboard, "G500_4X3_Keyboard.png"}, {SpriteKeyYellow, "key_yellow.png"},
        {SpriteKeyRed, "key_red.png"}, {SpriteKeyGreen, "key_green.png"}, {SpriteVerticalMark, "vline.png"},
        {SpriteHorizontalMark, "hline.png"}, {SpriteTrackDot, "dot.png"}, {SpriteNdb, "ndb32.png"},
        {SpriteMarker, "Marker64.png"}, {SpriteVorRose, "vorrose.png"}, {SpriteVor, "vor32.png"},
        {SpriteVorDme, "vor-dme.png"}, {SpriteVortac, "vortac.png"}, {SpriteDme, "DME.png"},
        {SpriteAirportUnpaved, "aptup.png"}, {SpriteFontPage121, "Arial_121_00.png"},
        {SpriteFontPage16, "Arial_16_00.png"}, {SpriteSoftkeyTouchPressed, "SoftkeyB2.png"},
        {SpriteVorRose128, "VOR_128.png"}, {SpriteObstacle, "obs1a.png"}, {SpriteTallObstacle, "obs3a.png"},
        {SpriteAirportPaved, "aptp.png"}, {SpriteAirportWater, "apt2.png"}, {SpriteAirportOther, "apt3.png"},
        {SpriteVorRose512, "vor_512.png"}, {SpriteParking, "Parking.png"}, {SpriteSoftkey, "SoftkeyA1.png"},
        {SpriteSoftkeyPressed, "SoftkeyB1.png"}, {SpriteAircraft, "Aircraft2.png"},
        {SpriteBezel, "G500_16x9.png"}, {SpriteBezelLamp, "G500_16x9_Bulb.png"},
        {SpriteTransparencyScaleLower, "G500_16X9_TranA.png"}, {SpriteTransparencyScale, "G500_16X9_Tran.png"},
    };
    for (const auto& n : named)
        EXPECT_STREQ(SpriteFileName(n.slot, 1), n.file) << n.slot;
}

TEST_F(SpriteTableTest, MissingPicturesLeaveTheirSlotsEmptyAndOnlyTheAircraftIsRequired)
{
    TempFolder folder;
    std::string root = RootWithout(folder, {"Rosea.png", "G500_16x9.png"});
    ASSERT_TRUE(LoadSpriteTable(root.c_str(), 1));
    EXPECT_FALSE(SpriteTable[20].loaded);
    EXPECT_FALSE(SpriteTable[0].loaded);
    EXPECT_TRUE(SpriteTable[42].loaded);

    TempFolder second;
    std::string noAircraft = RootWithout(second, {"Aircraft2.png"});
    EXPECT_FALSE(LoadSpriteTable(noAircraft.c_str(), 1));
    EXPECT_TRUE(SpriteTable[81].loaded);  // loading went on past it

    EXPECT_FALSE(LoadSpriteTable("/nonexistent/root", 1));
    EXPECT_FALSE(SpriteTable[0].loaded);
}

TEST_F(SpriteTableTest, PicturesFoundWhateverTheCaseOfTheirFolder)
{
    TempFolder folder;
    std::filesystem::copy(std::string(TVL_ROOT_DIR) + "/Bitmaps", folder / "BITMAPS",
                          std::filesystem::copy_options::recursive);
    EXPECT_TRUE(LoadSpriteTable(folder.Path().c_str(), 1));
}

TEST_F(SpriteTableTest, ReleaseEmptiesEverySlot)
{
    ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 1));
    ReleaseDisplayBitmaps();
    for (const SpriteSlot& s : SpriteTable) {
        EXPECT_FALSE(s.loaded);
        EXPECT_EQ(s.texture, nullptr);
    }
    EXPECT_EQ(GetSpriteSlot(86), nullptr);
    EXPECT_EQ(GetSpriteSlot(-1), nullptr);
    ReleaseSpriteSlot(nullptr);
}

TEST_F(SpriteTableTest, SplashShowsOnceAndGivesSlotZeroBack)
{
    long before = GpuPresentCount();
    DrawSplashScreen();
    EXPECT_TRUE(IsSplashShown());
    EXPECT_EQ(GpuPresentCount(), before + 1);
    EXPECT_FALSE(SpriteTable[0].loaded);
    DrawSplashScreen();  // the second start shows none
    EXPECT_EQ(GpuPresentCount(), before + 1);
}

TEST_F(SpriteTableTest, TheSplashDecodesTheTableMeanwhileAndItsWarningsFollowItInSlotOrder)
{
    TempFolder folder;
    std::string root = RootWithout(folder, {"Rosea.png", "Light.png"});
    std::filesystem::copy(std::string(TVL_ROOT_DIR) + "/Languages", folder / "Languages",
                          std::filesystem::copy_options::recursive);
    std::snprintf(ProgramRoot, 512, "%s", root.c_str());
    // The warning names the picture in the language read from beside System.
    std::filesystem::create_directories(folder / "System");
    std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(folder / "System");
    int language = LoadLanguage("en");
    std::filesystem::current_path(cwd);
    ASSERT_EQ(language, 0);
    testing::internal::CaptureStderr();
    DrawSplashScreen();
    std::string duringSplash = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(IsSplashShown());
    EXPECT_EQ(duringSplash.find("Light"), std::string::npos) << "no warning box over the splash";
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LoadSpriteTable(root.c_str(), GetAspectRatio()));
    std::string warnings = testing::internal::GetCapturedStderr();
    size_t light = warnings.find("Light"), rose = warnings.find("Rosea");
    ASSERT_NE(light, std::string::npos) << warnings;
    ASSERT_NE(rose, std::string::npos) << warnings;
    EXPECT_LT(light, rose) << "slot 1 is warned about before slot 20";
    EXPECT_FALSE(SpriteTable[1].loaded);
    EXPECT_FALSE(SpriteTable[20].loaded);
    EXPECT_TRUE(SpriteTable[0].loaded) << "the bezel after the splash gave slot 0 back";
    EXPECT_TRUE(SpriteTable[80].loaded);
    // The font pages stay in the renderer's texture slots as well.
    EXPECT_NE(GetTextureSlot(0), nullptr);
    EXPECT_NE(GetTextureSlot(5), nullptr);
}

TEST_F(SpriteTableTest, NoSplashPictureNoSplash)
{
    TempFolder folder;
    std::snprintf(ProgramRoot, 512, "%s", folder.Path().c_str());
    long before = GpuPresentCount();
    DrawSplashScreen();
    EXPECT_FALSE(IsSplashShown());
    EXPECT_EQ(GpuPresentCount(), before);
}

TEST_F(SpriteTableTest, AboutLineCarriesTheYear)
{
    SetAboutYearLine(2031);
    EXPECT_NE(std::string(GetAboutYearLine()).find("2031"), std::string::npos);
}

using SpriteTableDeathTest = SpriteTableTest;

TEST_F(SpriteTableDeathTest, MissingAircraftEndsTheDisplayStartWithMinusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder folder;
    RootWithout(folder, {"Aircraft2.png", "TVL.png"});
    EXPECT_EXIT(
        {
            std::snprintf(ProgramRoot, 512, "%s", folder.Path().c_str());
            LoadDisplayBitmaps(nullptr, 640, 480);
        },
        ::testing::ExitedWithCode(255), "");
}

}  // namespace
