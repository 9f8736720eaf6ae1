// The runway filter of the emergency search. Exchange line 2: "surface
// length" (surface 1 hard, 3 hard and soft; length in feet); the reply is
// the chosen pair, with 2 for hard and soft, which the map stores as 3.
#include "helpers/helper_exchange.h"
#include "helpers/helper_form.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<long> now;
    if (!ReadExchangeNumbers(argv[1], 2, &now))
        return 1;
    FormField surface;
    surface.label = "Surface";
    surface.kind = FormField::Choice;
    surface.choices = {{1, "Hard runways"}, {2, "Hard and soft runways"}};
    surface.value = now[0] == 1 ? 1 : 2;
    FormField length;
    length.label = "Shortest runway (ft)";
    length.value = now[1] < 0 ? 0 : now[1];
    length.min = 0;
    length.max = 20000;
    std::vector<FormField> fields = {surface, length};
    if (!AskForm("Emergency runways", "Airports the emergency search lists", &fields))
        return 0;
    return WriteReply(std::string(argv[1]) + ".res",
                      std::to_string(fields[0].value) + " " + std::to_string(fields[1].value))
               ? 0
               : 1;
}
