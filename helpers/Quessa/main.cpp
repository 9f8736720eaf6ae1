// Processor core and CPU usage. Exchange line 2: "core usage" (core -1: the
// highest); the reply is the chosen pair.
#include "helpers/helper_exchange.h"

#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<long> now;
    if (!ReadExchangeNumbers(argv[1], 2, &now))
        return 1;
    std::string cores = "-1";
    for (unsigned i = 0; i < std::thread::hardware_concurrency() && i < 64; i++)
        cores += "|" + std::to_string(i);
    std::string answer;
    if (!AskUser({"--forms", "--title=Processor", "--separator= ",
                  "--text=Core (now " + std::to_string(now[0]) + ", -1 the highest) and CPU usage (now " +
                      std::to_string(now[1]) + ": 0 full, 1 less, 2 least)",
                  "--add-combo=Core", "--combo-values=" + cores, "--add-combo=CPU usage", "--combo-values=0|1|2"},
                 &answer))
        return 0;
    std::vector<long> chosen = LineNumbers(answer, 2);
    if (chosen.size() < 2 || chosen[0] < -1 || chosen[0] > 63 || chosen[1] < 0 || chosen[1] > 2)
        return 0;
    return WriteReply(std::string(argv[1]) + ".res", std::to_string(chosen[0]) + " " + std::to_string(chosen[1])) ? 0
                                                                                                                   : 1;
}
