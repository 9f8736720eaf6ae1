// The main window: creation, the window procedure, styles, topmost, cursors,
// title and the borderless hit test.
#include "app/main_window.h"

#include "app/click_zones.h"
#include "app/display_modes.h"
#include "app/frame_driver.h"
#include "app/helper_dialogs.h"
#include "platform/ini_sections.h"
#include "platform/log.h"
#include "platform/win32.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/simulator_window.h"
#include "app/softkey_menu.h"
#include "app/window_placement.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "render/device.h"

#include <cstring>

MainWindowStateBlock MainWindowState;

static const char ClassName[] = "Tervalingo";
static const char FirstTitle[] = "Tabrix Plovik";
static const DWORD FramedStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;  // 0x10CF0000
static const DWORD BorderlessStyle = WS_POPUP | WS_VISIBLE;        // 0x90000000
static const int ProgramIcon = 101;
static const int AboutCommand = 1;
static const int CursorKnobUpDown = 114;
static const int CursorKnobTurn = 115;

HWND GetMainWindow() { return MainWindowState.mainWindow; }
bool IsRelayoutPending() { return MainWindowState.relayoutRequest != 0; }

int GetDisplayMode() { return MainWindowState.wantedDisplayMode; }

void GetClientSize(int* width, int* height)
{
    *width = MainWindowState.clientWidth;
    *height = MainWindowState.clientHeight;
}

void SetMouseButtonHeld(bool held) { MainWindowState.leftButtonHeld = held; }

bool IsFullScreen()
{
    return MainWindowState.clientWidth >= GetSystemMetrics(SM_CXSCREEN) &&
           MainWindowState.clientHeight >= GetSystemMetrics(SM_CYSCREEN);
}

bool IsBorderless() { return Settings.WindowFrame != 0; }

void TakeClientSize(int* width, int* height)
{
    RECT rc = {0, 0, 0, 0};
    GetClientRect(MainWindowState.mainWindow, &rc);
    *width = rc.right - rc.left;
    *height = rc.bottom - rc.top;
    MainWindowState.clientWidth = *width;
    MainWindowState.clientHeight = *height;
    MainWindowState.screenScaleX = static_cast<float>(*width) / 640.0f;
    MainWindowState.screenScaleY = static_cast<float>(*height) / 480.0f;
    MainWindowState.screenScaleMin =
        MainWindowState.screenScaleX < MainWindowState.screenScaleY ? MainWindowState.screenScaleX
                                                                     : MainWindowState.screenScaleY;
}

// ---- creation ----

static bool RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ProgramIcon));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = ClassName;
    return RegisterClassExA(&wc) != 0;
}

bool CreateMainWindow(HINSTANCE instance)
{
    MainWindowState.instance = instance;
    EnumerateMonitors();
    Settings.WindowFrame = GetPrivateProfileIntA(WindowSection, "borderless", 0, LocalIniFile) == 1 ? 1 : 0;
    if (!RegisterMainClass(instance)) {
        WriteLog("The main window class cannot be registered");
        return false;
    }
    MainWindowState.aspectRatio = static_cast<int>(GetPrivateProfileIntA(WindowSection, "AspectRatio", 1, LocalIniFile));
    ApplyAspectLayout();
    int frameX = GetSystemMetrics(SM_CXSIZEFRAME), frameY = GetSystemMetrics(SM_CYSIZEFRAME);
    int width = 640 + 2 * frameX;
    int height = static_cast<int>(640.0 / MainWindowState.aspectValue + 2 * frameY + GetSystemMetrics(SM_CYCAPTION));
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND hwnd = CreateWindowExA(0, ClassName, FirstTitle, FramedStyle, x, y, width, height, nullptr, nullptr, instance,
                                nullptr);
    if (!hwnd) {
        WriteLog("The main window cannot be created");
        return false;
    }
    MainWindowState.mainWindow = hwnd;
    if (IsBorderless())
        SetBorderlessStyle();
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    int w = 0, h = 0;
    TakeClientSize(&w, &h);
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, AboutCommand, "&About\x85");
    return true;
}

// ---- styles, topmost, cursor, title ----

void SetBorderlessStyle()
{
    DWORD style = BorderlessStyle | (MainWindowState.fullScreen ? WS_MAXIMIZE : 0u);
    SetWindowLongA(MainWindowState.mainWindow, GWL_STYLE, static_cast<LONG>(style));
    MainWindowState.styleChanged = true;
}

void SetFramedStyle()
{
    HWND hwnd = MainWindowState.mainWindow;
    DWORD style = FramedStyle | (MainWindowState.fullScreen ? WS_MAXIMIZE : 0u);
    SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(style));
    SetWindowPos(hwnd, Settings.TopMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_FRAMECHANGED);
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    MainWindowState.styleChanged = true;
}

BOOL SetWindowTopmost()
{
    return SetWindowPos(MainWindowState.mainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

BOOL SetWindowNotTopmost()
{
    return SetWindowPos(MainWindowState.mainWindow, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void SetPointerCursor(int kind)
{
    int id = kind == 1 ? CursorKnobUpDown : CursorKnobTurn;
    SetCursor(LoadCursorA(MainWindowState.instance, MAKEINTRESOURCEA(id)));
}

void SetWindowTitle(const char* text) { SetWindowTextA(MainWindowState.mainWindow, text); }

void GetMainWindowPlacement(int out[11])
{
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    if (!GetWindowPlacement(MainWindowState.mainWindow, &wp))
        std::memset(&wp, 0, sizeof(wp));
    const int values[11] = {static_cast<int>(wp.length), static_cast<int>(wp.flags), static_cast<int>(wp.showCmd),
                            wp.ptMinPosition.x, wp.ptMinPosition.y, wp.ptMaxPosition.x, wp.ptMaxPosition.y,
                            wp.rcNormalPosition.left, wp.rcNormalPosition.top, wp.rcNormalPosition.right,
                            wp.rcNormalPosition.bottom};
    std::memcpy(out, values, sizeof(values));
}

void NudgeMapCursor(int direction)
{
    if (!MapPanning || direction < 1 || direction > 4)
        return;
    static const int StepX[5] = {0, -20, 20, 0, 0};
    static const int StepY[5] = {0, 0, 0, -20, 20};
    int x = 0, y = 0;
    GetLastClickPos(&x, &y);
    x += StepX[direction];
    y += StepY[direction];
    SetLastClickPos(x, y);
    MapAreaMouse(static_cast<uint32_t>(MAKELONG(x, y)), 1);
}

int WheelDirection(WPARAM wParam) { return GET_WHEEL_DELTA_WPARAM(wParam) >= 1 ? 513 : 516; }

// ---- the borderless hit test ----

int BorderlessHitTest(int px, int py, int w, int h, int mapLeft, int mapRight, int frameState)
{
    bool bottomBand = h - 10 <= py && py <= h;
    if (10 <= px && px <= w - 10 && 0 <= py && py < 6)
        return HTTOP;
    if (10 <= px && px <= w - 10 && 5 <= py && py <= 40)
        return HTCAPTION;
    if (0 <= px && px < 11 && bottomBand)
        return HTBOTTOMLEFT;
    if (w - 10 <= px && px <= w && bottomBand)
        return HTBOTTOMRIGHT;
    if (w - 10 <= px && px <= w && 10 <= py && py <= h - 10)
        return HTRIGHT;
    if (frameState == 0 && 10 <= px && px <= w - 10 && bottomBand)
        return HTBOTTOM;
    // With the button panel below the map, only the bottom edge beside the
    // map sizes the window.
    if (frameState == 1 && 10 <= px && px <= mapLeft) {
        if (bottomBand)
            return HTBOTTOM;
    } else if (mapRight < px && px < w - 10 && bottomBand) {
        return HTBOTTOM;
    }
    if (0 <= px && px < 11 && 0 <= py && py < 11)
        return HTTOPLEFT;
    if (w - 10 <= px && px <= w && 0 <= py && py <= 10)
        return HTTOPRIGHT;
    return HTNOWHERE;
}

static LRESULT OnHitTest(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const MainWindowStateBlock& s = MainWindowState;
    int px = GET_X_LPARAM(lParam) - s.windowX;
    int py = GET_Y_LPARAM(lParam) - s.windowY;
    int mapLeft = static_cast<int>(ScreenLayout.MapRectX * s.screenScaleX);
    int mapRight = static_cast<int>(mapLeft + ScreenLayout.MapRectW * s.screenScaleX);
    int hit = BorderlessHitTest(px, py, s.clientWidth, s.clientHeight, mapLeft, mapRight, Settings.FrameState);
    return hit != HTNOWHERE ? hit : DefWindowProcA(hwnd, message, wParam, lParam);
}

// ---- the window procedure ----

static void OnSize(HWND hwnd, WPARAM kind)
{
    MainWindowStateBlock& s = MainWindowState;
    if (IsZoomed(hwnd) && kind == SIZE_MAXIMIZED && !s.fullScreen) {
        s.fullScreen = true;
        s.relayoutRequest = 1;
        DetectAspectRatio();
        ApplyAspectLayout();
        s.paused = false;
        SnapWindowToMonitor();
    } else if (s.fullScreen && kind == SIZE_RESTORED) {
        if (!s.styleChanged) {
            s.fullScreen = false;
            PlaceWindowFromIni(hwnd, true);
            ApplyAspectLayout();
            // Without window keys nothing was placed: the display still has
            // the full-screen size, so build it again for this one.
            RECT shown, client;
            GetClientRectCached(&shown);
            GetClientRect(hwnd, &client);
            if (shown.right - shown.left != client.right || shown.bottom - shown.top != client.bottom)
                s.relayoutRequest = 1;
        }
        s.paused = false;
    } else {
        s.paused = kind == SIZE_MINIMIZED;
    }
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MainWindowStateBlock& s = MainWindowState;
    switch (message) {
    case WM_DESTROY:
        SaveWindowPlacement();
        s.running = false;
        break;
    case WM_SIZE:
        if (s.windowReady)
            OnSize(hwnd, wParam);
        break;
    case WM_PAINT:
        PresentFrame();
        break;
    case WM_CLOSE:
        if (s.wantedDisplayMode > 0) {
            // A small window steps on to the next mode instead of closing.
            CycleDisplayMode();
            return 1;
        }
        if (AskExitConfirmation() != IDYES)
            return 1;
        break;
    case WM_NCCALCSIZE:
        if (s.styleChanged) {
            s.styleChanged = false;
            s.relayoutRequest = 1;
        }
        break;
    case WM_NCHITTEST:
        if (IsBorderless())
            return OnHitTest(hwnd, message, wParam, lParam);
        break;
    case WM_KEYDOWN:
        if (HandleSoftkeyKey(wParam, lParam) == -1)
            PostToSimulatorWindow(message, wParam, lParam);
        break;
    case WM_SYSCOMMAND:
        if (wParam == AboutCommand) {
            ShowAboutBox();
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        OnMouseMessage(lParam, s.leftButtonHeld ? MouseDragMessage : message);
        break;
    case WM_LBUTTONDOWN:
        if (s.wantedDisplayMode > 0) {
            CycleDisplayMode();
        } else {
            s.leftButtonHeld = true;
            OnMouseMessage(lParam, message);
        }
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
        s.leftButtonHeld = false;
        OnMouseMessage(lParam, message);
        break;
    case WM_MOUSEWHEEL:
        OnMouseWheel(WheelDirection(wParam), lParam);
        break;
    case WM_ENTERMENULOOP:
        s.paused = true;
        break;
    case WM_EXITMENULOOP:
        s.paused = false;
        break;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND || wParam == PBT_APMSTANDBY) {
            SaveWindowPlacement();
            s.paused = true;
        } else if (wParam == PBT_APMRESUMESUSPEND || wParam == PBT_APMRESUMESTANDBY) {
            s.paused = false;
            RestoreWindowPlacement();
        }
        break;
    case WM_ENTERSIZEMOVE:
        s.paused = true;
        break;
    case WM_EXITSIZEMOVE:
        OnExitSizeMove();
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void ReassertTopmost()
{
    // A running helper's dialog must stay in front of the map.
    if (Settings.TopMost && IsHelperIdle())
        SetWindowTopmost();
}
