// SDL virtual joysticks for the controller tests.
#include "tests/support/virtual_joystick.h"

#include <SDL.h>

VirtualJoystick::VirtualJoystick(const std::string& name, int buttons, int hats)
{
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return;
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 2;
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.name = name.c_str();
    int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index >= 0)
        joystick_ = SDL_JoystickOpen(index);
}

VirtualJoystick::~VirtualJoystick()
{
    Unplug();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void VirtualJoystick::Press(int button, bool down)
{
    if (joystick_ != nullptr)
        SDL_JoystickSetVirtualButton(joystick_, button, down ? SDL_PRESSED : SDL_RELEASED);
}

void VirtualJoystick::Hat(int hundredths)
{
    static const Uint8 sectors[8] = {SDL_HAT_UP,   SDL_HAT_RIGHTUP,  SDL_HAT_RIGHT, SDL_HAT_RIGHTDOWN,
                                     SDL_HAT_DOWN, SDL_HAT_LEFTDOWN, SDL_HAT_LEFT,  SDL_HAT_LEFTUP};
    if (joystick_ == nullptr)
        return;
    Uint8 value = hundredths < 0 ? SDL_HAT_CENTERED : sectors[((hundredths % 36000) + 2250) / 4500 % 8];
    SDL_JoystickSetVirtualHat(joystick_, 0, value);
}

void VirtualJoystick::Unplug()
{
    if (joystick_ == nullptr)
        return;
    SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
    }
}
