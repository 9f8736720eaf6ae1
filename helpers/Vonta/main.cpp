// The volume slider. Exchange line 2: "200 - volume%, sound on"; the reply is
// "volume% sound" (a volume of 0 switches the sound off).
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
    // Checked before the subtraction, which a number near the ends of long overflows.
    long volume = now[0] >= 0 && now[0] <= 200 ? 200 - now[0] : 100;
    std::string answer;
    if (!AskUser({"--scale", "--title=Volume", "--text=Volume (0 switches the sound off)",
                  "--min-value=0", "--max-value=200", "--step=5", "--value=" + std::to_string(now[1] ? volume : 0)},
                 &answer))
        return 0;
    std::vector<long> chosen = LineNumbers(answer, 2);
    if (chosen.empty() || chosen[0] < 0 || chosen[0] > 200)
        return 0;
    long sound = chosen.size() >= 2 ? (chosen[1] != 0) : (chosen[0] > 0);
    return WriteReply(std::string(argv[1]) + ".res", std::to_string(chosen[0]) + " " + std::to_string(sound)) ? 0 : 1;
}
