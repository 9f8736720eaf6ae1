// Headless message boxes: reported on stderr in UTF-8, answered from the
// environment, never with a button the box does not have.
#include "platform/messagebox.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

int Ask(const char* answer, UINT type)
{
    if (answer)
        setenv("TVL_MESSAGEBOX_ANSWER", answer, 1);
    else
        unsetenv("TVL_MESSAGEBOX_ANSWER");
    return MessageBoxA(nullptr, "Really exit?", "Zorizeruverovu Plovik", type);
}

TEST(MessageBoxTest, AnswersFromTheEnvironmentByNameOrNumber)
{
    EXPECT_EQ(Ask("IDYES", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(Ask("idno", MB_YESNO), IDNO);
    EXPECT_EQ(Ask("2", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(Ask(nullptr, MB_OK), IDOK);
}

TEST(MessageBoxTest, AnAnswerTheBoxLacksGivesItsDefaultButton)
{
    EXPECT_EQ(Ask("IDOK", MB_YESNO), IDYES);
    EXPECT_EQ(Ask("IDOK", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(Ask("banana", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(Ask("IDYES", MB_OK | 0x42040), IDOK);
}

TEST(MessageBoxTest, ReportsCaptionAndTextInUtf8)
{
    testing::internal::CaptureStderr();
    MessageBoxA(nullptr, "Heading 270\xB0", "Zorizeruverovu", MB_OK);
    MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("[Zorizeruverovu] Heading 270\xC2\xB0\n"), std::string::npos) << printed;
}

} // namespace
