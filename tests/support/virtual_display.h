// Test helper: a virtual X server (Xvfb) that a test owns, with the user's
// pointer and keys through xdotool, for runs that need real windows (zenity,
// yad, the map window). The server picks a free display itself.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// Whether program is an executable on the PATH.
bool OnPath(const std::string& program);
// Runs a tool to its end (bounded) and gives its output.
std::string RunTool(const std::vector<std::string>& args);

class VirtualDisplay {
public:
    VirtualDisplay() = default;
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Starts the server (width x height, 24 bits) and points DISPLAY at it,
    // with GTK's accessibility bus off; false when it gave no display.
    bool Start(int width = 1024, int height = 768);
    // Ends the server, which also ends every window still open on it.
    void Stop();
    const std::string& Name() const { return name_; }
    // The first visible window whose title holds title, looked for until it
    // shows (bounded); empty when none came.
    std::string FindWindow(const std::string& title, std::chrono::seconds limit = std::chrono::seconds(60)) const;
    // Gives the window the keyboard, types text and presses the keys.
    void Keys(const std::string& window, const std::string& text, const std::vector<std::string>& keys) const;

private:
    pid_t server_ = -1;
    std::string name_;
};
