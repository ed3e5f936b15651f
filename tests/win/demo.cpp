// `make demo`: a scripted annotation over a test picture, saved through the real save
// dialog. Writes demo.bmp (the saved file) and demo-overlay.bmp (the screen) into the
// folder given as the only argument.
#include "bmp_writer.h"
#include "driver.h"

#include <cmath>
#include <cstdio>

using namespace driver;

namespace {

LRESULT CALLBACK pictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    // Soft vertical bands with a few tiles: something worth annotating.
    const COLORREF bands[] = {RGB(236, 240, 244), RGB(222, 232, 242), RGB(246, 238, 226)};
    for (int i = 0; i < 3; ++i) {
        RECT band = {0, client.bottom * i / 3, client.right, client.bottom * (i + 1) / 3};
        HBRUSH brush = CreateSolidBrush(bands[i]);
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
    const COLORREF tiles[] = {RGB(70, 130, 180), RGB(60, 179, 113), RGB(238, 130, 60),
                              RGB(147, 112, 219)};
    for (int i = 0; i < 4; ++i) {
        RECT tile = {120 + i * 270, 520, 320 + i * 270, 680};
        HBRUSH brush = CreateSolidBrush(tiles[i]);
        FillRect(dc, &tile, brush);
        DeleteObject(brush);
    }
    EndPaint(window, &paint);
    return 0;
}

HWND showTestPicture() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = pictureProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TovrelDemoPicture";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"", WS_POPUP, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    waitUntil([] { return false; }, 300); // let it paint
    return window;
}

void openOverlayMenu() {
    clickAt({900, 120});
    waitForNoPopupMenu(100);
    rightClickMenu({900, 120});
}

void choose(int item, std::optional<int> submenu = {}) {
    openOverlayMenu();
    chooseMenuItem(item, submenu);
    waitForNoPopupMenu();
}

bool step(bool ok, const char* what) {
    std::printf("%s %s\n", ok ? "done:" : "FAILED:", what);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::printf("usage: demo.exe OUTPUT-FOLDER\n");
        return 2;
    }
    std::wstring folder = argv[1];
    if (folder.back() != L'\\') folder += L'\\';
    const std::wstring saved = folder + L"demo.bmp";
    DeleteFileW(saved.c_str());

    HWND picture = showTestPicture();
    Program tovrel;
    HWND main = tovrel.mainWindow();
    if (!step(main != nullptr, "Tovrel started")) return 1;

    // The rectangle, from the tray: freezes the screen.
    const std::optional<OverlayInfo> overlay = openWithTool(tovrel, main, kRectangleItem);
    if (!step(overlay.has_value(), "screen frozen")) return 1;
    DestroyWindow(picture); // the overlay shows the frozen copy from now on
    clickAt({900, 120});    // a press without a move draws nothing

    drag({140, 120}, {560, 400}, 30);
    choose(kEllipseItem);
    drag({640, 140}, {1120, 440}, 30);

    choose(kRedItem, kColourMenu);
    choose(kPenItem);
    POINT at = {180, 470};
    settleMouseAt(at);
    leftButton(at, true);
    Sleep(100);
    for (int i = 0; i <= 120; ++i) {
        Sleep(8);
        at = {180 + i * 8, 470 + static_cast<int>(40 * std::sin(i / 9.0))};
        moveMouse(at);
    }
    leftButton(at, false);

    choose(kLineItem);
    drag({140, 730}, {1140, 730}, 30);
    choose(kArrowItem);
    drag({760, 620}, {980, 500}, 30);
    Sleep(300);

    const Screenshot shown = captureScreen();
    const std::wstring overlayShot = folder + L"demo-overlay.bmp";
    std::vector<std::uint8_t> rows(static_cast<size_t>(shown.width) * 4 * shown.height);
    const size_t stride = (static_cast<size_t>(shown.width) * 3 + 3) & ~size_t{3};
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) {
            const std::uint32_t pixel = shown.at(x, y);
            std::uint8_t* at = rows.data() + stride * (shown.height - 1 - y) + 3 * x;
            at[0] = pixel & 0xFF;
            at[1] = (pixel >> 8) & 0xFF;
            at[2] = (pixel >> 16) & 0xFF;
        }
    const tovrel::BitmapShape shape = {0, shown.width, shown.height, 3 * shown.width,
                                       1, 3,           nullptr};
    step(tovrel::writeBmp(reinterpret_cast<const char16_t*>(overlayShot.c_str()), shape,
                          rows.data()) == 1,
         "overlay screenshot written");

    openOverlayMenu();
    if (!step(chooseSave(tovrel.id()) != nullptr, "save dialog open")) return 1;
    typeText(saved);
    pressKey(VK_RETURN);
    const bool written = waitUntil([&] { return fileExists(saved); });
    step(written, "picture saved through the save dialog");

    pressKey(VK_ESCAPE);
    waitForNoOverlay(tovrel.id()); // else the tray's posted message would overtake the key
    chooseFromTray(main, kExitItem);
    step(tovrel.waitForExit() == 0u, "Tovrel exited");
    return written ? 0 : 1;
}
