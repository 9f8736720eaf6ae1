// Joystick buttons for the map's commands. Reads and writes the section
// "JoyStickButtons" of "Joystick.ini" (key: command, value: button, -1
// none). While it runs the map publishes the last pressed button as text in
// the shared block "TVLFileMappingObject"; the dialog offers that button.
// The controllers and their buttons are listed through SDL. Headless the
// answer is "COMMAND=button,COMMAND=button...".
#include "helpers/helper_exchange.h"

#include "platform/profile.h"
#include "platform/sync.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr char Ini[] = "./Joystick.ini";
constexpr char Section[] = "JoyStickButtons";

// The commands of the section in file order, with their buttons.
std::vector<std::pair<std::string, std::string>> ReadAssignments()
{
    std::vector<std::pair<std::string, std::string>> rows;
    std::vector<std::string> lines;
    if (!ReadExchangeLines(Ini, &lines))
        return rows;
    bool inSection = false;
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '[') {
            inSection = line.compare(0, std::strlen(Section) + 2, std::string("[") + Section + "]") == 0;
            continue;
        }
        size_t equals = line.find('=');
        if (inSection && equals != std::string::npos && equals > 0)
            rows.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return rows;
}

bool Assign(const std::string& command, long button)
{
    if (command.empty() || command.size() > 12 || button < -1 || button > 9999)
        return false;
    return WritePrivateProfileStringA(Section, command.c_str(), std::to_string(button).c_str(), Ini) != 0;
}

// The button the map published last ("0": none now).
long PublishedButton()
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "TVLFileMappingObject");
    if (!mapping)
        return 0;
    long button = 0;
    if (auto* block = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 256))) {
        char text[257];
        std::memcpy(text, block, 256);
        text[256] = '\0';
        std::vector<long> value = LineNumbers(text, 1);
        button = value.empty() ? 0 : value[0];
        UnmapViewOfFile(block);
    }
    CloseHandle(mapping);
    return button;
}

std::string ControllerList()
{
    std::string text;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return "No controllers found.";
    for (int i = 0; i < SDL_NumJoysticks(); i++) {
        SDL_Joystick* stick = SDL_JoystickOpen(i);
        if (!stick)
            continue;
        const char* name = SDL_JoystickName(stick);
        text += std::string(name ? name : "Controller") + ": " + std::to_string(SDL_JoystickNumButtons(stick)) +
                " buttons\n";
        SDL_JoystickClose(stick);
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    return text.empty() ? "No controllers found." : text;
}

void Scripted(const std::string& answer)
{
    size_t start = 0;
    while (start < answer.size()) {
        size_t end = answer.find(',', start);
        std::string item = answer.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t equals = item.find('=');
        std::vector<long> button = equals == std::string::npos ? std::vector<long>() : LineNumbers(item.substr(equals + 1), 1);
        if (!button.empty())
            Assign(item.substr(0, equals), button[0]);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

}  // namespace

int main()
{
    if (!CanAskUser()) {
        std::string answer;
        if (AskUser({}, &answer))
            Scripted(answer);
        return 0;
    }
    std::string controllers = ControllerList();
    // The map shows each press for a moment: keep the last one seen.
    std::atomic<long> lastPressed{0};
    std::atomic<bool> running{true};
    std::thread watcher([&] {
        while (running) {
            long button = PublishedButton();
            if (button > 0)
                lastPressed = button;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    for (;;) {
        std::vector<std::string> args = {"--list", "--title=Joystick buttons", "--text=" + controllers,
                                         "--column=Command", "--column=Button", "--height=500"};
        // The cells go on the list's input: a button "-1" is no option.
        std::vector<std::string> cells;
        for (const auto& [command, button] : ReadAssignments()) {
            cells.push_back(command);
            cells.push_back(button);
        }
        std::string command;
        if (!AskUser(args, &command, cells) || command.empty())
            break;
        lastPressed = 0;
        std::string ignored;
        AskUser({"--info", "--no-markup", "--title=" + command, "--text=Press the controller's button for " + command + ", then OK."},
                &ignored);
        long pressed = lastPressed.load();
        std::string button;
        if (!AskUser({"--entry", "--title=" + command,
                      "--text=Button for " + command + " (-1: none)",
                      "--entry-text=" + std::to_string(pressed > 0 ? pressed : -1)},
                     &button))
            continue;
        std::vector<long> value = LineNumbers(button, 1);
        if (!value.empty())
            Assign(command, value[0]);
    }
    running = false;
    watcher.join();
    return 0;
}
