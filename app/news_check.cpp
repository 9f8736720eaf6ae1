// The news check: the day stamp in the settings limits it to one request a
// day, the item number to one showing per item.
#include "app/news_check.h"

#include "app/helper_dialogs.h"
#include "app/main_window.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "maps/http_download.h"
#include "maps/tile_sources.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/ini_sections.h"
#include "platform/profile.h"
#include "platform/threads.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int DaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 303, 333};

// The key as a number; "None" (missing) and text that is no number give fallback.
long ReadNumberKey(const char* key, DWORD size, long fallback)
{
    char text[512];
    GetPrivateProfileStringA(MainSection, key, "None", text, size < sizeof text ? size : sizeof text, IniFilePath);
    if (std::strcmp(text, "None") == 0)
        return fallback;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    return end == text ? fallback : value;
}

void WriteNumberKey(const char* key, long value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%ld", value);
    WritePrivateProfileStringA(MainSection, key, text, IniFilePath);
}

}  // namespace

long NewsDayStamp(const SYSTEMTIME& date)
{
    int month = date.wMonth >= 1 && date.wMonth <= 12 ? date.wMonth : 1;
    return static_cast<long>(date.wYear) * 1000 + DaysBeforeMonth[month - 1] + date.wDay;
}

void ProgramVersionWord(char* out, size_t size)
{
    int parts[4] = {0, 0, 0, 0};
    std::sscanf(VersionText, "%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]);
    std::snprintf(out, size, "V%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
}

void CheckForNews()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    CheckForNewsOn(NewsDayStamp(now));
}

void CheckForNewsOn(long today)
{
    long stored = ReadNumberKey("NewsCheck", 511, 0);
    if (today <= stored)
        return;
    WriteNumberKey("NewsCheck", today);
    ShowNews();
}

void ShowNews(int)
{
    long last = ReadNumberKey("NewsVersion", 28, -1);
    int placement[11];
    GetMainWindowPlacement(placement);
    char path[128];
    std::snprintf(path, sizeof path, "/NewsHandler.php?language=%s", Settings.Language);
    static char body[8192];
    body[0] = '\0';
    if (HttpGet(GetMakerServerHost(), path, body, sizeof body) != 0 || !body[0] || std::strstr(body, "No news")) {
        WriteNumberKey("NewsVersion", last);
        return;
    }
    long number = 0;
    char version[64] = "";
    if (std::sscanf(body, "%ld %63s", &number, version) < 1 || number <= last) {
        WriteNumberKey("NewsVersion", last);
        return;
    }
    last = number;
    char numberText[32];
    std::snprintf(numberText, sizeof numberText, "%ld", number);
    const char* found = std::strstr(body, numberText);
    if (char* blank = std::strchr(version, '_'))
        *blank = ' ';
    char programVersion[64];
    ProgramVersionWord(programVersion, sizeof programVersion);
    if (std::strcmp(version, programVersion) > 0) {
        // The text follows the number and one separating character.
        const char* text = body;
        if (found) {
            text = found + std::strlen(numberText);
            if (*text)
                text++;
        }
        if (ReplaceFileByPrinting("newstext.txt", [text](FILE* f) { return std::fputs(text, f) >= 0; })) {
            char parameters[64];
            std::snprintf(parameters, sizeof parameters, "%d %d", (placement[7] + placement[9]) / 2,
                          (placement[8] + placement[10]) / 2);
            char program[600];
            std::snprintf(program, sizeof program, "%s/Pelmo.exe", SystemFolder);
            RunHelperProgram(program, parameters);
        } else {
            WriteLog("newstext.txt could not be written");
        }
    }
    WriteNumberKey("NewsVersion", last);
}
