// What the tests add to the automation: checks, pictures drawn as the program should draw them,
// BMP files read back, and the program's GDI objects.
#pragma once

#include "automation.h"

#include <psapi.h>
#include <shellapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

namespace driver {

using namespace automation;

// A failed check is printed with its line and counted; the exit code tells.
inline int failures = 0;
inline bool check(bool ok, const char* what, int line, const std::string& detail = "") {
    if (!ok) ++failures, std::printf("FAILED at line %d: %s %s\n", line, what, detail.c_str());
    return std::fflush(stdout), ok;
}
#define CHECK(condition, ...)                                                                      \
    driver::check((condition), #condition, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define REQUIRE(condition, ...)                                                                    \
    if (!CHECK(condition __VA_OPT__(, ) __VA_ARGS__)) return

inline bool closes(HWND window, DWORD ms = 10000) {
    return waitUntil([window] { return !IsWindow(window); }, ms);
}

// Tray icons are known by window and uID; modifying nothing succeeds only while one exists.
inline bool trayIcon(DWORD command, HWND window) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon), icon.hWnd = window;
    return Shell_NotifyIconW(command, &icon);
}

// A 32-bit top-down picture in a DIB section, so that GDI can draw on it as the program would.
class Picture {
  public:
    explicit Picture(int w = GetSystemMetrics(SM_CXSCREEN), int h = GetSystemMetrics(SM_CYSCREEN))
        : width(w), height(h), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        original_ =
            SelectObject(dc_, CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
        SetBkMode(dc_, TRANSPARENT); // as the program's Canvas: dashes leave their gaps alone
    }
    ~Picture() { DeleteObject(SelectObject(dc_, original_)), DeleteDC(dc_); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // R2_NOT sets the unused top byte too.
    std::uint32_t at(int x, int y) const {
        return static_cast<std::uint32_t*>(bits_)[y * width + x] & 0xFFFFFF;
    }
    HDC dc() const { return dc_; }

    Picture& copyScreen() {
        HDC screen = GetDC(nullptr);
        BitBlt(dc_, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        return ReleaseDC(nullptr, screen), GdiFlush(), *this;
    }
    // Draws with a pen of this style, width and colour and the hollow brush, in this mix mode.
    template <typename Draw>
    void draw(int style, int penWidth, COLORREF colour, int mix, Draw how) {
        HGDIOBJ pen = SelectObject(dc_, CreatePen(style, penWidth, colour));
        HGDIOBJ brush = SelectObject(dc_, GetStockObject(NULL_BRUSH));
        const int oldMix = SetROP2(dc_, mix);
        how(dc_);
        SetROP2(dc_, oldMix), SelectObject(dc_, brush), DeleteObject(SelectObject(dc_, pen)),
            GdiFlush();
    }

    // A 24-bit bottom-up BMP of this picture's size, every header field as it must be.
    bool loadBmp(const std::string& b) {
        const std::uint32_t stride = (width * 3 + 3) & ~3, size = 54 + stride * height;
        // clang-format off
        const std::uint32_t header[][2] = {{0x4D42, 2}, {size, 4}, {0, 4}, {54, 4}, {40, 4}, {std::uint32_t(width), 4},
                                           {std::uint32_t(height), 4}, {1, 2}, {24, 2}, {0, 24}}; // value, bytes
        // clang-format on
        std::size_t at = 0;
        for (auto [value, bytes] : header)
            for (std::uint32_t i = 0; i < bytes; ++i, ++at)
                if (b.size() != size ||
                    std::uint8_t(b[at]) != (i < 4 ? (value >> 8 * i) & 0xFF : 0))
                    return false;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const auto* p = reinterpret_cast<const std::uint8_t*>(
                    &b[54 + stride * (height - 1 - y) + 3 * x]);
                static_cast<std::uint32_t*>(bits_)[y * width + x] = p[2] << 16 | p[1] << 8 | p[0];
            }
        return true;
    }

    // Empty when both show the same; otherwise how many pixels differ, and the first.
    friend std::string difference(const Picture& actual, const Picture& expected) {
        if (actual.width != expected.width || actual.height != expected.height)
            return "sizes differ";
        long count = 0, first = 0;
        for (int i = actual.width * actual.height - 1; i >= 0; --i)
            if (actual.at(i % actual.width, i / actual.width) !=
                expected.at(i % actual.width, i / actual.width))
                ++count, first = i;
        return count ? std::to_string(count) + " pixels differ, the first at " +
                           std::to_string(first % actual.width) + "," +
                           std::to_string(first / actual.width)
                     : "";
    }

    const int width, height;

  private:
    HDC dc_;
    HGDIOBJ original_ = nullptr;
    void* bits_ = nullptr;
};

// Drawing reaches the screen a little after the input: checks the screen once it shows the
// picture, or at the end of the wait.
#define CHECK_SCREEN(expected, ...)                                                                \
    [&] {                                                                                          \
        std::string d;                                                                             \
        driver::Picture shot(expected.width, expected.height);                                     \
        driver::waitUntil([&] { return (d = difference(shot.copyScreen(), expected)).empty(); },   \
                          3000);                                                                   \
        return driver::check(d.empty(), "the screen shows " #expected, __LINE__,                   \
                             d __VA_OPT__(+" " +) __VA_ARGS__);                                    \
    }()

// Topmost static windows of this program, painted when it waits: white on the left half and
// black on the right as the screen to freeze, or a square over part of it. Static controls are
// transparent to WindowFromPoint, so they never count as covering anything.
inline HWND showRect(RECT r, DWORD kind) {
    HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"",
                             WS_POPUP | kind, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             nullptr, nullptr, nullptr, nullptr);
    return ShowWindow(w, SW_SHOWNOACTIVATE), UpdateWindow(w), w;
}
struct Pattern {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HWND halves[2] = {showRect({0, 0, w / 2, h}, SS_WHITERECT),
                      showRect({w / 2, 0, w, h}, SS_BLACKRECT)};
    // Painted when this thread waits.
    Pattern() {
        waitUntil([] { return false; }, 200);
    }
    ~Pattern() { DestroyWindow(halves[0]), DestroyWindow(halves[1]); }
};

inline std::string readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::string narrow(const std::wstring& text) {
    std::string out(3 * text.size(), 0);
    return out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(),
                                          int(out.size()), 0, 0)),
           out;
}

inline bool exists(const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    return search != INVALID_HANDLE_VALUE && FindClose(search);
}

// A folder of its own beside this program, for the files a test writes.
inline std::wstring testFolder(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    std::wstring folder(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1) + name + L"\\";
    return CreateDirectoryW(folder.c_str(), nullptr), folder;
}

// Live GDI objects of another process, stock objects aside. Wine keeps no count for
// GetGuiResources; its handle table, found through the PEB, tells: 0x10000 entries of 24 bytes,
// in use while the type byte (at 14) is not 0, stock where the top bit of byte 12 is set (found
// by creating pens in a test program and watching the table).
inline DWORD gdiObjects(HANDLE process) {
    if (DWORD count = GetGuiResources(process, GR_GDIOBJECTS)) return count;
    using Query = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info = {};
    std::uint64_t table = 0;
    std::vector<std::uint8_t> entries(24 * 0x10000);
    if (query(process, ProcessBasicInformation, &info, sizeof(info), nullptr) ||
        !ReadProcessMemory(process, reinterpret_cast<char*>(info.PebBaseAddress) + 0xF8, &table, 8,
                           nullptr) ||
        !ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size(),
                           nullptr))
        return 0;
    DWORD count = 0;
    for (std::size_t at = 0; at < entries.size(); at += 24)
        count += entries[at + 14] && !(entries[at + 12] & 0x80);
    return count;
}

// The count once it has stayed the same for a moment: a program that has just acted may still
// be creating and freeing objects.
inline DWORD settledGdiObjects(HANDLE process) {
    DWORD last = gdiObjects(process);
    for (ULONGLONG since = GetTickCount64(); GetTickCount64() - since < 400; Sleep(50))
        if (const DWORD now = gdiObjects(process); now != last)
            last = now, since = GetTickCount64();
    return last;
}

// The program's GDI objects, once settled, and its working set in KiB.
inline std::pair<DWORD, long> usage(HANDLE process) {
    PROCESS_MEMORY_COUNTERS memory = {};
    K32GetProcessMemoryInfo(process, &memory, sizeof(memory));
    return {settledGdiObjects(process), long(memory.WorkingSetSize / 1024)};
}

} // namespace driver
