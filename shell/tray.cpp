#include "tray.h"

#include "about.h"
#include "app_state.h"
#include "menus.h"
#include "overlay.h"
#include "resource_ids.h"
#include "save.h"
#include "start_with_windows.h"

#include <shellapi.h>

#include <cwchar>
#include <iterator>
#include <utility>

using namespace tovrel;

namespace {

NOTIFYICONDATAW g_trayIcon;
UniqueMenu g_trayMenu;
int g_addRetries = 0;
bool g_tellKeyTaken = false;

// The icon's notifications name no balloon: which one shows is remembered here. The one asked
// for last is the one the shell shows next.
enum class Balloon { None, KeyTaken, Saved };
Balloon g_balloonAsked = Balloon::None;
Balloon g_balloonShown = Balloon::None;
wchar_t g_savedPath[kSavedPathCapacity];

bool showBalloon(Balloon kind, const wchar_t* title, const wchar_t* text, DWORD icon) {
    NOTIFYICONDATAW balloon = g_trayIcon;
    balloon.uFlags = NIF_INFO;
    // What does not fit is cut at the front: the end of a path names the file.
    const std::size_t length = std::wcslen(text), room = std::size(balloon.szInfo) - 1;
    if (length > room) wcscpy_s(balloon.szInfo, L"…"), text += length - room + 1;
    wcscat_s(balloon.szInfo, text);
    wcscpy_s(balloon.szInfoTitle, title);
    balloon.dwInfoFlags = icon;
    if (!Shell_NotifyIconW(NIM_MODIFY, &balloon)) return false;
    g_balloonAsked = g_balloonShown = kind;
    return true;
}

// Said once, when the icon it comes from is first there.
void tellIfKeyTaken() {
    if (!std::exchange(g_tellKeyTaken, false)) return;
    showBalloon(Balloon::KeyTaken, L"Tovrel",
                L"快捷键 Win+Shift+D 已被其他程序占用，请从托盘菜单开始画图。", NIIF_WARNING);
}

// A new Explorer window on the file's folder, with the file selected. Named in full: a bare
// name would be looked for in the current folder first.
void showInExplorer(const wchar_t* path) {
    wchar_t explorer[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(explorer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 14) return;
    wcscat_s(explorer, L"\\explorer.exe");
    wchar_t command[MAX_PATH + std::size(g_savedPath) + 16] = L"\"";
    wcscat_s(command, explorer), wcscat_s(command, L"\" /select,\""), wcscat_s(command, path);
    wcscat_s(command, L"\"");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(explorer, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
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

void showSavedBalloon(const wchar_t* path) {
    if (std::wcslen(path) < std::size(g_savedPath) &&
        showBalloon(Balloon::Saved, L"已保存", path, NIIF_INFO))
        wcscpy_s(g_savedPath, path);
}

void onBalloonNotify(UINT event) {
    switch (event) {
    // A balloon replaced by another may end after the new one was asked for, before it shows.
    case NIN_BALLOONSHOW: g_balloonShown = g_balloonAsked; break;
    case NIN_BALLOONTIMEOUT:
    case NIN_BALLOONHIDE: g_balloonShown = Balloon::None; break;
    case NIN_BALLOONUSERCLICK:
        if (std::exchange(g_balloonShown, Balloon::None) == Balloon::Saved)
            showInExplorer(g_savedPath);
        break;
    }
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
