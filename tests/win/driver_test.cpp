// The driver's own senses, checked where Wine could quietly differ from Windows.
#include "driver.h"

#include <gtest/gtest.h>

using namespace driver;

namespace {

TEST(Driver, ScreenCaptureSeesThePatternWindow) {
    PatternWindow pattern;
    const Screenshot shot = captureScreen();
    ASSERT_EQ(shot.width, GetSystemMetrics(SM_CXSCREEN));
    ASSERT_EQ(shot.height, GetSystemMetrics(SM_CYSCREEN));
    const int half = shot.width / 2;
    for (int y : {0, shot.height / 2, shot.height - 1}) {
        EXPECT_EQ(shot.at(0, y), 0xFFFFFFu);
        EXPECT_EQ(shot.at(half - 1, y), 0xFFFFFFu);
        EXPECT_EQ(shot.at(half, y), 0u);
        EXPECT_EQ(shot.at(shot.width - 1, y), 0u);
    }
}

TEST(Driver, AbsoluteMouseMovesLandOnThePixel) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    for (POINT target : {POINT{0, 0}, POINT{1, 1}, POINT{333, 517}, POINT{width - 1, height - 1}}) {
        moveMouse(target);
        POINT cursor = {-1, -1};
        EXPECT_TRUE(waitUntil(
            [&] { return GetCursorPos(&cursor) && cursor.x == target.x && cursor.y == target.y; },
            2000))
            << "wanted " << target.x << "," << target.y << " got " << cursor.x << "," << cursor.y;
    }
}

TEST(Driver, GdiCountFollowsCreatedAndDeletedPens) {
    HANDLE self = GetCurrentProcess();
    const DWORD before = gdiObjectCount(self);
    std::vector<HPEN> pens;
    for (int i = 0; i < 100; ++i)
        pens.push_back(CreatePen(PS_SOLID, 1, RGB(i, 0, 0)));
    EXPECT_EQ(gdiObjectCount(self), before + 100);
    for (HPEN pen : pens)
        DeleteObject(pen);
    EXPECT_EQ(gdiObjectCount(self), before);
}

} // namespace
