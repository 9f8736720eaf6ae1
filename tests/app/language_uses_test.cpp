// Checks the shipped language files against every use of their texts: each
// text exists, carries exactly the conversions its caller passes and fits
// where it is shown; both languages keep the same numbering.
#include "app/language.h"
#include "tests/app/language_uses.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using language_uses::Uses;

namespace {

const char* const SectionNames[] = {"Tooltip", "General", "Note", "Warning", "Error", "Edit"};
constexpr LanguageSection AllSections[] = {LanguageSection::Tooltip, LanguageSection::General,
                                           LanguageSection::Note,    LanguageSection::Warning,
                                           LanguageSection::Error,   LanguageSection::Edit};

std::string Describe(const LanguageUse& use)
{
    return std::string("[") + SectionNames[static_cast<int>(use.section)] + "] " + std::to_string(use.number) +
           " (" + use.where + ")";
}

int CountLines(const char* text)
{
    int lines = 1;
    for (const char* p = text; *p; ++p)
        lines += *p == '\n';
    return lines;
}

std::string ReadShippedFile(const char* code)
{
    std::ifstream in(fs::path(TVL_ROOT_DIR) / "Languages" / (std::string("language_") + code + ".ini"),
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ShippedLanguage : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        oldCwd = fs::current_path();
        fs::current_path(fs::path(TVL_ROOT_DIR) / "System");
        ASSERT_EQ(LoadLanguage(GetParam()), 0) << "language_" << GetParam() << ".ini not shipped";
    }
    void TearDown() override { fs::current_path(oldCwd); }
    fs::path oldCwd;
};

TEST_P(ShippedLanguage, HoldsEveryUsedTextWithItsConversions)
{
    for (const LanguageUse& use : Uses) {
        const char* text = GetLanguageText(use.section, use.number);
        EXPECT_STRNE(text, "") << Describe(use) << " is missing";
        EXPECT_TRUE(LanguageTextConversionsMatch(text, use.conversions))
            << Describe(use) << " is \"" << text << "\" but its caller passes \"" << use.conversions << "\"";
    }
}

TEST_P(ShippedLanguage, TextsFitWhereTheyAreShown)
{
    for (const LanguageUse& use : Uses) {
        const char* text = GetLanguageText(use.section, use.number);
        if (use.maxLength > 0) {
            EXPECT_LE(std::strlen(text), static_cast<size_t>(use.maxLength)) << Describe(use);
        }
        if (use.maxLines > 0) {
            EXPECT_LE(CountLines(text), use.maxLines) << Describe(use);
        }
    }
    std::string help;
    for (int n = language_uses::EditHelpFirst; n <= language_uses::EditHelpLast; ++n)
        help += GetEditText(n);
    EXPECT_LT(help.size(), 1024u) << "the georeference editor help overflows the screen message";
}

TEST_P(ShippedLanguage, TooltipLineCountsMatchTheirTexts)
{
    TooltipEntry tip;
    for (int n = 0; n < GetLanguageTextCount(LanguageSection::Tooltip); ++n) {
        GetTooltipText(&tip, n);
        EXPECT_EQ(static_cast<int>(tip.lineCount), CountLines(tip.text.c_str())) << "tooltip " << n;
    }
}

TEST_P(ShippedLanguage, FormatsTheConversionTextsWithRealArguments)
{
    char out[400];
    ASSERT_TRUE(FormatLanguageText(out, sizeof out, LanguageSection::General, 4, "%d %d", 3, 12));
    EXPECT_NE(std::strstr(out, "3"), nullptr);
    EXPECT_NE(std::strstr(out, "12"), nullptr);
    char shortMessage[100];
    ASSERT_TRUE(FormatLanguageText(shortMessage, sizeof shortMessage, LanguageSection::Error, 9, "%s %s",
                                   "Aircraft2", ".png"));
    EXPECT_NE(std::strstr(shortMessage, "Aircraft2.png"), nullptr);
    ASSERT_TRUE(FormatLanguageText(out, sizeof out, LanguageSection::General, 13, "%s %s %s", "Tervalingo",
                                   "2.3", "100"));
    EXPECT_NE(std::strstr(out, "Tervalingo"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ShippedLanguage, ::testing::Values("en", "de"));

// Numbering is by position, so a text added to one file only shifts every
// later text of that section in the other language.
TEST(ShippedLanguages, KeepTheSameNumberingAndConversions)
{
    const fs::path oldCwd = fs::current_path();
    fs::current_path(fs::path(TVL_ROOT_DIR) / "System");
    std::vector<std::string> english[6];
    ASSERT_EQ(LoadLanguage("en"), 0);
    for (LanguageSection section : AllSections)
        for (int n = 0; n < GetLanguageTextCount(section); ++n)
            english[static_cast<int>(section)].push_back(GetLanguageText(section, n));
    ASSERT_EQ(LoadLanguage("de"), 0);
    for (LanguageSection section : AllSections) {
        const std::vector<std::string>& en = english[static_cast<int>(section)];
        const char* name = SectionNames[static_cast<int>(section)];
        ASSERT_EQ(GetLanguageTextCount(section), static_cast<int>(en.size())) << name;
        for (size_t n = 0; n < en.size(); ++n) {
            const char* de = GetLanguageText(section, static_cast<int>(n));
            EXPECT_EQ(en[n].empty(), *de == '\0') << name << " " << n;
            EXPECT_TRUE(LanguageTextConversionsMatch(de, en[n].c_str())) << name << " " << n;
        }
    }
    fs::current_path(oldCwd);
}

TEST(ShippedLanguages, AreListedWithTheirOwnNames)
{
    const fs::path oldCwd = fs::current_path();
    fs::current_path(fs::path(TVL_ROOT_DIR) / "System");
    ASSERT_GE(EnumerateLanguages(), 2);
    std::string names;
    for (int i = 0; i < GetLanguageCount(); ++i)
        names += std::string(GetLanguageEntryCode(i)) + "=" + GetLanguageEntryName(i) + ";";
    EXPECT_NE(names.find("de=Deutsch;"), std::string::npos) << names;
    EXPECT_NE(names.find("en=English;"), std::string::npos) << names;
    fs::current_path(oldCwd);
}

TEST(ShippedLanguages, AreStoredInCodePage1252)
{
    for (const char* code : {"en", "de"}) {
        const std::string bytes = ReadShippedFile(code);
        ASSERT_FALSE(bytes.empty()) << code;
        for (size_t i = 0; i + 1 < bytes.size(); ++i) {
            const auto lead = static_cast<unsigned char>(bytes[i]);
            const auto next = static_cast<unsigned char>(bytes[i + 1]);
            EXPECT_FALSE(lead >= 0xC2 && lead <= 0xF4 && next >= 0x80 && next <= 0xBF)
                << code << ": UTF-8 sequence at byte " << i;
        }
        EXPECT_NE(bytes.find('\xB0'), std::string::npos) << code << ": degree sign";
    }
    const std::string german = ReadShippedFile("de");
    for (char umlaut : {'\xE4', '\xF6', '\xFC', '\xDF'})
        EXPECT_NE(german.find(umlaut), std::string::npos);
}

TEST(ShippedLanguages, NoTextLineLooksLikeASectionHeader)
{
    for (const char* code : {"en", "de"}) {
        const std::string bytes = ReadShippedFile(code);
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find('\n', start);
            if (end == std::string::npos)
                end = bytes.size();
            const std::string line = bytes.substr(start, end - start);
            if (line.find('[') != std::string::npos && line.find(']') != std::string::npos) {
                EXPECT_EQ(line.front(), '[') << code << ": " << line;
            }
            start = end + 1;
        }
    }
}

}  // namespace
