// Code page 1252 <-> UTF-8 and the key names of test scripts.
#include "platform/codepage.h"
#include "platform/keymap.h"
#include "platform/window.h"

#include <SDL2/SDL_keycode.h>
#include <gtest/gtest.h>

TEST(CodePage, DegreeSignAndEuroBecomeUtf8)
{
    char out[32];
    EXPECT_EQ(Cp1252ToUtf8("270\xB0 \x80", out, sizeof(out)), 9u);
    EXPECT_STREQ(out, "270\xC2\xB0 \xE2\x82\xAC");
}

TEST(CodePage, ConversionCutsAtWholeCharacters)
{
    char out[6];
    EXPECT_EQ(Cp1252ToUtf8("abcd\x80", out, sizeof(out)), 4u);
    EXPECT_STREQ(out, "abcd");
    EXPECT_EQ(Cp1252ToUtf8("x", out, 0), 0u);
    EXPECT_EQ(Cp1252ToUtf8(nullptr, out, sizeof(out)), 0u);
    EXPECT_STREQ(out, "");
}

TEST(CodePage, Utf8BackToCodePageWithQuestionMarksForTheRest)
{
    char out[32];
    Utf8ToCp1252("\xC3\xA4\xE2\x82\xAC\xE4\xB8\xAD", out, sizeof(out));
    EXPECT_STREQ(out, "\xE4\x80?");
    // Malformed and overlong sequences never run past the text.
    Utf8ToCp1252("\xC3", out, sizeof(out));
    EXPECT_STREQ(out, "?");
    Utf8ToCp1252("\xC0\xAF" "a", out, sizeof(out));
    EXPECT_STREQ(out, "??a");
}

TEST(CodePage, EveryByteRoundTrips)
{
    for (int b = 1; b < 256; ++b)
        EXPECT_EQ(CodePointToCp1252(Cp1252ToCodePoint(static_cast<unsigned char>(b))), b) << b;
    EXPECT_EQ(CodePointToCp1252(0x4E2D), -1);
}

TEST(KeyMap, SdlKeysBecomeVirtualKeys)
{
    EXPECT_EQ(SdlKeyToVirtualKey(SDLK_a), 'A');
    EXPECT_EQ(SdlKeyToVirtualKey(SDLK_7), '7');
    EXPECT_EQ(SdlKeyToVirtualKey(SDLK_F12), VK_F12);
    EXPECT_EQ(SdlKeyToVirtualKey(SDLK_F13), VK_F12 + 1);
    EXPECT_EQ(SdlKeyToVirtualKey(SDLK_ESCAPE), VK_ESCAPE);
    EXPECT_EQ(SdlKeyToVirtualKey(SDLK_RCTRL), VK_CONTROL);
    EXPECT_EQ(SdlKeyToSidedVirtualKey(SDLK_RCTRL), VK_RCONTROL);
    EXPECT_EQ(SdlKeyToVirtualKey(SDLK_KP_0), VK_NUMPAD0);
    EXPECT_EQ(SdlKeyToVirtualKey(SDLK_KP_9), VK_NUMPAD9);
    EXPECT_EQ(SdlKeyToVirtualKey(SDLK_UNKNOWN), 0);
}

TEST(KeyMap, EveryMappedVirtualKeyComesBack)
{
    for (int vk = 1; vk < 256; ++vk) {
        int32_t key = VirtualKeyToSdlKey(vk);
        if (key) {
            EXPECT_EQ(SdlKeyToVirtualKey(key), vk) << vk;
        }
    }
}

TEST(KeyMap, NamesOfScripts)
{
    EXPECT_EQ(VirtualKeyFromName("a"), 'A');
    EXPECT_EQ(VirtualKeyFromName("7"), '7');
    EXPECT_EQ(VirtualKeyFromName("F10"), VK_F10);
    EXPECT_EQ(VirtualKeyFromName("F25"), 0);
    EXPECT_EQ(VirtualKeyFromName("esc"), VK_ESCAPE);
    EXPECT_EQ(VirtualKeyFromName("VK_LEFT"), VK_LEFT);
    EXPECT_EQ(VirtualKeyFromName("ctrl"), VK_CONTROL);
    EXPECT_EQ(VirtualKeyFromName("0x20"), VK_SPACE);
    EXPECT_EQ(VirtualKeyFromName("0x100"), 0);
    EXPECT_EQ(VirtualKeyFromName("nonsense"), 0);
    EXPECT_EQ(VirtualKeyFromName(""), 0);
    EXPECT_EQ(VirtualKeyFromName(nullptr), 0);
}
