// The tray icon and its menu.
#pragma once

#include <windows.h>

inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;

void addTrayIcon(HWND mainWindow);
void removeTrayIcon();
void buildTrayMenu();
void showTrayMenu(HWND mainWindow);
