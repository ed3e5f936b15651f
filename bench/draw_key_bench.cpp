// Win+Shift+D against the tray: the time from the key to the overlay's first painted frame on the
// screen, and from a tool's choice in the tray menu to the same point (which includes the half
// second the tray waits for its menu to vanish). Tovrel.exe is driven from outside, in turns.
#include "automation.h"

#include <cstdio>
#include <functional>
#include <vector>

using namespace automation;

namespace {

// A full-screen colour that neither the desktop nor an unpainted window shows.
constexpr COLORREF kMarker = RGB(255, 0, 255);

LRESULT CALLBACK markerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_ERASEBKGND) return DefWindowProcW(window, message, wParam, lParam);
    RECT all;
    GetClientRect(window, &all);
    HBRUSH brush = CreateSolidBrush(kMarker);
    FillRect(reinterpret_cast<HDC>(wParam), &all, brush);
    DeleteObject(brush);
    return 1;
}

// Polls without pause: the wait's own granularity would be part of what is measured.
bool spinUntil(const std::function<bool()>& done) {
    for (const ULONGLONG end = GetTickCount64() + 10000; !done();)
        if (GetTickCount64() > end) return false;
    return true;
}

bool screenShowsMarker() {
    HDC screen = GetDC(nullptr);
    const COLORREF shown = GetPixel(screen, 40, 40);
    ReleaseDC(nullptr, screen);
    return shown == kMarker;
}

// Seconds from start() to the overlay's first frame: once the overlay is shown, the marker under it
// goes, and the screen shows the marker again only where the overlay has painted its frozen copy.
// ready() comes first, with the marker up.
double toFirstFrame(const Program& tovrel, const std::function<void()>& ready,
                    const std::function<void()>& start) {
    HWND marker =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"Marker", L"",
                        WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, nullptr);
    ShowWindow(marker, SW_SHOWNOACTIVATE);
    waitUntil(screenShowsMarker);
    ready();
    LARGE_INTEGER frequency, from, to;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&from);
    start();
    const bool painted = spinUntil([&] { return IsWindowVisible(tovrel.overlay()); }) &&
                         DestroyWindow(marker) && spinUntil(screenShowsMarker);
    QueryPerformanceCounter(&to);
    if (IsWindow(marker)) DestroyWindow(marker);
    key(VK_ESCAPE);
    return tovrel.overlayCloses() && painted
               ? double(to.QuadPart - from.QuadPart) / frequency.QuadPart
               : -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    WNDCLASSW markerClass = {};
    markerClass.lpfnWndProc = markerProc;
    markerClass.lpszClassName = L"Marker";
    RegisterClassW(&markerClass);
    Program tovrel;
    std::vector<double> byKey, byTray;
    for (int round = 0; round < 7; ++round) {
        byKey.push_back(toFirstFrame(
            tovrel, [] {}, drawKey));
        const auto menuAtTool = [&] {
            PostMessageW(tovrel.main, kTrayNotify, 0, WM_RBUTTONDOWN);
            waitUntil(menuOpen);
            key(VK_DOWN, kRectangle + 1);
        };
        byTray.push_back(toFirstFrame(tovrel, menuAtTool, [] { key(VK_RETURN); }));
    }
    if (*std::min_element(byKey.begin(), byKey.end()) < 0 ||
        *std::min_element(byTray.begin(), byTray.end()) < 0)
        return std::puts("an overlay did not open or close"), 1;
    const double key = median(byKey), tray = median(byTray);
    std::printf("to the overlay's first frame: Win+Shift+D %.1f ms, a tool from the tray %.1f ms\n"
                "key / tray: %.3f (aim: at most 0.2)\n",
                key * 1e3, tray * 1e3, key / tray);
    return 0;
}
