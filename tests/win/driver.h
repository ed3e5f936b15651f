// What the tests add to the automation: checks, pictures drawn as the program should draw them,
// BMP files read back, and the screen to freeze.
#pragma once

#include "automation.h"
#include "png_codec.h"

#include <cmath>
#include <cstdio>
#include <span>

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

// Draws text in black on p as the text tool does, in the font it asks for (24 pixels high at 96
// DPI), its first line at at; or, with measure, only the box it takes.
inline RECT write(Picture& p, const std::wstring& text, POINT at, bool measure = false,
                  int height = 24) {
    HGDIOBJ font =
        SelectObject(p.dc(), CreateFontW(-height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                         DEFAULT_PITCH, L"Microsoft YaHei"));
    RECT r = {at.x, at.y, at.x, at.y};
    SetTextColor(p.dc(), 0);
    DrawTextW(p.dc(), text.c_str(), int(text.size()), &r,
              DT_NOPREFIX | DT_NOCLIP | (measure ? DT_CALCRECT : 0));
    DeleteObject(SelectObject(p.dc(), font)), GdiFlush();
    return r;
}

// What makes r on shot no mosaic over before, if anything: a change outside r, a block (12x12 at
// 96 DPI) aligned to r's top-left corner that is not of one colour, a channel more than 12 from
// r's average on before, or neighbouring blocks alike more often than noise makes them.
inline std::string mosaicFault(const Picture& shot, const Picture& before, RECT r, int block = 12) {
    double sum[3] = {};
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            for (int c = 0; c < 3; ++c)
                sum[c] += before.at(x, y) >> 8 * c & 0xFF;
    const double count = double(r.right - r.left) * (r.bottom - r.top);
    int pairs = 0, alike = 0;
    for (int i = 0; i < shot.width * shot.height; ++i) {
        const int x = i % shot.width, y = i / shot.width, dx = x - r.left, dy = y - r.top;
        const std::uint32_t c = shot.at(x, y);
        const bool inside = PtInRect(&r, {x, y});
        const char* fault = nullptr;
        if (!inside && c != before.at(x, y)) fault = "changed outside";
        if (inside && c != shot.at(x - dx % block, y - dy % block))
            fault = "a block not of one colour";
        for (int ch = 0; ch < 3 && inside; ++ch)
            if (std::abs(int(c >> 8 * ch & 0xFF) - std::lround(sum[ch] / count)) > 12)
                fault = "more than 12 from the average";
        if (fault) return fault + (" at " + std::to_string(x) + "," + std::to_string(y));
        for (auto [nx, ny] : {std::pair{x - block, y}, {x, y - block}})
            if (inside && dx % block == 0 && dy % block == 0 && PtInRect(&r, {nx, ny}))
                ++pairs, alike += c == shot.at(nx, ny);
    }
    return alike * 4 < pairs ? ""
                             : std::to_string(alike) + " of " + std::to_string(pairs) +
                                   " neighbouring blocks alike";
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

// Loads into p a picture of its size from a PNG file, which must be 8-bit RGB and not interlaced,
// or, unless png, from a BMP file.
inline bool loadPicture(Picture& p, const std::string& b, bool png) {
    if (b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return !png && loadBmp(p, b);
    struct Into : PixelsFor {
        Picture& p;
        explicit Into(Picture& p) : p(p) {}
        std::uint32_t* operator()(int w, int h) override {
            return w == p.width && h == p.height ? p.bits() : nullptr;
        }
    } into(p);
    return png && b.size() > 33 &&
           b.compare(24, 5, std::string("\x08\x02\0\0\0", 5)) == 0 && // IHDR
           decodePng(reinterpret_cast<const unsigned char*>(b.data()), b.size(), into);
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

// Ctrl+C into an empty clipboard brings a bitmap that shows expected.
inline bool copyShows(const Picture& expected) {
    if (OpenClipboard(nullptr)) EmptyClipboard(), CloseClipboard();
    chord(VK_CONTROL, 'C');
    Picture copied(expected.width, expected.height);
    return waitUntil([&] { return loadBmp(copied, clipboardDib(), true); }) &&
           difference(copied, expected).empty();
}

// Drawing reaches the screen a little after the input: checks the screen once it shows the
// picture, or at the end of the wait.
inline bool screenShows(const Picture& expected, const char* what, int line, std::string detail,
                        POINT at = {}) {
    std::string d;
    Picture shot(expected.width, expected.height);
    waitUntil([&] { return (d = difference(shot.copyScreen(at.x, at.y), expected)).empty(); },
              3000);
    return check(d.empty(), what, line, d + " " + detail);
}
#define CHECK_SCREEN(expected, ...)                                                                \
    driver::screenShows(expected, "the screen shows " #expected, __LINE__, std::string(__VA_ARGS__))
// The same from the screen's point at on, as on a monitor other than the primary.
#define CHECK_SCREEN_AT(expected, at, ...)                                                         \
    driver::screenShows(expected, "the screen shows " #expected, __LINE__,                         \
                        std::string(__VA_ARGS__), at)

// Topmost static windows of this program: white on the left half and dark on the right as the
// screen to freeze, or a square over part of it. Static controls are transparent to
// WindowFromPoint, so they never count as covering anything.
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
    // Ready once the screen shows what the halves have painted.
    Pattern() {
        Picture screen;
        auto shown = [&](HWND half, int x) {
            HDC dc = GetDC(half);
            const COLORREF c = GetPixel(dc, 0, h / 2);
            ReleaseDC(half, dc);
            return screen.at(x, h / 2) ==
                   std::uint32_t(RGB(GetBValue(c), GetGValue(c), GetRValue(c)));
        };
        waitUntil(
            [&] { return screen.copyScreen(), shown(halves[0], 0) && shown(halves[1], w / 2); });
    }
    ~Pattern() { DestroyWindow(halves[0]), DestroyWindow(halves[1]); }
};

inline std::string narrow(const std::wstring& text) {
    std::string out(3 * text.size(), 0);
    return out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(),
                                          int(out.size()), 0, 0)),
           out;
}

// The program's box "提示信息" saying text, once it is in front; null if none comes.
inline HWND messageShown(DWORD processId, const wchar_t* text, DWORD ms = 5000) {
    HWND box = nullptr;
    return waitUntil([&] { return (box = dialogOf(processId, true, L"提示信息")) && inFront(box); },
                     ms) &&
                   FindWindowExW(box, nullptr, L"Static", text)
               ? box
               : nullptr;
}

// What keeps the About box from showing its link whole, if anything: its address, in the font the
// dialog names (9-point MS Shell Dlg at its DPI), wider than the link or than the room left to the
// dialog's right edge, or the label's text running under the link.
inline std::string aboutLinkFault(HWND about) {
    const HWND link = GetDlgItem(about, 1001),
               label = FindWindowExW(about, nullptr, L"Static", L"作者链接：");
    HDC dc = GetDC(nullptr);
    const HGDIOBJ original =
        SelectObject(dc, CreateFontW(-MulDiv(9, GetDpiForWindow(about), 72), 0, 0, 0, 0, 0, 0, 0,
                                     DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg"));
    SIZE address = {}, labelText = {};
    GetTextExtentPoint32W(dc, L"https://tovrel.example.org/", 27, &address);
    GetTextExtentPoint32W(dc, L"作者链接：", 5, &labelText);
    DeleteObject(SelectObject(dc, original)), ReleaseDC(nullptr, dc);
    RECT at = {}, labelAt = {}, client = {}, dialog = {};
    GetWindowRect(link, &at), GetWindowRect(label, &labelAt), GetClientRect(link, &client);
    GetClientRect(about, &dialog), MapWindowPoints(about, nullptr, (POINT*)&dialog, 2);
    const std::string fault = address.cx > client.right || at.left + address.cx > dialog.right
                                  ? "the address needs " + std::to_string(address.cx) +
                                        " pixels, the link has " + std::to_string(client.right) +
                                        "; "
                                  : "";
    return fault +
           (labelAt.left + labelText.cx > at.left
                ? "the label runs " + std::to_string(labelAt.left + labelText.cx - at.left) +
                      " pixels under the link"
                : "");
}

// Starts a command line, as the Run dialog would.
inline bool startCommand(std::wstring command) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started) &&
           CloseHandle(started.hThread) && CloseHandle(started.hProcess);
}

// The box "提示信息" saying text, in front of the overlay that owns it and takes no input
// meanwhile; closed, the overlay has the keyboard again.
inline bool failureShown(const Program& tovrel, HWND overlay, const wchar_t* text,
                         DWORD ms = 5000) {
    const HWND box = messageShown(tovrel.id(), text, ms);
    return box && !IsWindowEnabled(overlay) && PostMessageW(box, WM_COMMAND, IDOK, 0) &&
           closes(box) && activeAgain(overlay);
}

// A folder of its own beside this program, for the files a test writes.
inline std::wstring testFolder(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    std::wstring folder(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1) + name + L"\\";
    return CreateDirectoryW(folder.c_str(), nullptr), folder;
}

} // namespace driver
