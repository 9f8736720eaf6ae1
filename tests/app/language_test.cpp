// Tests of the language-file loader, the language list and the checked formatter.
#include "app/language.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A program root in a temporary folder, the process working in its System folder.
class LanguageFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.Path().empty());
        fs::create_directories(root / "System");
        fs::create_directories(root / "Languages");
        inSystem = std::make_unique<WorkingFolder>((root / "System").string());
        ClearLanguageTexts();
    }
    void TearDown() override { inSystem.reset(); }
    void Write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(root / "Languages" / name, std::ios::binary) << bytes;
    }
    TempFolder folder;
    fs::path root = folder.Path();
    std::unique_ptr<WorkingFolder> inSystem;
};

const char* const WholeFile =
    "; comment before any section\n"
    "[Tooltip]\n"
    "0=Zoom in\n"
    "1=Two\\nlines\n"
    "[General]\n"
    "0=First\n"
    "7=Second, key ignored\n"
    "[Note]\n"
    "Language1=English\n"
    "[Warning]\n"
    "0=Careful\n"
    "[Error]\n"
    "0=Broken\n"
    "[Edit]\n"
    "0=Cancel\n";

TEST_F(LanguageFiles, ReadsAllSixSectionsNumberedByPosition)
{
    Write("language_en.ini", WholeFile);
    ASSERT_EQ(LoadLanguage("en"), 0);
    TooltipEntry tip;
    GetTooltipText(&tip, 0);
    EXPECT_EQ(tip.text, "Zoom in");
    EXPECT_EQ(tip.lineCount, 1u);
    EXPECT_STREQ(GetGeneralText(0), "First");
    EXPECT_STREQ(GetGeneralText(1), "Second, key ignored");
    EXPECT_STREQ(GetNoteText(0), "English");
    EXPECT_STREQ(GetWarningText(0), "Careful");
    EXPECT_STREQ(GetErrorText(0), "Broken");
    EXPECT_STREQ(GetEditText(0), "Cancel");
    EXPECT_EQ(GetLanguageTextCount(LanguageSection::General), 2);
}

TEST_F(LanguageFiles, ExpandsLineBreaksAndCountsTooltipLines)
{
    Write("language_en.ini", WholeFile);
    ASSERT_EQ(LoadLanguage("en"), 0);
    TooltipEntry tip;
    GetTooltipText(&tip, 1);
    EXPECT_EQ(tip.text, "Two\nlines");
    EXPECT_EQ(tip.lineCount, 2u);
    TooltipEntry copy;
    CopyTooltipEntry(&copy, &tip);
    EXPECT_EQ(copy.text, tip.text);
    EXPECT_EQ(copy.lineCount, 2u);
}

TEST_F(LanguageFiles, OutOfRangeGivesEmptyTextsNeverNull)
{
    Write("language_en.ini", WholeFile);
    ASSERT_EQ(LoadLanguage("en"), 0);
    TooltipEntry tip{"stale", 5};
    GetTooltipText(&tip, 99);
    EXPECT_EQ(tip.text, "");
    EXPECT_EQ(tip.lineCount, 1u);
    GetTooltipText(&tip, -1);
    EXPECT_EQ(tip.lineCount, 1u);
    for (int n : {-1, 2, 1000}) {
        ASSERT_NE(GetNoteText(n), nullptr);
        EXPECT_STREQ(GetNoteText(n), "");
        EXPECT_STREQ(GetGeneralText(n), "");
        EXPECT_STREQ(GetWarningText(n), "");
        EXPECT_STREQ(GetErrorText(n), "");
        EXPECT_STREQ(GetEditText(n), "");
    }
}

TEST_F(LanguageFiles, EmptyTextKeepsNumberingAndShortLinesTakeNone)
{
    Write("language_en.ini", "[General]\n0=\n\nx\n2=after\n3=a=b\nno equals sign\n4=last\n");
    ASSERT_EQ(LoadLanguage("en"), 0);
    EXPECT_EQ(GetLanguageTextCount(LanguageSection::General), 4);
    EXPECT_STREQ(GetGeneralText(0), "");
    EXPECT_STREQ(GetGeneralText(1), "after");
    EXPECT_STREQ(GetGeneralText(2), "a=b");
    EXPECT_STREQ(GetGeneralText(3), "last");
}

TEST_F(LanguageFiles, SectionsOutOfOrderAreNotLoaded)
{
    Write("language_en.ini", "[General]\n0=g\n[Edit]\n0=e\n[Note]\n0=n\n");
    ASSERT_EQ(LoadLanguage("en"), 0);
    EXPECT_STREQ(GetGeneralText(0), "g");
    EXPECT_STREQ(GetEditText(0), "e");
    EXPECT_EQ(GetLanguageTextCount(LanguageSection::Note), 0);
    EXPECT_STREQ(GetNoteText(0), "");
}

TEST_F(LanguageFiles, TextWithBothBracketsEndsItsSection)
{
    Write("language_en.ini", "[General]\n0=one\n1=runway [L]\n2=lost\n[Note]\n0=n\n");
    ASSERT_EQ(LoadLanguage("en"), 0);
    EXPECT_EQ(GetLanguageTextCount(LanguageSection::General), 1);
    EXPECT_STREQ(GetNoteText(0), "n");
}

TEST_F(LanguageFiles, WindowsLineEndsAndMissingLastLineFeed)
{
    Write("language_en.ini", "[General]\r\n0=crlf\r\n1=no line feed");
    ASSERT_EQ(LoadLanguage("en"), 0);
    EXPECT_STREQ(GetGeneralText(0), "crlf");
    EXPECT_STREQ(GetGeneralText(1), "no line feed");
}

TEST_F(LanguageFiles, CodePage1252BytesPassThrough)
{
    Write("language_de.ini", "[General]\n0=H\xF6he 5\xB0\n");
    ASSERT_EQ(LoadLanguage("de"), 0);
    EXPECT_STREQ(GetGeneralText(0), "H\xF6he 5\xB0");
}

TEST_F(LanguageFiles, OverlongLinesAreSplitWithoutHarm)
{
    const std::string longText(2500, 'x');
    Write("language_en.ini", "[General]\n0=" + longText + "\n1=next\n");
    ASSERT_EQ(LoadLanguage("en"), 0);
    EXPECT_EQ(std::string(GetGeneralText(0)), std::string(997, 'x'));
    EXPECT_STREQ(GetGeneralText(1), "next");
}

TEST_F(LanguageFiles, MissingFileKeepsTheOldTexts)
{
    Write("language_en.ini", WholeFile);
    ASSERT_EQ(LoadLanguage("en"), 0);
    EXPECT_EQ(LoadLanguage("xx"), 1);
    EXPECT_STREQ(GetGeneralText(0), "First");
}

TEST_F(LanguageFiles, CodesThatLeaveTheFolderAreRefused)
{
    fs::create_directories(root / "Other");
    std::ofstream(root / "Other" / "language_x.ini") << "[General]\n0=outside\n";
    for (const char* code : {"../Other/x", "", "a/b", "a\\b"})
        EXPECT_EQ(LoadLanguage(code), 1) << code;
    EXPECT_EQ(LoadLanguage(nullptr), 1);
    EXPECT_STREQ(GetGeneralText(0), "");
}

TEST_F(LanguageFiles, EmptyOrBinaryFilesLoadNothing)
{
    Write("language_en.ini", "");
    EXPECT_EQ(LoadLanguage("en"), 0);
    EXPECT_EQ(GetLanguageTextCount(LanguageSection::General), 0);
    Write("language_en.ini", std::string("[General]\n0=a\0b\n\xff\xfe[\n", 16));
    EXPECT_EQ(LoadLanguage("en"), 0);
    EXPECT_STREQ(GetGeneralText(0), "a");
}

TEST_F(LanguageFiles, TextsStayValidAcrossReloads)
{
    Write("language_en.ini", "[General]\n0=English text\n");
    Write("language_de.ini", "[General]\n0=Deutscher Text\n");
    ASSERT_EQ(LoadLanguage("en"), 0);
    const char* kept = GetGeneralText(0);
    ASSERT_EQ(LoadLanguage("de"), 0);
    EXPECT_STREQ(kept, "English text");
    EXPECT_STREQ(GetGeneralText(0), "Deutscher Text");
    ASSERT_EQ(LoadLanguage("en"), 0);
    EXPECT_EQ(GetGeneralText(0), kept);
}

TEST_F(LanguageFiles, ReadersOnOtherThreadsSeeWholeTexts)
{
    Write("language_en.ini", "[General]\n0=English text\n");
    Write("language_de.ini", "[General]\n0=Deutscher Text\n");
    ASSERT_EQ(LoadLanguage("en"), 0);
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!done.load()) {
            const std::string text = GetGeneralText(0);
            if (text != "English text" && text != "Deutscher Text" && !text.empty())
                ++bad;
        }
    });
    for (int i = 0; i < 200; ++i)
        LoadLanguage(i % 2 ? "en" : "de");
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST_F(LanguageFiles, ListsLanguageFilesSortedByName)
{
    Write("language_fr.ini", "[Note]\nLanguage1=Fran\xE7" "ais\n");
    Write("language_en.ini", WholeFile);
    Write("language_de.ini", "[Note]\nLanguage1=Deutsch\n");
    Write("language_.ini", "");
    Write("readme.txt", "");
    Write("language_it.bak", "");
    ASSERT_EQ(EnumerateLanguages(), 3);
    EXPECT_EQ(GetLanguageCount(), 3);
    EXPECT_STREQ(GetLanguageEntryCode(0), "de");
    EXPECT_STREQ(GetLanguageEntryCode(1), "en");
    EXPECT_STREQ(GetLanguageEntryCode(2), "fr");
    EXPECT_STREQ(GetLanguageEntryCode(3), "");
    EXPECT_STREQ(GetLanguageEntryName(0), "Deutsch");
    EXPECT_STREQ(GetLanguageEntryName(1), "English");
    EXPECT_STREQ(GetLanguageEntryName(2), "Fran\xE7" "ais");
    EXPECT_STREQ(GetLanguageEntryName(-1), "");
    EXPECT_EQ(fs::current_path(), root / "System");
}

TEST_F(LanguageFiles, NamesAreCutAndFolderCaseIsForgiven)
{
    fs::rename(root / "Languages", root / "languages");
    std::ofstream(root / "languages" / "Language_PT.INI") << "[Note]\nLanguage1=" << std::string(80, 'p') << "\n";
    std::ofstream(root / "languages" / "language_nl.ini") << "[General]\n0=no name here\n";
    ASSERT_EQ(EnumerateLanguages(), 2);
    EXPECT_STREQ(GetLanguageEntryCode(0), "PT");
    EXPECT_EQ(std::string(GetLanguageEntryName(0)), std::string(48, 'p'));
    EXPECT_STREQ(GetLanguageEntryCode(1), "nl");
    EXPECT_STREQ(GetLanguageEntryName(1), "");
    EXPECT_EQ(LoadLanguage("nl"), 0);
    EXPECT_STREQ(GetGeneralText(0), "no name here");
}

TEST_F(LanguageFiles, NoLanguagesFolderGivesAnEmptyList)
{
    Write("language_de.ini", "");
    ASSERT_EQ(EnumerateLanguages(), 1);
    fs::remove_all(root / "Languages");
    EXPECT_EQ(EnumerateLanguages(), 0);
    EXPECT_EQ(GetLanguageCount(), 0);
    EXPECT_EQ(fs::current_path(), root / "System");
}

TEST(ExpandLineBreaks, CountsLinesAndLeavesOtherBackslashes)
{
    char text[] = "a\\nb\\nc";
    EXPECT_EQ(ExpandLineBreaks(text), 3);
    EXPECT_STREQ(text, "a\nb\nc");
    char plain[] = "C:\\temp\\";
    EXPECT_EQ(ExpandLineBreaks(plain), 1);
    EXPECT_STREQ(plain, "C:\\temp\\");
    char empty[] = "";
    EXPECT_EQ(ExpandLineBreaks(empty), 1);
    EXPECT_EQ(ExpandLineBreaks(nullptr), 1);
    char pairAtEnd[] = "end\\n";
    EXPECT_EQ(ExpandLineBreaks(pairAtEnd), 2);
    EXPECT_STREQ(pairAtEnd, "end\n");
}

TEST(LanguageTextConversions, MatchByArgumentTypeAndOrder)
{
    EXPECT_TRUE(LanguageTextConversionsMatch("Seite %d von %d", "%d %d"));
    EXPECT_TRUE(LanguageTextConversionsMatch("%3d%% of %-5.2f", "%d %f"));
    EXPECT_TRUE(LanguageTextConversionsMatch("%x and %lf", "%d %f"));
    EXPECT_TRUE(LanguageTextConversionsMatch("%.20s, %s", "%s %s"));
    EXPECT_TRUE(LanguageTextConversionsMatch("plain 100%%", ""));
    EXPECT_FALSE(LanguageTextConversionsMatch("%s", "%d"));
    EXPECT_FALSE(LanguageTextConversionsMatch("%d", "%d %d"));
    EXPECT_FALSE(LanguageTextConversionsMatch("%d %d %d", "%d %d"));
    EXPECT_FALSE(LanguageTextConversionsMatch("%d %s", "%s %d"));
    EXPECT_FALSE(LanguageTextConversionsMatch("%ld", "%d"));
}

TEST(LanguageTextConversions, RefuseWhatCouldReadOrWriteUnchecked)
{
    for (const char* text : {"%n", "%*d", "%.*s", "%1$d", "ends in %", "%ls", "%k", "%lc"})
        EXPECT_FALSE(LanguageTextConversionsMatch(text, "%d")) << text;
    EXPECT_FALSE(LanguageTextConversionsMatch(nullptr, ""));
}

TEST_F(LanguageFiles, FormatsOnlyCheckedTexts)
{
    Write("language_en.ini", "[General]\n0=Page %d of %d\n1=Oops %s\n");
    ASSERT_EQ(LoadLanguage("en"), 0);
    char out[64];
    EXPECT_TRUE(FormatLanguageText(out, sizeof out, LanguageSection::General, 0, "%d %d", 3, 12));
    EXPECT_STREQ(out, "Page 3 of 12");
    EXPECT_FALSE(FormatLanguageText(out, sizeof out, LanguageSection::General, 1, "%d", 7));
    EXPECT_STREQ(out, "Oops %s");
    EXPECT_FALSE(FormatLanguageText(out, sizeof out, LanguageSection::General, 9, "%d", 7));
    EXPECT_STREQ(out, "");
    char tiny[6];
    EXPECT_TRUE(FormatLanguageText(tiny, sizeof tiny, LanguageSection::General, 0, "%d %d", 3, 12));
    EXPECT_STREQ(tiny, "Page ");
}

}  // namespace
