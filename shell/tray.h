// The tray icon and its menu.
#pragma once

#include <windows.h>

inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;
inline constexpr UINT_PTR kTrayRetryTimer = 1;

// Fills in the icon, whose tooltip tells whether Win+Shift+D is the program's, and adds it; when
// another program holds the key, a balloon from the icon says so once it is there.
void initTrayIcon(HWND mainWindow, bool drawKeyHeld);
// Adds the icon; while that fails, kTrayRetryTimer calls for retryTrayIcon every 2 s, for
// about 2 minutes.
void addTrayIcon(HWND mainWindow);
void retryTrayIcon(HWND mainWindow);
void removeTrayIcon();
// A balloon from the icon, "已保存" over the file's full path; clicked, it opens the folder in
// Explorer with the file selected.
void showSavedBalloon(const wchar_t* path);
// The icon's NIN_BALLOON* notifications: a click acts only on the balloon that shows.
void onBalloonNotify(UINT event);
// Discards any overlay, removes the icon and ends the message loop.
void endProgram();
void buildTrayMenu();
void showTrayMenu(HWND mainWindow);
