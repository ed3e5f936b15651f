// `make demo`: a scripted annotation over a test picture. Leaves in the folder given as its only
// argument: demo.bmp, saved through the program's own dialog; overlay.bmp, the annotated
// screen; undo-before.bmp and undo-after.bmp, a slip and the same place after Ctrl+Z;
// tray-menu.bmp and overlay-menu.bmp, the two menus open; mosaic.bmp, a mosaic over part of the
// drawing; text.bmp, a note typed at the arrow; marks.bmp, steps highlighted and numbered;
// part.bmp, a part chosen to share; desktop.bmp, the tray menu open at the icon in the corner of
// the desktop's taskbar.
#include "automation.h"
#include "save.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace automation;

namespace {

LRESULT CALLBACK paintPicture(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    // Soft bands with a row of tiles: something worth annotating.
    const COLORREF colours[] = {RGB(236, 240, 244), RGB(222, 232, 242), RGB(246, 238, 226),
                                RGB(70, 130, 180),  RGB(60, 179, 113),  RGB(238, 130, 60),
                                RGB(147, 112, 219)};
    for (int i = 0; i < 7; ++i) {
        const RECT area = i < 3 ? RECT{0, 267 * i, 1280, 267 * (i + 1)}
                                : RECT{270 * i - 690, 520, 270 * i - 490, 680};
        HBRUSH brush = CreateSolidBrush(colours[i]);
        FillRect(dc, &area, brush);
        DeleteObject(brush);
    }
    EndPaint(window, &paint);
    return 0;
}

// The screen's rectangle r as a BMP file, written by the program's own writer.
bool saveScreen(RECT r, const std::wstring& path) {
    Picture shot(r.right - r.left, r.bottom - r.top);
    shot.copyScreen(r.left, r.top);
    return writePixelsAsBmp(shot.bits(), shot.width, shot.height, path.c_str());
}

// The open menus and a margin around them.
RECT aroundMenus() {
    RECT all = {}, one;
    for (HWND menu : shownWindows(L"#32768"))
        GetWindowRect(menu, &one), UnionRect(&all, &all, &one);
    InflateRect(&all, 12, 12);
    return all;
}

// Missing glyphs draw as identical boxes: two labels in the menu font must not look alike, or the
// pictures would show boxes.
bool labelsReadable() {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
    Picture a(64, 32), b(64, 32);
    for (auto [picture, label] : {std::pair{&a, L"矩形"}, {&b, L"椭圆"}}) {
        HGDIOBJ original = SelectObject(picture->dc(), font);
        SetTextColor(picture->dc(), 0xFFFFFF);
        TextOutW(picture->dc(), 0, 0, label, 2);
        SelectObject(picture->dc(), original);
    }
    DeleteObject(font), GdiFlush();
    return !std::equal(a.bits(), a.bits() + 64 * 32, b.bits());
}

bool step(bool done, const char* what) {
    std::printf("%s %s\n", done ? "done:" : "FAILED:", what);
    return done;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return std::puts("usage: demo.exe OUTPUT-FOLDER"), 2;
    if (!step(labelsReadable(), "menu labels readable (else the Wine prefix has no font for them)"))
        return 1;
    const std::wstring folder = std::wstring(argv[1]) + L"\\";
    WNDCLASSW pictureClass = {0,       paintPicture, 0,       0,       nullptr,
                              nullptr, nullptr,      nullptr, nullptr, L"DemoPicture"};
    RegisterClassW(&pictureClass);
    HWND picture = CreateWindowExW(WS_EX_TOPMOST, L"DemoPicture", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                   GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                   nullptr, nullptr, nullptr, nullptr);
    UpdateWindow(picture);
    Program tovrel;
    if (!step(tovrel.main && tovrel.openWith(kRectangle), "screen frozen")) return 1;
    DestroyWindow(picture); // the overlay shows its frozen copy from now on

    drag({140, 120}, {560, 400}, 30);
    chooseFromOverlay(kEllipse);
    drag({640, 140}, {1120, 440}, 30);
    chooseFromOverlay(kRed, kColourMenu);
    chooseFromOverlay(kPen);
    POINT at = {180, 470};
    settleMouseAt(at);
    mouse(at, MOUSEEVENTF_LEFTDOWN);
    for (int i = 0; i <= 120; ++i, Sleep(8))
        mouse(at = {180 + i * 8, 470 + int(40 * std::sin(i / 9.0))});
    mouse(at, MOUSEEVENTF_LEFTUP);
    chooseFromOverlay(kLine);
    drag({140, 730}, {1140, 730}, 30);
    chooseFromOverlay(kArrow);
    drag({760, 620}, {980, 500}, 30);
    // A slip of the mouse, taken back with Ctrl+Z.
    const RECT slipArea = {120, 440, 1160, 760};
    drag({360, 520}, {700, 690}, 30);
    Sleep(300);
    step(saveScreen(slipArea, folder + L"undo-before.bmp"), "slip screenshot");
    chord(VK_CONTROL, 'Z');
    Sleep(300);
    step(saveScreen(slipArea, folder + L"undo-after.bmp"), "undone screenshot");
    step(saveScreen({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                    folder + L"overlay.bmp"),
         "overlay screenshot");

    settleMouseAt({1180, 120}); // the tray menu opens with its right edge at the cursor
    PostMessageW(tovrel.main, kTrayNotify, 0, WM_RBUTTONDOWN);
    step(waitUntil(menuOpen) && saveScreen(aroundMenus(), folder + L"tray-menu.bmp"),
         "tray menu screenshot");
    key(VK_ESCAPE);
    waitUntil([] { return !menuOpen(); });
    const bool opened = openOverlayMenu();
    key(VK_DOWN, kColourMenu + 1), key(VK_RIGHT);
    step(opened && waitUntil([] { return shownWindows(L"#32768").size() == 2; }) &&
             saveScreen(aroundMenus(), folder + L"overlay-menu.bmp"),
         "overlay menu screenshot");
    key(VK_ESCAPE, 2);

    // Across the pen's stroke, two tiles and the border of two bands.
    chooseFromOverlay(kMosaic);
    drag({330, 430}, {702, 622}, 30);
    Sleep(300);
    step(saveScreen({150, 380, 950, 700}, folder + L"mosaic.bmp"), "mosaic screenshot");

    // A note at the arrow's tip, in the pen's red, on two lines.
    chooseFromOverlay(kText);
    click({990, 450});
    typeText(L"这里要改"), key(VK_RETURN), typeText(L"fix the label");
    key(VK_ESCAPE);
    Sleep(300);
    step(saveScreen({720, 430, 1200, 550}, folder + L"text.bmp"), "text screenshot");

    // Three steps written in black in the rectangle, the second highlighted in yellow, and each
    // numbered by a red marker.
    chooseFromOverlay(kBlack, kColourMenu);
    click({200, 160});
    typeText(L"Open the tray menu"), key(VK_RETURN), typeText(L"Choose 荧光笔 or 序号");
    key(VK_RETURN), typeText(L"Drag over the words");
    key(VK_ESCAPE);
    chooseFromOverlay(kYellow, kColourMenu);
    chooseFromOverlay(kHighlighter);
    drag({196, 203}, {444, 203}, 10);
    chooseFromOverlay(kRed, kColourMenu);
    chooseFromOverlay(kMarker);
    for (int line = 0; line < 3; ++line)
        click({172, 174 + 57 * line / 2}); // the lines are about 28.5 pixels apart
    Sleep(300);
    step(saveScreen({140, 145, 480, 260}, folder + L"marks.bmp"),
         "highlighter and markers screenshot");

    const std::wstring saved = folder + L"demo.bmp";
    DeleteFileW(saved.c_str());
    tovrel.openSaveDialog();
    typeText(saved), key(VK_RETURN);
    const bool written =
        step(waitUntil([&] { return exists(saved); }), "picture saved through the save dialog");

    // The part to share, the note and what it points at; the rest dims.
    activeAgain(tovrel.overlay());
    chooseFromOverlay(kPart);
    drag({720, 420}, {1180, 700}, 30);
    Sleep(300);
    step(saveScreen({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                    folder + L"part.bmp"),
         "part screenshot");
    key(VK_ESCAPE);
    tovrel.overlayCloses(); // else the tray's posted message would overtake the key

    // The tray menu as a user opens it: a right-click on the icon, at the taskbar's right end.
    RECT corner = {};
    GetWindowRect(FindWindowW(L"Shell_TrayWnd", nullptr), &corner);
    click({corner.right - 10, (corner.top + corner.bottom) / 2}, MOUSEEVENTF_RIGHTDOWN);
    const bool trayMenu = waitUntil(menuOpen);
    const RECT menus = aroundMenus();
    corner.left = menus.left - 100, corner.top = menus.top; // with a stretch of the taskbar
    step(trayMenu && saveScreen(corner, folder + L"desktop.bmp"), "desktop screenshot");
    key(VK_ESCAPE);
    waitUntil([] { return !menuOpen(); });
    chooseFromTray(tovrel.main, kExit);
    return step(tovrel.exitCode() == 0, "Tovrel exited") && written ? 0 : 1;
}
