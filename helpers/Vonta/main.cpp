// The volume slider. Exchange line 2: "200 - volume%, sound on"; the reply is
// "volume% sound" (a volume of 0 switches the sound off). The slider offers 0
// to 200 in steps of 5 and the volume it opened at; any other answer is
// refused with a message, as the settings forms refuse theirs.
#include "helpers/helper_exchange.h"
#include "helpers/helper_form.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr long VolumeStep = 5;
constexpr long MaxVolume = 200;
// A sound cell the answer did not give: the volume decides.
constexpr long SoundNotGiven = -1;

long OpenedAt = 0;

bool OnTheSlider(const std::vector<FormField>& fields, std::string* refusal)
{
    long volume = fields[0].value;
    if (volume % VolumeStep == 0 || volume == OpenedAt)
        return true;
    *refusal = "Volume: " + std::to_string(volume) + " is not one of the slider's volumes (0 to " +
               std::to_string(MaxVolume) + " in steps of " + std::to_string(VolumeStep) + ").";
    return false;
}

long NearestStep(long volume)
{
    return std::clamp((volume + VolumeStep / 2) / VolumeStep * VolumeStep, 0L, MaxVolume);
}

std::vector<std::string> SliderArguments(long volume)
{
    return {"--scale", "--title=Volume", "--text=Volume (0 switches the sound off)", "--min-value=0",
            "--max-value=" + std::to_string(MaxVolume), "--step=" + std::to_string(VolumeStep),
            "--value=" + std::to_string(volume)};
}

// Asks until the answer can be taken or the user cancels; headless the
// scripted answer is taken or refused once.
bool AskVolume(std::vector<FormField>* fields)
{
    for (;;) {
        std::string answer;
        AskResult shown = RunDialogTool(DialogTool::Zenity, SliderArguments((*fields)[0].value), &answer);
        bool scripted = shown == AskResult::NotRun;
        if (scripted) {
            const char* given = std::getenv("TVL_DIALOG_ANSWER");
            if (!given || !*given)
                return false;
            answer = given;
        } else if (shown == AskResult::Cancelled) {
            return false;
        }
        std::vector<FormField> entered = *fields;
        std::string refusal;
        if (ReadFormAnswer(answer, &entered, &refusal) && OnTheSlider(entered, &refusal)) {
            *fields = entered;
            return true;
        }
        ShowFormRefusal("Volume", refusal);
        if (scripted)
            return false;
        (*fields)[0].value = NearestStep(entered[0].value);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<long> now;
    if (!ReadExchangeNumbers(argv[1], 2, &now))
        return 1;
    // Checked before the subtraction, which a number near the ends of long overflows.
    long volume = now[0] >= 0 && now[0] <= MaxVolume ? MaxVolume - now[0] : 100;
    FormField slider;
    slider.label = "Volume";
    slider.kind = FormField::Number;
    slider.min = 0;
    slider.max = MaxVolume;
    slider.value = now[1] ? volume : 0;
    OpenedAt = slider.value;
    // Only a scripted answer gives it, after the volume: "50 0".
    FormField sound;
    sound.label = "Sound";
    sound.kind = FormField::Choice;
    sound.choices = {{0, "off"}, {1, "on"}};
    sound.value = SoundNotGiven;
    std::vector<FormField> fields = {slider, sound};
    if (!AskVolume(&fields))
        return 0;
    long chosen = fields[0].value;
    long on = fields[1].value == SoundNotGiven ? chosen > 0 : fields[1].value;
    return WriteReply(std::string(argv[1]) + ".res", std::to_string(chosen) + " " + std::to_string(on)) ? 0 : 1;
}
