// Symbol sizes: six sizes in percent and the autosize switch. Exchange line
// 2: "vor fix airport ndb marker dme autosize"; the reply is the same seven
// numbers.
#include "helpers/helper_exchange.h"
#include "helpers/helper_form.h"

#include <string>
#include <vector>

namespace {

const long kSizeCount = 6;
std::vector<long> sizesShown;

// The map takes the sizes only with autosize off: changed sizes with
// autosize left on would go nowhere.
bool SizesCanBeTaken(const std::vector<FormField>& fields, std::string* refusal)
{
    if (fields[kSizeCount].value == 0)
        return true;
    for (long i = 0; i < kSizeCount; i++)
        if (fields[i].value != sizesShown[i]) {
            *refusal = "The sizes are taken only with Autosize off: untick Autosize to set them, or keep the sizes.";
            return false;
        }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<long> now;
    if (!ReadExchangeNumbers(argv[1], 7, &now))
        return 1;
    static const char* const names[kSizeCount] = {"VOR", "Fix", "Airport", "NDB", "Marker", "DME"};
    std::vector<FormField> fields;
    for (long i = 0; i < kSizeCount; i++) {
        FormField size;
        size.label = std::string(names[i]) + " (%)";
        size.value = now[i];
        size.min = 10;
        size.max = 400;
        fields.push_back(size);
        sizesShown.push_back(now[i]);
    }
    FormField autosize;
    autosize.label = "Autosize (sizes follow the zoom)";
    autosize.kind = FormField::Check;
    autosize.value = now[6] != 0;
    fields.push_back(autosize);
    if (!AskForm("Symbol sizes", "Symbol sizes in percent; they are used with Autosize off.", &fields, SizesCanBeTaken))
        return 0;
    std::string reply;
    for (size_t i = 0; i < fields.size(); i++)
        reply += (i ? " " : "") + std::to_string(fields[i].value);
    return WriteReply(std::string(argv[1]) + ".res", reply) ? 0 : 1;
}
