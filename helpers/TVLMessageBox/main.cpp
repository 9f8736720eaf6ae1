// A notice the user confirms. Exchange line 2: the text (code page 1252).
// The answer replaces the file: "1" when the user wants it no more, else "0".
#include "helpers/helper_exchange.h"
#include "platform/codepage.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<std::string> lines;
    if (!ReadExchangeLines(argv[1], &lines) || lines.size() < 2)
        return 1;
    std::string answer;
    bool confirmed = AskUser({"--question", "--no-markup", "--title=Tervalingo", "--text=" + ToUtf8(lines[1]),
                              "--ok-label=Do not show again", "--cancel-label=OK"},
                             &answer);
    // Headless the scripted answer is the number itself.
    if (confirmed && !CanAskUser())
        confirmed = answer == "1";
    return WriteReply(argv[1], confirmed ? "1" : "0") ? 0 : 1;
}
