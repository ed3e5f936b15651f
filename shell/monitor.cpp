#include "monitor.h"

namespace {

RECT monitorRect(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!monitor || !GetMonitorInfoW(monitor, &info)) return primaryMonitor();
    return info.rcMonitor;
}

} // namespace

RECT primaryMonitor() {
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

RECT monitorUnderCursor() {
    POINT cursor = {};
    GetCursorPos(&cursor);
    return monitorRect(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST));
}

RECT monitorFor(POINT origin, int width, int height) {
    const RECT wanted = {origin.x, origin.y, origin.x + width, origin.y + height};
    const RECT found = monitorRect(MonitorFromPoint(origin, MONITOR_DEFAULTTONULL));
    return EqualRect(&found, &wanted) ? wanted : RECT{0, 0, width, height};
}

int dpiOf(HWND window) {
    // Looked up rather than imported: systems before Windows 10 do not have it. Looked up each
    // time, as a local static would bring in the C++ runtime's guard for it.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    const auto dpiForWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = dpiForWindow ? dpiForWindow(window) : 0;
    return dpi ? int(dpi) : 96;
}
