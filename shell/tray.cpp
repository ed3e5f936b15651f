#include "tray.h"

#include "about.h"
#include "app_state.h"
#include "menus.h"
#include "overlay.h"
#include "resource_ids.h"
#include "start_with_windows.h"

#include <shellapi.h>

#include <cwchar>
#include <utility>

using namespace tovrel;

namespace {

NOTIFYICONDATAW g_trayIcon;
UniqueMenu g_trayMenu;
int g_addRetries = 0;
bool g_tellKeyTaken = false;

// Said once, when the icon it comes from is first there.
void tellIfKeyTaken() {
    if (!std::exchange(g_tellKeyTaken, false)) return;
    NOTIFYICONDATAW balloon = g_trayIcon;
    balloon.uFlags = NIF_INFO;
    wcscpy_s(balloon.szInfo, L"快捷键 Win+Shift+D 已被其他程序占用，请从托盘菜单开始画图。");
    wcscpy_s(balloon.szInfoTitle, L"Tovrel");
    balloon.dwInfoFlags = NIIF_WARNING;
    Shell_NotifyIconW(NIM_MODIFY, &balloon);
}

// Owned by an open overlay, a box is above it and the overlay waits for it.
HWND boxOwner(HWND mainWindow) {
    return overlayWindow() ? overlayWindow() : mainWindow;
}

void tellFailure(HWND owner, const wchar_t* text) {
    InModalLoop modal;
    MessageBoxW(owner, text, L"提示信息", MB_OK);
}

} // namespace

void initTrayIcon(HWND mainWindow, bool drawKeyHeld) {
    g_trayIcon = {};
    g_trayIcon.cbSize = sizeof(g_trayIcon);
    g_trayIcon.hWnd = mainWindow;
    g_trayIcon.uID = 0;
    g_trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_trayIcon.uCallbackMessage = WM_TRAYNOTIFY;
    g_trayIcon.hIcon = LoadIconW(g_instance, MAKEINTRESOURCEW(IDI_TRAY));
    wcscpy_s(g_trayIcon.szTip, drawKeyHeld ? L"Tovrel — Win+Shift+D 画图" : L"Tovrel");
    g_tellKeyTaken = !drawKeyHeld;
    addTrayIcon(mainWindow);
}

void addTrayIcon(HWND mainWindow) {
    // An Explorer still busy starting at logon lets the add time out; without an icon nothing
    // could reach the program, so it is tried again until it lands.
    g_addRetries = 0;
    if (Shell_NotifyIconW(NIM_ADD, &g_trayIcon))
        tellIfKeyTaken();
    else
        SetTimer(mainWindow, kTrayRetryTimer, 2000, nullptr);
}

void retryTrayIcon(HWND mainWindow) {
    // An add that timed out may have landed after all.
    const bool landed =
        Shell_NotifyIconW(NIM_MODIFY, &g_trayIcon) || Shell_NotifyIconW(NIM_ADD, &g_trayIcon);
    if (landed) tellIfKeyTaken();
    if (landed || ++g_addRetries == 60) KillTimer(mainWindow, kTrayRetryTimer);
}

void endProgram() {
    forgetPictures();
    removeTrayIcon();
    PostQuitMessage(0);
}

void removeTrayIcon() {
    Shell_NotifyIconW(NIM_DELETE, &g_trayIcon);
}

void buildTrayMenu() {
    g_trayMenu.reset(buildMenu(MenuKind::Tray));
}

void showTrayMenu(HWND mainWindow) {
    // Read at each opening: Task Manager or another copy may have changed it since.
    const bool startsAtSignIn = startsWithWindows();
    CheckMenuItem(g_trayMenu.get(), kStartWithWindowsItem.trayId,
                  MF_BYCOMMAND | (startsAtSignIn ? MF_CHECKED : MF_UNCHECKED));
    SetForegroundWindow(mainWindow);
    const CommandId id = trackMenuAtCursor(g_trayMenu.get(), mainWindow, TPM_RIGHTALIGN);
    // Lets the menu close properly when the user clicks elsewhere next time.
    PostMessageW(mainWindow, WM_NULL, 0, 0);
    switch (dispatchCommand(MenuKind::Tray, id, g_settings, g_drag)) {
    case Request::OpenOverlay: openOverlay(); break;
    // With no overlay open, the undo takes back the last one thrown away.
    case Request::CloseOverlay: overlayWindow() ? closeOverlay() : bringBackOverlay(); break;
    // The mark as shown is what the user asks to change.
    case Request::ToggleStartWithWindows:
        if (!setStartWithWindows(!startsAtSignIn)) tellFailure(boxOwner(mainWindow), L"设置失败");
        break;
    case Request::ShowAbout: showAboutBox(boxOwner(mainWindow)); break;
    case Request::Exit: endProgram(); break;
    default: break;
    }
}
