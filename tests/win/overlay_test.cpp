// The overlay seen from outside: the frozen picture, the drawing left on it by each tool,
// how it closes and repaints, and that repeated overlays hold no GDI objects.
#include "overlay_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace driver;
using namespace overlay_support;

namespace {

using Clock = std::chrono::steady_clock;

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A started program whose main window has appeared, over the driver's pattern.
struct Session {
    PatternWindow pattern;
    Program tovrel;
    HWND main = tovrel.mainWindow();
};

TEST(Overlay, FreezesThePatternInOneBorderlessTopmostWindowHalfASecondAfterTheMenu) {
    Session s;
    ASSERT_NE(s.main, nullptr);
    ASSERT_TRUE(chooseFromTray(s.main, kRectangleItem));
    const Clock::time_point menuClosed = Clock::now();
    const std::optional<OverlayInfo> overlay = waitForOverlay(s.tovrel.id());
    const long long shownAfter = millisecondsSince(menuClosed);
    ASSERT_TRUE(overlay);
    EXPECT_GE(shownAfter, 400);
    EXPECT_LE(shownAfter, 3000);

    std::vector<HWND> visible;
    for (HWND window : topWindows(L"#32770", s.tovrel.id()))
        if (IsWindowVisible(window)) visible.push_back(window);
    EXPECT_EQ(visible.size(), 1u);
    const LONG style = GetWindowLongW(overlay->window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME), 0) << std::hex << style;
    EXPECT_TRUE(overlay->topmost);
    EXPECT_EQ(overlay->rect.left, 0);
    EXPECT_EQ(overlay->rect.top, 0);
    EXPECT_EQ(overlay->rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(overlay->rect.bottom, GetSystemMetrics(SM_CYSCREEN));

    // The pattern is all the screen showed half a second after the menu closed.
    const Picture pattern;
    EXPECT_EQ(differences(waitForPicture(pattern), pattern), "");
}

TEST(Overlay, RectangleInvertsExactlyGdisOutlineWhicheverWayItIsDragged) {
    Session s;
    ASSERT_NE(s.main, nullptr);
    ASSERT_TRUE(openWithTool(s.tovrel, s.main, kRectangleItem));

    Picture expected;
    drag({400, 350}, {150, 120});
    expected.invertRectangle({400, 350}, {150, 120});
    drag({800, 200}, {1100, 500});
    expected.invertRectangle({800, 200}, {1100, 500});
    const Screenshot upLeft = waitForPicture(expected);
    EXPECT_EQ(differences(upLeft, expected), "");
    // Black on white, white on black, one pixel, the inside untouched.
    EXPECT_EQ(upLeft.at(200, 120), kBlack);
    EXPECT_EQ(upLeft.at(200, 121), kWhite);
    EXPECT_EQ(upLeft.at(900, 200), kWhite);
    EXPECT_EQ(upLeft.at(900, 201), kBlack);

    pressKey(VK_ESCAPE);
    ASSERT_TRUE(waitForNoOverlay(s.tovrel.id()));
    ASSERT_TRUE(openWithTool(s.tovrel, s.main, kRectangleItem));
    Picture expectedAgain;
    drag({150, 120}, {400, 350});
    expectedAgain.invertRectangle({150, 120}, {400, 350});
    const Screenshot downRight = waitForPicture(expectedAgain);
    EXPECT_EQ(differences(downRight, expectedAgain), "");
    int unequal = 0;
    for (int y = 100; y < 370; ++y)
        for (int x = 130; x < 420; ++x)
            unequal += upLeft.at(x, y) != downRight.at(x, y);
    EXPECT_EQ(unequal, 0) << "pixels where the two directions differ";
}

TEST(Overlay, EllipseArrowAndLineInvertWhatTheyCrossAndLinesTakeThePenToolsWidth) {
    Session s;
    ASSERT_NE(s.main, nullptr);
    ASSERT_TRUE(openWithTool(s.tovrel, s.main, kEllipseItem));
    Picture expected;
    drag({100, 450}, {400, 650});
    expected.invertEllipse({100, 450}, {400, 650});

    // The tray's tools keep this overlay; the arrow from (100,100) to (200,100) has its shaft
    // to (190,100), its base from (190,110) to (190,90) and its sides to the tip.
    ASSERT_TRUE(chooseFromTray(s.main, kArrowItem));
    drag({100, 100}, {200, 100});
    expected.invertLines({{{100, 100}, {190, 100}},
                          {{190, 110}, {190, 90}},
                          {{190, 90}, {200, 100}},
                          {{200, 100}, {190, 110}}});
    // A short one on black, (3,7) long: its head sits behind the start.
    drag({700, 100}, {703, 107}, 3);
    expected.invertLines({{{700, 100}, {699, 97}},
                          {{689, 101}, {709, 93}},
                          {{709, 93}, {703, 107}},
                          {{703, 107}, {689, 101}}});

    ASSERT_TRUE(chooseFromTray(s.main, kLineItem));
    drag({100, 250}, {500, 300});
    expected.invertLines({{{100, 250}, {500, 300}}});
    ASSERT_TRUE(chooseFromTray(s.main, kPenItem));
    drag({560, 150}, {560, 400});
    expected.paintLine({560, 150}, {560, 402}, RGB(0, 0, 0), 3);
    ASSERT_TRUE(chooseFromTray(s.main, kLineItem));
    drag({100, 700}, {500, 700});
    expected.invertLines({{{100, 700}, {500, 700}}}, 3);

    const Screenshot shot = waitForPicture(expected);
    EXPECT_EQ(differences(shot, expected), "");
    for (POINT onArrow : {POINT{150, 100}, POINT{190, 100}, POINT{190, 110}, POINT{190, 90},
                          POINT{195, 95}, POINT{195, 105}, POINT{200, 100}})
        EXPECT_EQ(shot.at(onArrow.x, onArrow.y), kBlack) << onArrow.x << "," << onArrow.y;
    EXPECT_EQ(shot.at(195, 100), kWhite) << "the head is hollow";
    EXPECT_EQ(countPixels(shot, 300, 270, 300, 290, kBlack), 1) << "thin line";
    EXPECT_EQ(countPixels(shot, 300, 690, 300, 710, kBlack), 3) << "line after the pen";
    EXPECT_EQ(shot.at(100, 700), kBlack) << "the wide line's start";

    // A new overlay starts again with the Canvas's own pen.
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(waitForNoOverlay(s.tovrel.id()));
    ASSERT_TRUE(openWithTool(s.tovrel, s.main, kLineItem));
    Picture reopened;
    drag({100, 700}, {500, 700});
    reopened.invertLines({{{100, 700}, {500, 700}}});
    const Screenshot again = waitForPicture(reopened);
    EXPECT_EQ(differences(again, reopened), "");
    EXPECT_EQ(countPixels(again, 300, 690, 300, 710, kBlack), 1);
}

TEST(Overlay, PenPaintsTheColourChosenFromTheTrayThreePixelsWide) {
    Session s;
    ASSERT_NE(s.main, nullptr);
    ASSERT_TRUE(chooseFromTray(s.main, kRedItem, kColourMenu));
    ASSERT_TRUE(openWithTool(s.tovrel, s.main, kPenItem));
    Picture expected;
    // Each segment ends 2 pixels below the cursor and the next starts at the cursor, so a
    // stroke straight down covers what one line from the press to 2 below the end does.
    drag({300, 200}, {300, 500});
    expected.paintLine({300, 200}, {300, 502}, RGB(255, 0, 0), 3);
    drag({900, 200}, {900, 500});
    expected.paintLine({900, 200}, {900, 502}, RGB(255, 0, 0), 3);
    const Screenshot shot = waitForPicture(expected);
    EXPECT_EQ(differences(shot, expected), "");
    EXPECT_EQ(countPixels(shot, 290, 350, 310, 350, 0xFF0000), 3);
    EXPECT_EQ(countPixels(shot, 890, 350, 910, 350, 0xFF0000), 3);
}

TEST(Overlay, ThickOutlinesAreTwoPixelsWideAndSolid) {
    Session s;
    ASSERT_NE(s.main, nullptr);
    ASSERT_TRUE(chooseFromTray(s.main, kThickItem, kWidthMenu));
    ASSERT_TRUE(openWithTool(s.tovrel, s.main, kRectangleItem));
    Picture expected;
    drag({150, 150}, {450, 400});
    expected.invertRectangle({150, 150}, {450, 400}, PS_SOLID, 2);
    const Screenshot shot = waitForPicture(expected);
    EXPECT_EQ(differences(shot, expected), "");
    EXPECT_EQ(countPixels(shot, 300, 140, 300, 160, kBlack), 2);
    EXPECT_EQ(countPixels(shot, 160, 150, 440, 150, kBlack), 281) << "gaps in the top edge";
}

TEST(Overlay, DashedOutlinesLeaveTheirGapsUntouched) {
    Session s;
    ASSERT_NE(s.main, nullptr);
    ASSERT_TRUE(chooseFromTray(s.main, kDashedItem, kWidthMenu));
    ASSERT_TRUE(openWithTool(s.tovrel, s.main, kRectangleItem));
    Picture expected;
    drag({150, 150}, {450, 400});
    expected.invertRectangle({150, 150}, {450, 400}, PS_DASH, 1);
    drag({800, 150}, {1100, 400});
    expected.invertRectangle({800, 150}, {1100, 400}, PS_DASH, 1);
    const Screenshot shot = waitForPicture(expected);
    EXPECT_EQ(differences(shot, expected), "");
    const int dashesOnWhite = countPixels(shot, 150, 150, 449, 150, kBlack);
    EXPECT_GT(dashesOnWhite, 100);
    EXPECT_LT(dashesOnWhite, 250);
    const int dashesOnBlack = countPixels(shot, 800, 150, 1099, 150, kWhite);
    EXPECT_GT(dashesOnBlack, 100);
    EXPECT_LT(dashesOnBlack, 250);
}

LRESULT CALLBACK coverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// A grey window over part of the screen that takes no activation from the overlay.
class CoveringWindow {
  public:
    explicit CoveringWindow(RECT area) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = coverProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        windowClass.lpszClassName = L"TovrelTestCover";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                                  windowClass.lpszClassName, L"", WS_POPUP, area.left, area.top,
                                  area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
    }
    ~CoveringWindow() { DestroyWindow(window_); }
    CoveringWindow(const CoveringWindow&) = delete;
    CoveringWindow& operator=(const CoveringWindow&) = delete;

  private:
    HWND window_ = nullptr;
};

TEST(Overlay, OnlyEscAndUndoCloseItAndUncoveredPartsAreRepainted) {
    Session s;
    ASSERT_NE(s.main, nullptr);
    const std::optional<OverlayInfo> overlay = openWithTool(s.tovrel, s.main, kRectangleItem);
    ASSERT_TRUE(overlay);
    Picture expected;
    drag({100, 100}, {400, 300});
    expected.invertRectangle({100, 100}, {400, 300});
    ASSERT_EQ(differences(waitForPicture(expected), expected), "");

    pressAltF4();
    PostMessageW(overlay->window, WM_CLOSE, 0, 0);
    Sleep(1000);
    const std::optional<OverlayInfo> stillOpen = findOverlay(s.tovrel.id());
    ASSERT_TRUE(stillOpen) << "closed by Alt+F4 or WM_CLOSE";
    EXPECT_EQ(stillOpen->window, overlay->window);
    EXPECT_EQ(differences(captureScreen(), expected), "");

    {
        CoveringWindow cover({200, 150, 600, 450});
        EXPECT_TRUE(waitUntil([] { return captureScreen().at(400, 300) == 0x808080; }, 3000));
    }
    EXPECT_EQ(differences(waitForPicture(expected), expected), "") << "after the cover went";
    // Wine may restore an uncovered window from its own copy without asking it to paint, so
    // the overlay is also made to erase and paint itself. The idle program does so at once.
    EXPECT_TRUE(RedrawWindow(overlay->window, nullptr, nullptr,
                             RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW));
    Sleep(500);
    EXPECT_EQ(differences(waitForPicture(expected), expected), "") << "after a repaint";

    const Clock::time_point pressed = Clock::now();
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(waitForNoOverlay(s.tovrel.id(), 3000));
    const long long closedAfter = millisecondsSince(pressed);
    EXPECT_LT(closedAfter, 400);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(overlay->window); }, 1000));
    const Picture pattern;
    EXPECT_EQ(differences(waitForPicture(pattern), pattern), "");

    ASSERT_TRUE(openWithTool(s.tovrel, s.main, kRectangleItem));
    ASSERT_TRUE(chooseFromTray(s.main, kUndoItem));
    EXPECT_TRUE(waitForNoOverlay(s.tovrel.id(), 3000));
    EXPECT_TRUE(waitUntil([&] { return topWindows(L"#32770", s.tovrel.id()).empty(); }, 2000));
}

TEST(Overlay, AToolFromTheTrayKeepsTheOneOverlayAndItsDrawing) {
    Session s;
    ASSERT_NE(s.main, nullptr);
    const std::optional<OverlayInfo> first = openWithTool(s.tovrel, s.main, kRectangleItem);
    ASSERT_TRUE(first);
    Picture expected;
    drag({100, 100}, {400, 300});
    expected.invertRectangle({100, 100}, {400, 300});
    ASSERT_EQ(differences(waitForPicture(expected), expected), "");

    ASSERT_TRUE(chooseFromTray(s.main, kEllipseItem));
    const std::optional<OverlayInfo> second = waitForOverlay(s.tovrel.id());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->window, first->window);
    EXPECT_EQ(topWindows(L"#32770", s.tovrel.id()).size(), 1u);
    EXPECT_EQ(differences(waitForPicture(expected), expected), "") << "the earlier drawing";

    drag({700, 300}, {1000, 600});
    expected.invertEllipse({700, 300}, {1000, 600});
    EXPECT_EQ(differences(waitForPicture(expected), expected), "");
}

TEST(Overlay, GdiObjectsDoNotGrowOverTwoHundredOverlays) {
    constexpr int kCycles = 200;
    // Wine makes a few objects of its own lazily over the first overlays.
    constexpr int kSettled = 20;
    Session s;
    ASSERT_NE(s.main, nullptr);
    const int tools[] = {kRectangleItem, kEllipseItem, kPenItem, kLineItem, kArrowItem};
    const Clock::time_point started = Clock::now();
    DWORD settled = 0;
    DWORD most = 0;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        ASSERT_TRUE(openWithTool(s.tovrel, s.main, tools[cycle % 5])) << "cycle " << cycle;
        // Only the objects matter here, not the exact shape, so no pauses beyond the moves'.
        const POINT from = {200 + cycle % 50, 200 + cycle % 40};
        leftButton(from, true);
        for (int step = 1; step <= 3; ++step) {
            Sleep(15);
            moveMouse({from.x + 30 * step, from.y + 20 * step});
        }
        leftButton({from.x + 90, from.y + 60}, false);
        pressKey(VK_ESCAPE);
        ASSERT_TRUE(waitForNoOverlay(s.tovrel.id())) << "cycle " << cycle;
        if (cycle == kSettled || cycle % 20 == 0) {
            const DWORD count = settledGdiObjectCount(s.tovrel.process());
            most = std::max(most, count);
            if (cycle == kSettled) settled = count;
        }
    }
    const DWORD last = settledGdiObjectCount(s.tovrel.process());
    std::printf("GDI objects after cycle %d: %lu, after %d: %lu, most: %lu; %lld ms\n", kSettled,
                static_cast<unsigned long>(settled), kCycles, static_cast<unsigned long>(last),
                static_cast<unsigned long>(most),
                static_cast<long long>(millisecondsSince(started)));
    EXPECT_LE(last, settled);
}

} // namespace
