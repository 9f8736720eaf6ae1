// Game controllers of the proxy: enumeration with the INI switch per
// controller, the per-round poll that yields the first pressed button or hat
// sector, and their release. Main thread only.
#include "proxy/game_controllers.h"

#include "platform/ini_sections.h"
#include "platform/profile.h"
#include "proxy/proxy_main.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

LPDIRECTINPUT8A DirectInputInterface = nullptr;

namespace {

constexpr char ControllerIni[] = ".\\Plovik.ini";
// Hat values are hundredths of a degree; the low word 0xFFFF is centred.
constexpr DWORD HatCentred = 0xFFFF;
constexpr DWORD HatSectorDivisor = 36000;
constexpr int HatSectors = 8;
// Re-acquiring a lost device is tried this often a round; a device that
// stays lost is tried again next round instead of holding the server.
constexpr int ReacquireTries = 3;
// A poll that yields nothing but ends the round, as a lost device does.
constexpr int RoundEnded = -2;

struct ControllerEntry {
    LPDIRECTINPUTDEVICE8A device;
    char name[MAX_PATH];
    int32_t enable;         // 0 = not polled
    int32_t highestButton;  // -1 when none
    uint32_t buttonPresent[ControllerButtonSlots];
    uint8_t state[128];
};

ControllerEntry ControllerList[MaxControllers];
int32_t Count = 0;
bool Ready = false;

void ReleaseDevice(ControllerEntry& entry)
{
    if (entry.device == nullptr)
        return;
    entry.device->Unacquire();
    entry.device->Release();
    entry.device = nullptr;
}

// Sets up one enumerated controller; false when it takes neither the
// joystick format nor the background level.
bool SetUpController(ControllerEntry& entry)
{
    DIDEVICEINSTANCEA instance;
    instance.dwSize = sizeof(instance);
    entry.device->GetDeviceInfo(&instance);
    if (FAILED(entry.device->SetDataFormat(&c_dfDIJoystick)))
        return false;
    if (FAILED(entry.device->SetCooperativeLevel(ConsoleWindow, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE)))
        return false;
    DIDEVCAPS caps;
    caps.dwSize = sizeof(caps);
    entry.device->GetCapabilities(&caps);
    entry.highestButton = -1;
    std::memset(entry.state, 0, sizeof(entry.state));
    for (int j = 0; j < ControllerButtonSlots; ++j) {
        DIDEVICEOBJECTINSTANCEA object;
        object.dwSize = sizeof(object);
        bool present = SUCCEEDED(entry.device->GetObjectInfo(&object, DIJOFS_BUTTON(j), DIPH_BYOFFSET));
        entry.buttonPresent[j] = present ? 1 : 0;
        if (present)
            entry.highestButton = j;
    }
    entry.device->Acquire();
    return true;
}

// The button number of one controller this round, -1 when none, RoundEnded
// when the round ends without one.
int PollController(ControllerEntry& entry)
{
    if (FAILED(entry.device->Poll())) {
        // A device that comes back reports its state from the next round:
        // the state read now would be the one from before it was lost.
        HRESULT result = entry.device->Acquire();
        for (int i = 1; i < ReacquireTries && result == DIERR_INPUTLOST; ++i)
            result = entry.device->Acquire();
        return RoundEnded;
    }
    DIJOYSTATE state;
    if (FAILED(entry.device->GetDeviceState(sizeof(state), &state))) {
        entry.device->Acquire();
        return RoundEnded;
    }
    int highest = entry.highestButton < ControllerButtonSlots ? entry.highestButton : ControllerButtonSlots - 1;
    for (int j = 0; j <= highest; ++j) {
        if ((state.rgbButtons[j] & 0x80) != 0)
            return j;
    }
    DWORD hat = state.rgdwPOV[0];
    if ((hat & 0xFFFF) != HatCentred) {
        // A value beyond a full turn is no sector of ours.
        int sector = static_cast<int>(static_cast<uint64_t>(hat) * HatSectors / HatSectorDivisor);
        if (sector < HatSectors)
            return entry.highestButton + 1 + sector;
    }
    return -1;
}

}  // namespace

bool CreateDirectInput()
{
    if (DirectInputInterface != nullptr)
        return true;
    void* created = nullptr;
    if (FAILED(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr)))
        return false;
    DirectInputInterface = static_cast<LPDIRECTINPUT8A>(created);
    return true;
}

void ReleaseDirectInput()
{
    if (DirectInputInterface == nullptr)
        return;
    DirectInputInterface->Release();
    DirectInputInterface = nullptr;
}

BOOL ControllerEnumCallback(const DIDEVICEINSTANCEA* instance, LPVOID)
{
    if (Count >= MaxControllers)
        return DIENUM_CONTINUE;
    LPDIRECTINPUTDEVICE8A device = nullptr;
    if (FAILED(DirectInputInterface->CreateDevice(instance->guidInstance, &device, nullptr)) || device == nullptr)
        return DIENUM_CONTINUE;
    ControllerEntry& entry = ControllerList[Count];
    std::memset(&entry, 0, sizeof(entry));
    entry.device = device;
    std::snprintf(entry.name, sizeof(entry.name), "%s", instance->tszInstanceName);
    entry.enable = 1;
    entry.highestButton = -1;
    char value[30];
    GetPrivateProfileStringA(ControllerSection, entry.name, "-1", value, sizeof(value), ControllerIni);
    int32_t number = std::atoi(value);
    if (number != -1)
        entry.enable = number;
    else
        WritePrivateProfileStringA(ControllerSection, entry.name, "1", ControllerIni);
    ++Count;
    return DIENUM_CONTINUE;
}

bool EnumerateControllers()
{
    if (Ready)
        return true;
    Count = 0;
    if (DirectInputInterface == nullptr)
        return false;
    if (FAILED(DirectInputInterface->EnumDevices(DI8DEVCLASS_GAMECTRL, ControllerEnumCallback, nullptr,
                                                 DIEDFL_ATTACHEDONLY)) ||
        Count == 0) {
        return false;
    }
    for (int i = 0; i < Count; ++i) {
        if (!SetUpController(ControllerList[i])) {
            ReleaseControllers();
            return false;
        }
    }
    Ready = true;
    return true;
}

int PollControllers()
{
    for (int i = 0; i < Count && i < MaxControllers; ++i) {
        ControllerEntry& entry = ControllerList[i];
        if (entry.enable == 0 || entry.device == nullptr)
            continue;
        int button = PollController(entry);
        if (button == RoundEnded)
            return -1;
        if (button >= 0)
            return button;
    }
    return -1;
}

void ReleaseControllers()
{
    for (int i = 0; i < Count && i < MaxControllers; ++i)
        ReleaseDevice(ControllerList[i]);
    Ready = false;
}

bool ControllersEnumerated()
{
    return Ready;
}

int ControllerCount()
{
    return Count;
}

const char* ControllerName(int index)
{
    return index >= 0 && index < Count ? ControllerList[index].name : "";
}

int32_t ControllerEnableValue(int index)
{
    return index >= 0 && index < Count ? ControllerList[index].enable : 0;
}

int32_t ControllerHighestButton(int index)
{
    return index >= 0 && index < Count ? ControllerList[index].highestButton : -1;
}
