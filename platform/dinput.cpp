// DirectInput 8 on SDL's joystick subsystem. A device instance is named by
// its SDL instance id (in the GUID's first word), so two controllers of one
// model stay apart; a device that was unplugged is found again by model and
// name when it is acquired anew.
#include "platform/dinput.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

const DIDATAFORMAT c_dfDIJoystick{sizeof(DIDATAFORMAT), 16, 1, sizeof(DIJOYSTATE), 0, nullptr};

namespace {

constexpr int MaxHats = 4;
constexpr int MaxButtons = 32;
constexpr int MaxAxes = 8;

// The virtual joysticks of TVL_VIRTUAL_JOYSTICKS, open while the interface
// lives so that their inputs can be set.
std::vector<SDL_Joystick*> VirtualJoysticks;

GUID InstanceGuid(SDL_JoystickID id)
{
    GUID guid{};
    guid.Data1 = static_cast<uint32_t>(id);
    guid.Data2 = 0x7456;  // marks our instance GUIDs
    return guid;
}

GUID ProductGuid(SDL_JoystickGUID sdl)
{
    GUID guid;
    static_assert(sizeof(guid) == sizeof(sdl.data));
    std::memcpy(&guid, sdl.data, sizeof(guid));
    return guid;
}

// SDL hat bits to hundredths of a degree clockwise from up.
DWORD HatToPov(Uint8 hat)
{
    switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFFFFFFu;
    }
}

Uint8 DegreesToHat(int degrees)
{
    static const Uint8 sectors[8] = {SDL_HAT_UP,   SDL_HAT_RIGHTUP,  SDL_HAT_RIGHT, SDL_HAT_RIGHTDOWN,
                                     SDL_HAT_DOWN, SDL_HAT_LEFTDOWN, SDL_HAT_LEFT,  SDL_HAT_LEFTUP};
    if (degrees < 0)
        return SDL_HAT_CENTERED;
    return sectors[((degrees % 360) + 22) / 45 % 8];
}

void AttachVirtualJoysticks()
{
    const char* list = std::getenv("TVL_VIRTUAL_JOYSTICKS");
    if (list == nullptr)
        return;
    std::string text = list;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        std::string entry = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() + 1 : end + 1;
        char name[64] = "";
        int buttons = 0;
        int hats = 0;
        if (std::sscanf(entry.c_str(), "%63[^:]:%d:%d", name, &buttons, &hats) != 3 || buttons < 0 ||
            buttons > MaxButtons || hats < 0 || hats > MaxHats) {
            continue;
        }
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = 2;
        desc.nbuttons = static_cast<Uint16>(buttons);
        desc.nhats = static_cast<Uint16>(hats);
        desc.name = name;
        int index = SDL_JoystickAttachVirtualEx(&desc);
        SDL_Joystick* joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        if (joystick != nullptr)
            VirtualJoysticks.push_back(joystick);
    }
}

// Applies and removes the input file of the virtual joysticks.
void TakeVirtualInput()
{
    const char* path = std::getenv("TVL_VIRTUAL_JOYSTICK_INPUT");
    if (path == nullptr || VirtualJoysticks.empty())
        return;
    FILE* file = std::fopen(path, "r");
    if (file == nullptr)
        return;
    char line[128];
    while (std::fgets(line, sizeof(line), file) != nullptr) {
        unsigned index;
        char what[16];
        int a;
        int b = 0;
        int words = std::sscanf(line, "%u %15s %d %d", &index, what, &a, &b);
        if (words < 3 || index >= VirtualJoysticks.size())
            continue;
        SDL_Joystick* joystick = VirtualJoysticks[index];
        if (std::strcmp(what, "button") == 0 && words == 4)
            SDL_JoystickSetVirtualButton(joystick, a, b != 0 ? SDL_PRESSED : SDL_RELEASED);
        else if (std::strcmp(what, "hat") == 0)
            SDL_JoystickSetVirtualHat(joystick, 0, DegreesToHat(a));
    }
    std::fclose(file);
    unlink(path);
}

void DetachVirtualJoysticks()
{
    for (SDL_Joystick* joystick : VirtualJoysticks) {
        SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
        SDL_JoystickClose(joystick);
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
    }
    VirtualJoysticks.clear();
}

void UpdateJoysticks()
{
    TakeVirtualInput();
    SDL_JoystickUpdate();
}

class JoystickDevice;
// Devices handed out and not yet released, so that a device plugged in
// again is given back to its own object only.
std::vector<JoystickDevice*> LiveDevices;

class JoystickDevice final : public IDirectInputDevice8A {
public:
    explicit JoystickDevice(SDL_Joystick* joystick) : joystick_(joystick)
    {
        LiveDevices.push_back(this);
        const char* name = SDL_JoystickName(joystick);
        std::snprintf(name_, sizeof(name_), "%s", name != nullptr ? name : "Joystick");
        product_ = ProductGuid(SDL_JoystickGetGUID(joystick));
        instance_ = InstanceGuid(SDL_JoystickInstanceID(joystick));
    }

    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        ULONG left = --references_;
        if (left == 0) {
            std::erase(LiveDevices, this);
            if (joystick_ != nullptr)
                SDL_JoystickClose(joystick_);
            delete this;
        }
        return left;
    }

    HRESULT GetCapabilities(DIDEVCAPS* caps) override
    {
        if (caps == nullptr || caps->dwSize != sizeof(DIDEVCAPS))
            return DIERR_INVALIDPARAM;
        std::memset(caps, 0, sizeof(*caps));
        caps->dwSize = sizeof(DIDEVCAPS);
        caps->dwFlags = SDL_JoystickGetAttached(joystick_) ? 1u : 0u;  // attached
        caps->dwDevType = DI8DEVTYPE_GAMEPAD;
        caps->dwAxes = static_cast<DWORD>(Clamp(SDL_JoystickNumAxes(joystick_), MaxAxes));
        caps->dwButtons = static_cast<DWORD>(Clamp(SDL_JoystickNumButtons(joystick_), MaxButtons));
        caps->dwPOVs = static_cast<DWORD>(Clamp(SDL_JoystickNumHats(joystick_), MaxHats));
        return DI_OK;
    }

    HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* object, DWORD obj, DWORD how) override
    {
        if (object == nullptr || object->dwSize != sizeof(DIDEVICEOBJECTINSTANCEA) || how != DIPH_BYOFFSET)
            return DIERR_INVALIDPARAM;
        const char* kind = nullptr;
        int number = 0;
        if (obj >= DIJOFS_BUTTON(0) && obj < DIJOFS_BUTTON(MaxButtons)) {
            number = static_cast<int>(obj - DIJOFS_BUTTON(0));
            if (number < SDL_JoystickNumButtons(joystick_))
                kind = "Button";
        } else if (obj >= DIJOFS_POV(0) && obj < DIJOFS_POV(MaxHats) && (obj - DIJOFS_POV(0)) % sizeof(DWORD) == 0) {
            number = static_cast<int>((obj - DIJOFS_POV(0)) / sizeof(DWORD));
            if (number < SDL_JoystickNumHats(joystick_))
                kind = "Hat Switch";
        } else if (obj < DIJOFS_POV(0) && obj % sizeof(LONG) == 0) {
            number = static_cast<int>(obj / sizeof(LONG));
            if (number < SDL_JoystickNumAxes(joystick_))
                kind = "Axis";
        }
        if (kind == nullptr)
            return DIERR_OBJECTNOTFOUND;
        std::memset(object, 0, sizeof(*object));
        object->dwSize = sizeof(DIDEVICEOBJECTINSTANCEA);
        object->dwOfs = obj;
        std::snprintf(object->tszName, sizeof(object->tszName), "%s %d", kind, number);
        return DI_OK;
    }

    HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) override
    {
        if (instance == nullptr || instance->dwSize != sizeof(DIDEVICEINSTANCEA))
            return DIERR_INVALIDPARAM;
        FillInstance(instance, instance_, product_, name_);
        return DI_OK;
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override
    {
        if (acquired_)
            return DIERR_ACQUIRED;
        if (format == nullptr || format->dwDataSize != sizeof(DIJOYSTATE))
            return DIERR_INVALIDPARAM;
        formatSet_ = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override
    {
        bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
        bool background = (flags & DISCL_BACKGROUND) != 0;
        if (exclusive == ((flags & DISCL_NONEXCLUSIVE) != 0) || background == ((flags & DISCL_FOREGROUND) != 0))
            return DIERR_INVALIDPARAM;
        // Only focus-bound or exclusive input needs a window to follow.
        if ((exclusive || !background) && window == nullptr)
            return E_HANDLE;
        return DI_OK;
    }

    HRESULT Acquire() override
    {
        if (!formatSet_)
            return DIERR_INVALIDPARAM;
        if (!SDL_JoystickGetAttached(joystick_) && !Reattach())
            return DIERR_UNPLUGGED;
        if (acquired_)
            return DI_NOEFFECT;
        acquired_ = true;
        return DI_OK;
    }

    HRESULT Unacquire() override
    {
        if (!acquired_)
            return DI_NOEFFECT;
        acquired_ = false;
        return DI_OK;
    }

    HRESULT Poll() override
    {
        if (!acquired_)
            return DIERR_NOTACQUIRED;
        UpdateJoysticks();
        if (!SDL_JoystickGetAttached(joystick_)) {
            acquired_ = false;
            return DIERR_INPUTLOST;
        }
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, LPVOID data) override
    {
        if (data == nullptr || size != sizeof(DIJOYSTATE))
            return DIERR_INVALIDPARAM;
        if (!acquired_)
            return DIERR_NOTACQUIRED;
        if (!SDL_JoystickGetAttached(joystick_)) {
            acquired_ = false;
            return DIERR_INPUTLOST;
        }
        DIJOYSTATE state{};
        LONG* axes[MaxAxes] = {&state.lX,  &state.lY,  &state.lZ,           &state.lRx,
                               &state.lRy, &state.lRz, &state.rglSlider[0], &state.rglSlider[1]};
        int axisCount = Clamp(SDL_JoystickNumAxes(joystick_), MaxAxes);
        for (int i = 0; i < MaxAxes; ++i)
            *axes[i] = i < axisCount ? SDL_JoystickGetAxis(joystick_, i) + 32768 : 32768;
        int hatCount = Clamp(SDL_JoystickNumHats(joystick_), MaxHats);
        for (int i = 0; i < MaxHats; ++i)
            state.rgdwPOV[i] = i < hatCount ? HatToPov(SDL_JoystickGetHat(joystick_, i)) : 0xFFFFFFFFu;
        int buttonCount = Clamp(SDL_JoystickNumButtons(joystick_), MaxButtons);
        for (int i = 0; i < buttonCount; ++i)
            state.rgbButtons[i] = SDL_JoystickGetButton(joystick_, i) ? 0x80 : 0;
        std::memcpy(data, &state, sizeof(state));
        return DI_OK;
    }

    static void FillInstance(DIDEVICEINSTANCEA* instance, const GUID& id, const GUID& product, const char* name)
    {
        std::memset(instance, 0, sizeof(*instance));
        instance->dwSize = sizeof(DIDEVICEINSTANCEA);
        instance->guidInstance = id;
        instance->guidProduct = product;
        instance->dwDevType = DI8DEVTYPE_GAMEPAD;
        std::snprintf(instance->tszInstanceName, sizeof(instance->tszInstanceName), "%s", name);
        std::snprintf(instance->tszProductName, sizeof(instance->tszProductName), "%s", name);
    }

private:
    ~JoystickDevice() override = default;

    static int Clamp(int count, int most) { return count < 0 ? 0 : (count > most ? most : count); }

    static bool HeldByDevice(SDL_JoystickID id)
    {
        for (const JoystickDevice* device : LiveDevices) {
            if (SDL_JoystickInstanceID(device->joystick_) == id)
                return true;
        }
        return false;
    }

    // The same model and name plugged in again, not held by another device.
    bool Reattach()
    {
        UpdateJoysticks();
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (HeldByDevice(SDL_JoystickGetDeviceInstanceID(i)))
                continue;
            const char* name = SDL_JoystickNameForIndex(i);
            if (!(ProductGuid(SDL_JoystickGetDeviceGUID(i)) == product_) || name == nullptr ||
                std::strcmp(name, name_) != 0) {
                continue;
            }
            SDL_Joystick* joystick = SDL_JoystickOpen(i);
            if (joystick == nullptr)
                return false;
            SDL_JoystickClose(joystick_);
            joystick_ = joystick;
            return true;
        }
        return false;
    }

    SDL_Joystick* joystick_;
    char name_[MAX_PATH];
    GUID product_;
    GUID instance_;
    ULONG references_ = 1;
    bool formatSet_ = false;
    bool acquired_ = false;
};

class JoystickInput final : public IDirectInput8A {
public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        ULONG left = --references_;
        if (left == 0) {
            DetachVirtualJoysticks();
            SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
            delete this;
        }
        return left;
    }

    HRESULT EnumDevices(DWORD devClass, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD) override
    {
        if (callback == nullptr)
            return DIERR_INVALIDPARAM;
        if (devClass != DI8DEVCLASS_GAMECTRL && devClass != DI8DEVCLASS_ALL)
            return DI_OK;  // keyboards and mice are not ours to list
        UpdateJoysticks();
        // Taken first, so a callback that opens devices does not shift the list.
        std::vector<DIDEVICEINSTANCEA> found;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
            if (id < 0)
                continue;
            const char* name = SDL_JoystickNameForIndex(i);
            DIDEVICEINSTANCEA instance;
            JoystickDevice::FillInstance(&instance, InstanceGuid(id), ProductGuid(SDL_JoystickGetDeviceGUID(i)),
                                         name != nullptr ? name : "Joystick");
            found.push_back(instance);
        }
        for (const DIDEVICEINSTANCEA& instance : found) {
            if (callback(&instance, context) == DIENUM_STOP)
                break;
        }
        return DI_OK;
    }

    HRESULT CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICE8A* device, void*) override
    {
        if (device == nullptr)
            return DIERR_INVALIDPARAM;
        *device = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (!(InstanceGuid(SDL_JoystickGetDeviceInstanceID(i)) == instance))
                continue;
            SDL_Joystick* joystick = SDL_JoystickOpen(i);
            if (joystick == nullptr)
                return DIERR_DEVICENOTREG;
            *device = new JoystickDevice(joystick);
            return DI_OK;
        }
        return DIERR_DEVICENOTREG;
    }

private:
    ~JoystickInput() override = default;
    ULONG references_ = 1;
};

}  // namespace

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFGUID iid, LPVOID* out, void*)
{
    if (out == nullptr)
        return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (version < DIRECTINPUT_VERSION)
        return DIERR_OLDDIRECTINPUTVERSION;
    if (!(iid == IID_IDirectInput8A))
        return E_NOINTERFACE;
    // Controllers are read while another program has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // SDL's events would otherwise take SIGINT and SIGTERM from a console
    // program that has no event loop to hear them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return DIERR_NOTINITIALIZED;
    // Nobody pumps the event queue here; states are read by polling.
    SDL_JoystickEventState(SDL_IGNORE);
    AttachVirtualJoysticks();
    *out = new JoystickInput;
    return DI_OK;
}
