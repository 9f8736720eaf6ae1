// Processor core and CPU usage. Exchange line 2: "core usage" (core -1: the
// highest); the reply is the chosen pair.
#include "helpers/helper_exchange.h"
#include "helpers/helper_form.h"

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
    FormField core;
    core.label = "Processor core";
    core.kind = FormField::Choice;
    core.choices.push_back({-1, "The highest"});
    for (long i = 0; i < static_cast<long>(std::thread::hardware_concurrency()) && i < 64; i++)
        core.choices.push_back({i, std::to_string(i)});
    core.value = now[0];
    // A core set on a bigger machine stays a choice, so OK keeps it.
    if (now[0] >= static_cast<long>(core.choices.size()) - 1 && now[0] < 64)
        core.choices.push_back({now[0], std::to_string(now[0])});
    FormField usage;
    usage.label = "CPU usage";
    usage.kind = FormField::Choice;
    usage.choices = {{0, "Full"}, {1, "Less"}, {2, "Least"}};
    usage.value = now[1];
    std::vector<FormField> fields = {core, usage};
    if (!AskForm("Processor", "The core the map runs on, and how much of it the map may use", &fields))
        return 0;
    return WriteReply(std::string(argv[1]) + ".res",
                      std::to_string(fields[0].value) + " " + std::to_string(fields[1].value))
               ? 0
               : 1;
}
