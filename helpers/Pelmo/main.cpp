// The news viewer: shows "newstext.txt" of the working folder. Parameters:
// the map window's centre (not used: the desktop places the window).
#include "helpers/helper_exchange.h"
#include "platform/codepage.h"

#include <cstdio>
#include <string>
#include <vector>

int main()
{
    std::vector<std::string> lines;
    if (!ReadExchangeLines("newstext.txt", &lines, 2000) || !CanAskUser())
        return 0;
    std::string text;
    for (const std::string& line : lines)
        text += ToUtf8(line) + "\n";
    // zenity reads the text from a file: hand it the converted copy.
    const char* shown = "newstext.utf8.txt";
    if (!WriteReply(shown, text))
        return 1;
    std::string answer;
    AskUser({"--text-info", "--title=Tervalingo news", std::string("--filename=") + shown, "--width=500",
             "--height=300"},
            &answer);
    std::remove(shown);
    return 0;
}
