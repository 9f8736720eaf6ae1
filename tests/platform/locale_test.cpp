// The locale name as the home platform gives it.
#include "platform/locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

void SetLocale(const char* all, const char* messages, const char* lang)
{
    all ? setenv("LC_ALL", all, 1) : unsetenv("LC_ALL");
    messages ? setenv("LC_MESSAGES", messages, 1) : unsetenv("LC_MESSAGES");
    lang ? setenv("LANG", lang, 1) : unsetenv("LANG");
}

std::string Locale()
{
    char name[85];
    GetSystemLocaleName(name, sizeof name);
    return name;
}

TEST(LocaleTest, NamesTheLocaleAsLanguageDashTerritory)
{
    SetLocale(nullptr, nullptr, "de_DE.UTF-8");
    EXPECT_EQ(Locale(), "de-DE");
    SetLocale(nullptr, "fr_CA", "de_DE.UTF-8");
    EXPECT_EQ(Locale(), "fr-CA");
    SetLocale("sr_RS@latin", "fr_CA", "de_DE.UTF-8");
    EXPECT_EQ(Locale(), "sr-RS");
    SetLocale(nullptr, nullptr, nullptr);
    EXPECT_EQ(Locale(), "C");
    SetLocale(nullptr, nullptr, "POSIX");
    EXPECT_EQ(Locale(), "C");
    SetLocale(nullptr, nullptr, "en_GB.UTF-8");
    char small[3];
    EXPECT_EQ(GetSystemLocaleName(small, sizeof small), 2);
    EXPECT_STREQ(small, "en");
}

} // namespace
