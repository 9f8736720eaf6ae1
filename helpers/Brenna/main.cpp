// The runway filter of the emergency search. Exchange line 2: "surface
// length" (surface 1 hard, 2 soft, 3 both; length in feet); the reply is
// the chosen pair.
#include "helpers/helper_exchange.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<long> now;
    if (!ReadExchangeNumbers(argv[1], 2, &now))
        return 1;
    std::string answer;
    if (!AskUser({"--forms", "--title=Emergency runways", "--separator= ",
                  "--text=Surface (now " + std::to_string(now[0]) + ": 1 hard, 2 soft, 3 both) and shortest length (now " +
                      std::to_string(now[1]) + " ft)",
                  "--add-combo=Surface", "--combo-values=1|2|3", "--add-entry=Length (ft)"},
                 &answer))
        return 0;
    std::vector<long> chosen = LineNumbers(answer, 2);
    if (chosen.empty() || chosen[0] < 1 || chosen[0] > 3)
        return 0;
    long length = chosen.size() >= 2 && chosen[1] >= 0 ? chosen[1] : now[1];
    return WriteReply(std::string(argv[1]) + ".res", std::to_string(chosen[0]) + " " + std::to_string(length)) ? 0 : 1;
}
