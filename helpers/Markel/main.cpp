// Symbol sizes: six sizes in percent and the autosize switch. Exchange line
// 2: "vor fix airport ndb marker dme autosize"; the reply is the same seven
// numbers.
#include "helpers/helper_exchange.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<long> now;
    if (!ReadExchangeNumbers(argv[1], 7, &now))
        return 1;
    static const char* const names[6] = {"VOR", "Fix", "Airport", "NDB", "Marker", "DME"};
    std::vector<std::string> args = {"--forms", "--title=Symbol sizes", "--text=Sizes in percent (autosize: 1 on, 0 off)",
                                     "--separator=|"};
    for (int i = 0; i < 6; i++)
        args.push_back(std::string("--add-entry=") + names[i] + " (" + std::to_string(now[i]) + ")");
    args.push_back("--add-entry=Autosize (" + std::to_string(now[6]) + ")");
    std::string answer;
    if (!AskUser(args, &answer))
        return 0;
    // Fields left empty keep their values.
    std::vector<long> chosen = now;
    size_t field = 0, start = 0;
    while (field < 7 && start <= answer.size()) {
        size_t end = answer.find_first_of("| ", start);
        std::string text = answer.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::vector<long> value = LineNumbers(text, 1);
        if (!text.empty() && value.empty())
            return 0;
        if (!value.empty())
            chosen[field] = value[0];
        field++;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::string reply;
    for (size_t i = 0; i < 7; i++)
        reply += (i ? " " : "") + std::to_string(i == 6 ? (chosen[6] != 0 ? 1 : 0) : chosen[i]);
    return WriteReply(std::string(argv[1]) + ".res", reply) ? 0 : 1;
}
