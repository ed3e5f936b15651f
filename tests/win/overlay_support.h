// What the overlay should show, drawn in this process with the same GDI calls on a copy of the
// driver's pattern, and the input and menu steps that get the program there.
#pragma once

#include "driver.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

namespace overlay_support {

// Positions among the tray menu's selectable items, and within its two submenus.
constexpr int kUndo = 0;
constexpr int kRectangle = 1;
constexpr int kEllipse = 2;
constexpr int kPen = 3;
constexpr int kLine = 4;
constexpr int kArrow = 5;
constexpr int kWidthMenu = 6;
constexpr int kColourMenu = 7;
constexpr int kDashed = 1;
constexpr int kThick = 2;
constexpr int kRed = 3;

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;

using Segment = std::pair<POINT, POINT>;

// The pattern window's picture (left half white, right half black) in a DIB of screen size,
// with the pixel layout of driver::Screenshot.
class Picture {
  public:
    Picture()
        : width_(GetSystemMetrics(SM_CXSCREEN)), height_(GetSystemMetrics(SM_CYSCREEN)),
          dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint32_t*>(bits);
        original_ = SelectObject(dc_, bitmap_);
        // The Canvas draws dashes without filling their gaps.
        SetBkMode(dc_, TRANSPARENT);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                bits_[static_cast<size_t>(y) * width_ + x] = x < width_ / 2 ? kWhite : kBlack;
    }
    ~Picture() {
        SelectObject(dc_, original_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    // R2_NOT sets the unused top byte too.
    std::uint32_t at(int x, int y) const {
        return bits_[static_cast<size_t>(y) * width_ + x] & 0xFFFFFF;
    }

    // Outlines as the rubber band leaves them: inverted, hollow.
    void invertRectangle(POINT a, POINT b, int style = PS_SOLID, int width = 1) {
        withPen(style, width, RGB(0, 0, 0), R2_NOT, [&] { Rectangle(dc_, a.x, a.y, b.x, b.y); });
    }
    void invertEllipse(POINT a, POINT b) {
        withPen(PS_SOLID, 1, RGB(0, 0, 0), R2_NOT, [&] { Ellipse(dc_, a.x, a.y, b.x, b.y); });
    }
    void invertLines(std::initializer_list<Segment> segments, int width = 1) {
        withPen(PS_SOLID, width, RGB(0, 0, 0), R2_NOT, [&] {
            for (const Segment& segment : segments) {
                MoveToEx(dc_, segment.first.x, segment.first.y, nullptr);
                LineTo(dc_, segment.second.x, segment.second.y);
            }
        });
    }
    void paintLine(POINT a, POINT b, COLORREF colour, int width) {
        withPen(PS_SOLID, width, colour, R2_COPYPEN, [&] {
            MoveToEx(dc_, a.x, a.y, nullptr);
            LineTo(dc_, b.x, b.y);
        });
    }

  private:
    template <typename Draw>
    void withPen(int style, int width, COLORREF colour, int mode, Draw draw) {
        HPEN pen = CreatePen(style, width, colour);
        HGDIOBJ oldPen = SelectObject(dc_, pen);
        HGDIOBJ oldBrush = SelectObject(dc_, GetStockObject(NULL_BRUSH));
        const int oldMode = SetROP2(dc_, mode);
        draw();
        GdiFlush();
        SetROP2(dc_, oldMode);
        SelectObject(dc_, oldBrush);
        SelectObject(dc_, oldPen);
        DeleteObject(pen);
    }

    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

inline std::string hex(std::uint32_t pixel) {
    char text[16];
    std::snprintf(text, sizeof(text), "%06X", static_cast<unsigned>(pixel));
    return text;
}

// Empty when the screen shows exactly the picture; otherwise how many pixels differ and where
// the first few are.
inline std::string differences(const driver::Screenshot& shot, const Picture& expected) {
    if (shot.width != expected.width() || shot.height != expected.height())
        return "screen is " + std::to_string(shot.width) + "x" + std::to_string(shot.height);
    size_t count = 0;
    std::string first;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            if (shot.at(x, y) == expected.at(x, y)) continue;
            if (++count <= 6)
                first += " (" + std::to_string(x) + "," + std::to_string(y) + ") " +
                         hex(shot.at(x, y)) + " not " + hex(expected.at(x, y)) + ";";
        }
    return count == 0 ? std::string() : std::to_string(count) + " pixels differ:" + first;
}

// Drawing reaches the screen a little after the input: waits for the picture, and gives back
// the last look at the screen either way.
inline driver::Screenshot waitForPicture(const Picture& expected, DWORD timeoutMs = 3000) {
    driver::Screenshot shot;
    driver::waitUntil(
        [&] {
            shot = driver::captureScreen();
            return differences(shot, expected).empty();
        },
        timeoutMs);
    return shot;
}

// Every mouse event carries its own position. Under Wine's virtual desktop a bare button event
// can be stamped with a stale cursor position, as moves echo back late from the X server.
inline void mouseAt(POINT point, DWORD buttons = 0) {
    const LONG width = GetSystemMetrics(SM_CXSCREEN);
    const LONG height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = (point.x * 65536 + width - 1) / width;
    input.mi.dy = (point.y * 65536 + height - 1) / height;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    SendInput(1, &input, sizeof(input));
}

// A left-button drag in `steps` moves. The pauses let the program read the cursor at the press
// before it moves, and make the move to `to` the last one it sees before the release.
inline void dragFromTo(POINT from, POINT to, int steps = 6) {
    mouseAt(from);
    Sleep(100);
    mouseAt(from, MOUSEEVENTF_LEFTDOWN);
    Sleep(100);
    for (int i = 1; i <= steps; ++i) {
        Sleep(15);
        mouseAt({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    }
    Sleep(150);
    mouseAt(to);
    Sleep(50);
    mouseAt(to, MOUSEEVENTF_LEFTUP);
}

inline void sendKey(WORD key, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
}

inline void pressAltF4() {
    sendKey(VK_MENU, true);
    sendKey(VK_F4, true);
    sendKey(VK_F4, false);
    sendKey(VK_MENU, false);
}

// Opens the tray menu and chooses an item, or an item of the submenu at `submenu`; true once
// the menu has closed.
inline bool chooseFromTray(HWND mainWindow, int item, std::optional<int> submenu = {}) {
    driver::openTrayMenu(mainWindow);
    if (!driver::waitForPopupMenu()) return false;
    if (submenu) {
        driver::pressKey(VK_DOWN, *submenu + 1);
        // A submenu opened by key starts on its first item.
        driver::pressKey(VK_RIGHT);
        driver::pressKey(VK_DOWN, item);
        driver::pressKey(VK_RETURN);
    } else {
        driver::chooseMenuItem(item);
    }
    return driver::waitForNoPopupMenu();
}

// The overlay once it is shown and above every other window, the pattern's included.
inline std::optional<driver::OverlayInfo> waitForOverlay(DWORD processId,
                                                         DWORD timeoutMs = driver::kTimeoutMs) {
    std::optional<driver::OverlayInfo> overlay;
    driver::waitUntil(
        [&] {
            overlay = driver::findOverlay(processId);
            return overlay && overlay->topmost &&
                   WindowFromPoint({overlay->rect.right / 2, overlay->rect.bottom / 2}) ==
                       overlay->window;
        },
        timeoutMs);
    return overlay;
}

inline bool waitForNoOverlay(DWORD processId, DWORD timeoutMs = driver::kTimeoutMs) {
    return driver::waitUntil([&] { return !driver::findOverlay(processId); }, timeoutMs);
}

// Chooses a tool from the tray and waits for the overlay it opens.
inline std::optional<driver::OverlayInfo> openWithTool(const driver::Program& program,
                                                       HWND mainWindow, int tool) {
    if (!chooseFromTray(mainWindow, tool)) return std::nullopt;
    return waitForOverlay(program.id());
}

} // namespace overlay_support
