// The tray icon and its menu.
#pragma once

#include <windows.h>

inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;

void addTrayIcon(HWND mainWindow);
void removeTrayIcon();
// Discards any overlay, removes the icon and ends the message loop.
void endProgram();
void buildTrayMenu();
void showTrayMenu(HWND mainWindow);
