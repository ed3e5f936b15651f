// Reading and working another process's dialogs from outside, and the files they write.
#pragma once

#include "driver.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace dialog_support {

using namespace driver;

inline std::wstring windowText(HWND window) {
    // WM_GETTEXT crosses processes; GetWindowTextW would not ask another process's controls.
    wchar_t text[512] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    return text;
}

// Direct children in Z order, which for a dialog is the order of its template.
inline std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// A shown captioned dialog of the process with this title; any title if `title` is null.
inline HWND captionedDialog(DWORD processId, const wchar_t* title, HWND except = nullptr) {
    for (HWND window : topWindows(L"#32770", processId)) {
        const LONG style = GetWindowLongW(window, GWL_STYLE);
        if (window != except && IsWindowVisible(window) && (style & WS_CAPTION) == WS_CAPTION &&
            (!title || windowText(window) == title))
            return window;
    }
    return nullptr;
}

inline POINT centreOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Nothing covers the middle of the window: what a user sees there belongs to it.
inline bool isInFront(HWND window) {
    HWND hit = WindowFromPoint(centreOf(window));
    return hit && GetAncestor(hit, GA_ROOT) == window;
}

// Under Wine's virtual desktop the X server reports each move, and each window mapped under the
// pointer, to the process whose window is there, which passes it on as a move of its own when
// it next waits for messages: late, it puts the cursor back where it was. Two round trips to
// that thread let it pass them on, and a second move puts the cursor right again; then it has
// arrived once it stays put.
inline bool settleMouseAt(POINT target) {
    const auto flushWindowUnder = [target] {
        for (int i = 0; i < 2; ++i)
            SendMessageTimeoutW(WindowFromPoint(target), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                nullptr);
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        moveMouse(target.x, target.y);
        Sleep(10);
        flushWindowUnder();
        moveMouse(target.x, target.y);
        Sleep(10);
        flushWindowUnder();
        ULONGLONG arrived = 0;
        if (waitUntil(
                [&] {
                    POINT cursor = {};
                    GetCursorPos(&cursor);
                    if (cursor.x != target.x || cursor.y != target.y)
                        arrived = 0;
                    else if (arrived == 0)
                        arrived = GetTickCount64();
                    return arrived != 0 && GetTickCount64() - arrived >= 150;
                },
                1500))
            return true;
    }
    return false;
}

// The program reads the cursor when it takes a press, so nothing moves until it has.
inline void steadyDrag(POINT from, POINT to, int steps = 6) {
    settleMouseAt(from);
    leftButton(true);
    Sleep(150);
    for (int i = 1; i <= steps; ++i) {
        Sleep(15);
        moveMouse(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
    }
    settleMouseAt(to);
    leftButton(false);
}

// A window is shown a moment before it is activated and raised.
inline bool comesToFront(HWND window) {
    return waitUntil([window] { return isInFront(window); }, 2000);
}

inline void clickAt(POINT at) {
    settleMouseAt(at);
    leftButton(true);
    Sleep(20);
    leftButton(false);
}

inline void click(HWND window) {
    clickAt(centreOf(window));
}

// Types text into the focused control, whatever the keyboard layout.
inline void typeText(const std::wstring& text) {
    for (wchar_t ch : text) {
        INPUT input[2] = {};
        for (INPUT& key : input) {
            key.type = INPUT_KEYBOARD;
            key.ki.wScan = ch;
            key.ki.dwFlags = KEYEVENTF_UNICODE;
        }
        input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
}

// This test program's own folder, with a trailing backslash.
inline std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

inline bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Without opening the file: an open handle would stop the program replacing it.
inline std::uint64_t fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

inline std::vector<std::uint8_t> readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool writeFile(const std::wstring& path, const void* data, size_t size) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return out.good();
}

inline bool anyFileMatches(const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

} // namespace dialog_support
