// A choice from a list. The exchange file: a title, the window centre, then
// one entry a line. The reply is the chosen entry; an empty reply chooses
// nothing.
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
    std::vector<std::string> args = {"--list", "--title=" + ToUtf8(lines[0]), "--column=" + ToUtf8(lines[0]),
                                     "--hide-header", "--height=400"};
    // Entries go on the list's input, so that one reading like an option is
    // shown as the text it is.
    std::vector<std::string> entries;
    for (size_t i = 2; i < lines.size(); i++)
        if (!lines[i].empty())
            entries.push_back(ToUtf8(lines[i]));
    std::string answer, chosen;
    if (AskUser(args, &answer, entries)) {
        std::string entry = FromUtf8(answer);
        for (size_t i = 2; i < lines.size(); i++)
            if (!lines[i].empty() && lines[i] == entry)
                chosen = entry;
    }
    return WriteReply(std::string(argv[1]) + ".res", chosen.empty() ? "" : chosen + "\n") ? 0 : 1;
}
