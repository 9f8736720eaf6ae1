// DirectInput 8 on SDL's joystick subsystem: the game controllers attached to
// the machine, enumerated, opened and read in the joystick format (buttons,
// axes and four hat switches). Only what the proxy calls exists. One thread
// (the caller of DirectInput8Create) uses an interface and its devices.
//
// For end-to-end runs, TVL_VIRTUAL_JOYSTICKS attaches SDL virtual joysticks
// while an interface lives ("name:buttons:hats;..."), and
// TVL_VIRTUAL_JOYSTICK_INPUT names a file whose lines ("index button 0|1",
// "index hat DEGREES|-1") are applied, and the file removed, on each poll.
#pragma once

#include "platform/win32.h"

#include <cstddef>

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef const GUID& REFGUID;

inline bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           __builtin_memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}

inline constexpr GUID IID_IDirectInput8A{0xBF798030u, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};

#define DIRECTINPUT_VERSION 0x0800u

#ifndef E_NOINTERFACE
#define E_NOINTERFACE (static_cast<HRESULT>(0x80004002u))
#endif
#ifndef E_HANDLE
#define E_HANDLE (static_cast<HRESULT>(0x80070006u))
#endif

#define DI_OK S_OK
#define DI_NOEFFECT (static_cast<HRESULT>(1))
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_OBJECTNOTFOUND (static_cast<HRESULT>(0x80070002u))
#define DIERR_NOTACQUIRED (static_cast<HRESULT>(0x8007000Cu))
#define DIERR_NOTINITIALIZED (static_cast<HRESULT>(0x80070015u))
#define DIERR_INPUTLOST (static_cast<HRESULT>(0x8007001Eu))
#define DIERR_ACQUIRED (static_cast<HRESULT>(0x800700AAu))
#define DIERR_DEVICENOTREG (static_cast<HRESULT>(0x80040154u))
#define DIERR_UNPLUGGED (static_cast<HRESULT>(0x80040209u))
#define DIERR_OLDDIRECTINPUTVERSION (static_cast<HRESULT>(0x8007047Eu))

#define DI8DEVCLASS_ALL 0u
#define DI8DEVCLASS_GAMECTRL 4u
#define DI8DEVTYPE_GAMEPAD 0x15u
#define DIEDFL_ALLDEVICES 0x0u
#define DIEDFL_ATTACHEDONLY 0x1u
#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1

#define DISCL_EXCLUSIVE 0x1u
#define DISCL_NONEXCLUSIVE 0x2u
#define DISCL_FOREGROUND 0x4u
#define DISCL_BACKGROUND 0x8u

#define DIPH_DEVICE 0u
#define DIPH_BYOFFSET 1u


struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    CHAR tszInstanceName[MAX_PATH];
    CHAR tszProductName[MAX_PATH];
};

// The joystick state: six axes (0..65535, centre 32768), two sliders, four
// hat switches (hundredths of a degree clockwise from up, 0xFFFFFFFF
// centred) and 32 buttons (high bit set while pressed).
struct DIJOYSTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);
static_assert(offsetof(DIJOYSTATE, rgdwPOV) == 32);
static_assert(offsetof(DIJOYSTATE, rgbButtons) == 48);

#define DIJOFS_X 0u
#define DIJOFS_POV(n) (static_cast<DWORD>(offsetof(DIJOYSTATE, rgdwPOV) + (n) * sizeof(DWORD)))
#define DIJOFS_BUTTON(n) (static_cast<DWORD>(offsetof(DIJOYSTATE, rgbButtons) + (n)))

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const void* rgodf;
};
// The one format devices take here: DIJOYSTATE.
extern const DIDATAFORMAT c_dfDIJoystick;

struct DIDEVCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDevType;
    DWORD dwAxes;
    DWORD dwButtons;
    DWORD dwPOVs;
    DWORD dwFFSamplePeriod;
    DWORD dwFFMinTimeResolution;
    DWORD dwFirmwareRevision;
    DWORD dwHardwareRevision;
    DWORD dwFFDriverVersion;
};

struct DIDEVICEOBJECTINSTANCEA {
    DWORD dwSize;
    GUID guidType;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
    CHAR tszName[MAX_PATH];
};

typedef BOOL (*LPDIENUMDEVICESCALLBACKA)(const DIDEVICEINSTANCEA* instance, LPVOID context);

struct IDirectInputDevice8A {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetCapabilities(DIDEVCAPS* caps) = 0;
    // how: DIPH_BYOFFSET with an offset into DIJOYSTATE.
    virtual HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* object, DWORD obj, DWORD how) = 0;
    virtual HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) = 0;
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    // A background, non-exclusive level needs no window; the others do.
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT Poll() = 0;
    virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;

protected:
    virtual ~IDirectInputDevice8A() = default;
};
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8A;

struct IDirectInput8A {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT EnumDevices(DWORD devClass, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD flags) = 0;
    virtual HRESULT CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICE8A* device, void* outer) = 0;

protected:
    virtual ~IDirectInput8A() = default;
};
typedef IDirectInput8A* LPDIRECTINPUT8A;

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFGUID iid, LPVOID* out, void* outer);
