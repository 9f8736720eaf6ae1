// A game controller for tests: an SDL virtual joystick with a name, buttons
// and hat switches, attached for the object's lifetime, whose inputs the test
// sets. No hardware and no display are needed.
#pragma once

#include <string>

struct _SDL_Joystick;

class VirtualJoystick {
public:
    VirtualJoystick(const std::string& name, int buttons, int hats);
    ~VirtualJoystick();
    VirtualJoystick(const VirtualJoystick&) = delete;
    VirtualJoystick& operator=(const VirtualJoystick&) = delete;

    bool attached() const { return joystick_ != nullptr; }
    void Press(int button, bool down = true);
    // Hundredths of a degree clockwise from up, snapped to eight directions;
    // -1 centres the hat.
    void Hat(int hundredths);
    // Unplugs it, as a cable pulled out.
    void Unplug();

private:
    _SDL_Joystick* joystick_ = nullptr;
};
