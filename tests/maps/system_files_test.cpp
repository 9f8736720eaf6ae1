// The system's data files: the descrambler's stream, palette images and
// scrambled images written and read back, plain and from zip packages,
// scrambled descriptor files, and what is refused when a file lies.
#include "maps/system_files.h"

#include "navdata/zip_writer.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct PaletteImage {
    int width = 0, height = 0;
    uint8_t palette[1024] = {};
    std::vector<uint8_t> pixels;
};

// A picture with palette entries that spell their index and pixels that
// step through them (compressible), or noise (stored unpacked).
PaletteImage MakeImage(int width, int height, bool noise)
{
    PaletteImage image;
    image.width = width;
    image.height = height;
    for (int i = 0; i < 256; i++) {
        image.palette[4 * i] = static_cast<uint8_t>(i);
        image.palette[4 * i + 1] = static_cast<uint8_t>(255 - i);
        image.palette[4 * i + 2] = static_cast<uint8_t>(i * 7);
    }
    image.pixels.resize(static_cast<size_t>(width) * height);
    unsigned state = 12345;
    for (size_t i = 0; i < image.pixels.size(); i++) {
        state = state * 1103515245u + 12345u;
        image.pixels[i] = noise ? static_cast<uint8_t>(state >> 16) : static_cast<uint8_t>(i / 97 % 251);
    }
    return image;
}

bool Write(const std::string& path, const PaletteImage& image)
{
    return WriteMakerImageFile(path.c_str(), image.width, image.height, image.palette, image.pixels.data());
}

std::string Bytes(const std::string& path)
{
    return ReadFileText(path);
}

std::string BufferText()
{
    return std::string(reinterpret_cast<const char*>(PaletteImageBuffer.bytes),
                       static_cast<size_t>(PaletteImageBuffer.size));
}

std::string Scrambled(const std::string& plain, int seed)
{
    std::string s = plain;
    SeedScrambler(static_cast<uint32_t>(seed));
    DescrambleBuffer(reinterpret_cast<uint8_t*>(s.data()), s.size());
    return s;
}

class SystemFiles : public ::testing::Test {
protected:
    TempFolder tmp;
    void ExpectPixelsOf(const PaletteImage& image)
    {
        ASSERT_EQ(PaletteImageBuffer.size, image.width * image.height + 1078);
        EXPECT_EQ(GetMakerImageDataOffset(), 1078u);
        EXPECT_EQ(GetMakerImageWidth(), image.width);
        EXPECT_FALSE(HasLoadedImageFile());
        EXPECT_EQ(0, std::memcmp(PaletteImageBuffer.bytes + 1078, image.pixels.data(), image.pixels.size()));
        uint8_t* palette = nullptr;
        GetMakerImagePalette(&palette);
        EXPECT_EQ(0, std::memcmp(palette, image.palette, 1024));
        // The file's own headers stand before the pixels.
        EXPECT_EQ(PaletteImageBuffer.bytes[0], 'B');
        EXPECT_EQ(0, std::memcmp(PaletteImageBuffer.bytes + 54, image.palette, 1024));
    }
};

TEST(Scrambler, FollowsTheRuntimeGeneratorPerThread)
{
    SeedScrambler(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected)
        EXPECT_EQ(NextScramblerValue(), value);
    std::vector<uint8_t> bytes = {0, 0, 0};
    SeedScrambler(1);
    DescrambleBuffer(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, (std::vector<uint8_t>{41 % 255, 18467 % 255, 6334 % 255}));
}

TEST(Scrambler, ScramblingTwiceWithTheSameSeedRestores)
{
    std::string plain = "The quick brown fox\n\x01\xff";
    EXPECT_NE(Scrambled(plain, 77), plain);
    EXPECT_EQ(Scrambled(Scrambled(plain, 77), 77), plain);
}

TEST(Scrambler, ImageSeedIsTheNumberOfTheName)
{
    EXPECT_EQ(ImageSeed("/a/b/012034.qrl"), 12034);
    EXPECT_EQ(ImageSeed("C:\\maps\\data0\\999999.qrj"), 999999);
    EXPECT_EQ(ImageSeed("/a/blank.qrl"), 0);
}

TEST_F(SystemFiles, PaletteImageRoundTripsPixelForPixelPackedOrNot)
{
    PaletteImage smooth = MakeImage(800, 800, false);
    ASSERT_TRUE(Write(tmp / "016008.qrl", smooth));
    EXPECT_LT(Bytes(tmp / "016008.qrl").size(), 800u * 800u);  // packed
    EXPECT_EQ(LoadMakerImageFile((tmp / "016008.qrl").c_str()), 800 * 800 + 1078);
    ExpectPixelsOf(smooth);

    PaletteImage noise = MakeImage(320, 200, true);
    ASSERT_TRUE(Write(tmp / "000008.qrl", noise));
    std::string stored = Bytes(tmp / "000008.qrl");
    ASSERT_EQ(stored.size(), 1083u + 320 * 200);  // stored whole: the packed size equals W x H
    EXPECT_NE(stored.substr(1083, 64), std::string(noise.pixels.begin(), noise.pixels.begin() + 64));
    EXPECT_EQ(LoadMakerImageFile((tmp / "000008.qrl").c_str()), 320 * 200 + 1078);
    ExpectPixelsOf(noise);
}

TEST_F(SystemFiles, ScrambledImageBesideAPaletteImageIsReadInstead)
{
    ASSERT_TRUE(Write(tmp / "012034.qrl", MakeImage(8, 8, false)));
    std::string png = "\x89PNG\r\n\x1a\n-any image file-";
    ASSERT_TRUE(WriteScrambledImageFile((tmp / "012034.qrj").c_str(), png.data(), png.size()));
    EXPECT_NE(Bytes(tmp / "012034.qrj"), png);
    EXPECT_EQ(LoadMakerImageFile((tmp / "012034.qrl").c_str()), static_cast<int>(png.size()));
    EXPECT_TRUE(HasLoadedImageFile());
    EXPECT_EQ(GetMakerImageDataOffset(), 0u);
    EXPECT_EQ(BufferText(), png);
    // Asked for by its own name too.
    EXPECT_EQ(LoadMakerImageFile((tmp / "012034.qrj").c_str()), static_cast<int>(png.size()));
    EXPECT_EQ(BufferText(), png);
}

TEST_F(SystemFiles, TilesComeFromTheFolderPackageOrTheParentPackage)
{
    std::string sheet = tmp / "ICAO/area12";
    MakeFolders(sheet);
    std::string own = "own package tile", parent = "parent package tile";
    ASSERT_TRUE(WriteZipArchive((sheet + "/data0.zip").c_str(),
                                {{"area12/data0/016008.qrj", Scrambled(own, 16008)}}));
    ASSERT_TRUE(WriteZipArchive((tmp / "ICAO/area12.zip").c_str(),
                                {{"ICAO/area12/data1/000016.qrj", Scrambled(parent, 16)}}));
    EXPECT_EQ(LoadMakerImageFile((sheet + "/data0/016008.qrl").c_str()), static_cast<int>(own.size()));
    EXPECT_EQ(BufferText(), own);
    EXPECT_EQ(LoadMakerImageFile((sheet + "/data1/000016.qrl").c_str()), static_cast<int>(parent.size()));
    EXPECT_EQ(BufferText(), parent);
    EXPECT_TRUE(IsFolderPacked((sheet + "/data1/").c_str()) == false);
    ASSERT_TRUE(WriteZipArchive((tmp / "ICAO/area12.zip").c_str(),
                                {{"ICAO/area12/data1/000000.qrj", "x"}, {"ICAO/area12/data1/000016.qrj", "y"}}));
    EXPECT_TRUE(IsFolderPacked((sheet + "/data1/").c_str()));
    EXPECT_TRUE(IsFolderPacked((sheet + "/data1").c_str()));
    EXPECT_FALSE(IsFolderPacked((sheet + "/data3").c_str()));
}

TEST_F(SystemFiles, PackageEntriesAreNeverNamedOutsideTheirFolder)
{
    std::string sheet = tmp / "ICAO/area12";
    MakeFolders(sheet + "/data0");
    ASSERT_TRUE(WriteZipArchive((sheet + "/data0.zip").c_str(),
                                {{"area12/data0/016008.qrj", Scrambled("packed", 16008)}}));
    // A path that climbs out names an entry with "..": never looked up.
    EXPECT_EQ(LoadMakerImageFile((sheet + "/data0/../data0/016008.qrl").c_str()), 0);
    EXPECT_EQ(LoadMakerImageFile((sheet + "/x/../../area12/data0/016008.qrl").c_str()), 0);
    EXPECT_FALSE(IsFolderPacked((sheet + "/data0/..").c_str()));
    EXPECT_EQ(LoadMakerImageFile((sheet + "/data0/016008.qrl").c_str()), 6);
}

TEST_F(SystemFiles, BlankTileIsNeverTakenFromAPackage)
{
    std::string folder = tmp / "area/data0";
    MakeFolders(folder);
    ASSERT_TRUE(WriteZipArchive((folder + ".zip").c_str(), {{"area/data0/999999.qrj", Scrambled("packed", 999999)}}));
    PaletteImage blank = MakeImage(800, 800, false);
    ASSERT_TRUE(Write(folder + "/999999.qrl", blank));
    EXPECT_EQ(LoadMakerImageFile((folder + "/999999.qrl").c_str()), 800 * 800 + 1078);
    ExpectPixelsOf(blank);
}

TEST_F(SystemFiles, LyingPaletteImagesAreRefused)
{
    PaletteImage image = MakeImage(800, 800, false);
    ASSERT_TRUE(Write(tmp / "000000.qrl", image));
    std::string good = Bytes(tmp / "000000.qrl");
    auto refused = [&](const std::string& bytes) {
        WriteFileText(tmp / "000008.qrl", bytes);
        return LoadMakerImageFile((tmp / "000008.qrl").c_str()) == 0;
    };
    EXPECT_TRUE(refused(good.substr(0, 1000)));  // shorter than the header
    EXPECT_TRUE(refused(good.substr(0, good.size() - 1)));  // packed area cut short
    std::string huge = good;
    huge[18] = 0;  // width 2048 x height 800: more than the buffer holds
    huge[19] = 8;
    EXPECT_TRUE(refused(huge));
    std::string negative = good;
    negative[25] = '\xff';
    EXPECT_TRUE(refused(negative));
    std::string broken = good;
    for (size_t i = 1100; i < 1200; i++)
        broken[i] = static_cast<char>(broken[i] ^ 0x5a);
    EXPECT_TRUE(refused(broken));
    EXPECT_EQ(PaletteImageBuffer.size, 0);  // nothing half unpacked is offered as an image
    PaletteImage raw = MakeImage(100, 100, true);
    ASSERT_TRUE(Write(tmp / "000016.qrl", raw));
    EXPECT_TRUE(refused(Bytes(tmp / "000016.qrl").substr(0, 1083 + 9999)));  // unpacked area cut short
    EXPECT_EQ(LoadMakerImageFile((tmp / "missing.qrl").c_str()), 0);
    EXPECT_EQ(LoadMakerImageFile((tmp / "000000.qrl").c_str()), 800 * 800 + 1078);
}

TEST_F(SystemFiles, ScrambledImageLargerThanTheBufferIsRefused)
{
    std::string big(kPaletteImageCapacity + 1, 'x');
    ASSERT_TRUE(WriteScrambledImageFile((tmp / "000001.qrj").c_str(), big.data(), big.size()));
    EXPECT_EQ(LoadMakerImageFile((tmp / "000001.qrj").c_str()), 0);
    EXPECT_EQ(LoadMakerImageFile((tmp / "000002.qrj").c_str()), 0);
}

TEST_F(SystemFiles, ScrambledListRoundTripsWordByWord)
{
    std::string text = tmp / "tpc.txt";
    WriteFileText(text, "2\r\n  TPC_a.bin\tTPC_b.bin\n");
    ASSERT_TRUE(WriteScrambledBin(text.c_str()));
    std::string bin = Bytes(tmp / "tpc.bin");
    ASSERT_GE(bin.size(), 4u);
    int32_t seed;
    std::memcpy(&seed, bin.data(), 4);
    EXPECT_EQ(seed, ScrambledBinSeed(text.c_str()));
    EXPECT_EQ(seed, 632);  // "c.txt" as hex digits "632e747874"
    EXPECT_EQ(bin.find("TPC_a"), std::string::npos);
    std::vector<char> read;
    int count = -1;
    ASSERT_EQ(ReadScrambledBin((tmp / "tpc.bin").c_str(), &read, &count), 0);
    EXPECT_EQ(count, static_cast<int>(bin.size()) - 4);
    EXPECT_STREQ(read.data(), "2\nTPC_a.bin\nTPC_b.bin\n");
}

TEST_F(SystemFiles, ScrambledListFailuresLeaveNothing)
{
    std::vector<char> read = {'x'};
    int count = 5;
    EXPECT_EQ(ReadScrambledBin((tmp / "missing.bin").c_str(), &read, &count), -1);
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(count, 0);
    WriteFileText(tmp / "short.bin", "abc");
    EXPECT_EQ(ReadScrambledBin((tmp / "short.bin").c_str(), &read, &count), -1);
    WriteFileText(tmp / "seed.bin", std::string("\x07\0\0\0", 4));
    EXPECT_EQ(ReadScrambledBin((tmp / "seed.bin").c_str(), &read, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_STREQ(read.data(), "");
    EXPECT_FALSE(WriteScrambledBin((tmp / "missing.txt").c_str()));
    EXPECT_FALSE(WriteScrambledWords((tmp / "no/folder/x.bin").c_str(), {"a"}, 3));
    EXPECT_FALSE(std::filesystem::exists(tmp / "missing.bin"));
    for (const auto& entry : std::filesystem::directory_iterator(tmp.Path()))
        EXPECT_EQ(entry.path().extension(), ".bin") << entry.path();  // no temporary left behind
}

TEST(SystemFilePaths, PathTailTakesTheLastPartsWithSlashes)
{
    char out[64];
    PathTail("C:\\root\\ICAO\\area12\\data0\\016008.qrl", out, sizeof out, 3);
    EXPECT_STREQ(out, "area12/data0/016008.qrl");
    PathTail("/root/ICAO/area12/data0/016008.qrl", out, sizeof out, 4);
    EXPECT_STREQ(out, "ICAO/area12/data0/016008.qrl");
    PathTail("data0/016008.qrl", out, sizeof out, 3);
    EXPECT_STREQ(out, "data0/016008.qrl");
    PathTail("/a/b", out, 4, 1);
    EXPECT_STREQ(out, "b");
}

TEST(SystemFilePaths, ExcludedMapFilesAreTheOtherProductsLists)
{
    EXPECT_TRUE(IsExcludedMapFile("Korvane.bin"));
    EXPECT_TRUE(IsExcludedMapFile("KorvaneIFR.bin"));
    EXPECT_FALSE(IsExcludedMapFile("tpc.bin"));
    EXPECT_FALSE(IsExcludedMapFile(nullptr));
}

} // namespace
