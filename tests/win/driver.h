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
#include <span>
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

// Draws on p with a pen of this style, width and colour and the hollow brush, in this mix mode,
// as the program would.
template <typename Draw>
void draw(Picture& p, int style, int penWidth, COLORREF colour, int mix, Draw how) {
    HGDIOBJ pen = SelectObject(p.dc(), CreatePen(style, penWidth, colour));
    HGDIOBJ brush = SelectObject(p.dc(), GetStockObject(NULL_BRUSH));
    const int oldMix = SetROP2(p.dc(), mix);
    how(p.dc());
    SetROP2(p.dc(), oldMix), SelectObject(p.dc(), brush), DeleteObject(SelectObject(p.dc(), pen)),
        GdiFlush();
}

// Loads into p a 24-bit bottom-up picture of its size, every header field as it must be: a BMP
// file, or from the info header on (dib) with the size of its rows in it, as the clipboard has it
// (in memory that may be a little larger).
inline bool loadBmp(Picture& p, const std::string& b, bool dib = false) {
    const std::uint32_t stride = (p.width * 3 + 3) & ~3, rows = stride * p.height;
    const std::uint32_t size = (dib ? 40 : 54) + rows;
    if (dib ? b.size() < size : b.size() != size) return false;
    // clang-format off
    const std::uint32_t header[][2] = {{0x4D42, 2}, {size, 4}, {0, 4}, {54, 4}, {40, 4}, {std::uint32_t(p.width), 4},
                                       {std::uint32_t(p.height), 4}, {1, 2}, {24, 2}, {0, 4}, {dib ? rows : 0, 4}, {0, 16}}; // value, bytes
    // clang-format on
    std::size_t at = 0;
    for (auto [value, bytes] : std::span(header).subspan(dib ? 4 : 0))
        for (std::uint32_t i = 0; i < bytes; ++i, ++at)
            if (std::uint8_t(b[at]) != (i < 4 ? (value >> 8 * i) & 0xFF : 0)) return false;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const auto* c =
                reinterpret_cast<const std::uint8_t*>(&b[at + stride * (p.height - 1 - y) + 3 * x]);
            p.bits()[y * p.width + x] = c[2] << 16 | c[1] << 8 | c[0];
        }
    return true;
}

// Empty when both show the same; otherwise how many pixels differ, and the first.
inline std::string difference(const Picture& actual, const Picture& expected) {
    if (actual.width != expected.width || actual.height != expected.height) return "sizes differ";
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

// Drawing reaches the screen a little after the input: checks the screen once it shows the
// picture, or at the end of the wait.
inline bool screenShows(const Picture& expected, const char* what, int line, std::string detail) {
    std::string d;
    Picture shot(expected.width, expected.height);
    waitUntil([&] { return (d = difference(shot.copyScreen(), expected)).empty(); }, 3000);
    return check(d.empty(), what, line, d + " " + detail);
}
#define CHECK_SCREEN(expected, ...)                                                                \
    driver::screenShows(expected, "the screen shows " #expected, __LINE__, std::string(__VA_ARGS__))

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
    // Painted when this thread handles its messages.
    Pattern() {
        Picture screen;
        waitUntil([&] {
            return screen.copyScreen().at(w / 4, h / 2) == 0xFFFFFF && !screen.at(3 * w / 4, h / 2);
        });
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

// What the clipboard holds as CF_DIB, or nothing.
inline std::string clipboardDib() {
    std::string dib;
    if (!OpenClipboard(nullptr)) return dib;
    HGLOBAL data = GetClipboardData(CF_DIB);
    if (const char* bytes = data ? static_cast<const char*>(GlobalLock(data)) : nullptr)
        dib.assign(bytes, GlobalSize(data)), GlobalUnlock(data);
    return CloseClipboard(), dib;
}

// Reads another process's memory at address, as found from its PEB; false if it cannot.
inline bool readMemory(HANDLE process, std::uint64_t address, void* into, std::size_t size) {
    return ReadProcessMemory(process, reinterpret_cast<void*>(address), into, size, nullptr);
}
inline std::uint64_t peb(HANDLE process) {
    using Query = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info = {};
    return query(process, ProcessBasicInformation, &info, sizeof(info), nullptr)
               ? 0
               : reinterpret_cast<std::uint64_t>(info.PebBaseAddress);
}

// Another process's current folder: its process parameters (at 0x20 in the PEB) hold it as a
// counted string at 0x38.
inline std::wstring currentFolder(HANDLE process) {
    std::uint64_t parameters = 0;
    UNICODE_STRING folder = {};
    std::wstring text(MAX_PATH, 0);
    if (!readMemory(process, peb(process) + 0x20, &parameters, 8) ||
        !readMemory(process, parameters + 0x38, &folder, sizeof(folder)) ||
        !readMemory(process, reinterpret_cast<std::uint64_t>(folder.Buffer), text.data(),
                    std::min<std::size_t>(folder.Length, 2 * MAX_PATH)))
        return L"";
    return text.substr(0, folder.Length / 2);
}

// Live GDI objects of another process, stock objects aside. Wine keeps no count for
// GetGuiResources; its handle table, found through the PEB, tells: 0x10000 entries of 24 bytes,
// in use while the type byte (at 14) is not 0, stock where the top bit of byte 12 is set (found
// by creating pens in a test program and watching the table).
inline DWORD gdiObjects(HANDLE process) {
    if (DWORD count = GetGuiResources(process, GR_GDIOBJECTS)) return count;
    std::uint64_t table = 0;
    std::vector<std::uint8_t> entries(24 * 0x10000);
    if (!readMemory(process, peb(process) + 0xF8, &table, 8) ||
        !readMemory(process, table, entries.data(), entries.size()))
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
