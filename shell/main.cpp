// Entry point and the hidden main window that owns the tray icon.
#include "app_state.h"
#include "draw_key.h"
#include "overlay.h"
#include "save.h"
#include "tray.h"

#include <objbase.h>

namespace {

// Sent to every top-level window when the taskbar is (re)created, e.g. after
// Explorer restarts; without re-adding the icon the program could not be reached.
const UINT g_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

void onCreate(HWND window) {
    buildTrayMenu();
    initTrayIcon(window, registerDrawKey(window));
}

void onTrayNotify(HWND window, LPARAM event) {
    if (event == WM_RBUTTONDOWN) return showTrayMenu(window);
    onBalloonNotify(UINT(event));
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: onCreate(window); break;
    case WM_DESTROY: endProgram(); break;
    case WM_TRAYNOTIFY: onTrayNotify(window, lParam); break;
    case WM_PICTURESAVED: showSavedBalloon(reinterpret_cast<const wchar_t*>(lParam)); break;
    case WM_HOTKEY:
        if (wParam == kDrawKeyId) onDrawKey();
        break;
    case WM_TIMER:
        if (wParam == kTrayRetryTimer) retryTrayIcon(window);
        break;
    default:
        if (message == g_taskbarCreated && g_taskbarCreated != 0) addTrayIcon(window);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool registerMainClass() {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = g_instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"Main";
    return RegisterClassExW(&windowClass) != 0;
}

int runProgram(HINSTANCE instance) {
    g_instance = instance;
    if (!registerMainClass()) {
        MessageBoxW(nullptr, L"注册失败", L"ERROR", MB_OK);
        return 0;
    }
    g_mainWindow =
        CreateWindowExW(WS_EX_TOOLWINDOW, L"Main", L"", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    // Run elevated, the program would otherwise never hear from a non-elevated taskbar.
    ChangeWindowMessageFilterEx(g_mainWindow, g_taskbarCreated, MSGFLT_ALLOW, nullptr);
    initSaveDialogRecord(g_mainWindow);
    ShowWindow(g_mainWindow, SW_SHOW);
    UpdateWindow(g_mainWindow);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    unregisterDrawKey(g_mainWindow);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The shell asks for COM on the thread that calls ShellExecuteW (the About box's link).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const int result = runProgram(instance);
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}
