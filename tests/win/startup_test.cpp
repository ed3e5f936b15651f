// Start-up, the main window, the tray icon and the tray menu's way out, seen from outside.
#include "driver.h"

#include <gtest/gtest.h>

using namespace driver;

namespace {

bool stillRunning(const Program& program) {
    return !program.waitForExit(500).has_value();
}

TEST(Startup, MainWindowIsAnInvisibleToolWindowWithATrayIcon) {
    Program tovrel;
    HWND main = tovrel.mainWindow();
    ASSERT_NE(main, nullptr);
    // Shown, but a pop-up of zero size: nothing of it reaches the screen.
    RECT rect;
    GetWindowRect(main, &rect);
    EXPECT_TRUE(IsRectEmpty(&rect)) << rect.right - rect.left << "x" << rect.bottom - rect.top;
    EXPECT_TRUE(GetWindowLongW(main, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(trayIconExists(main));
}

TEST(TrayMenu, OpensOnRightButtonOnlyAndEscClosesIt) {
    Program tovrel;
    HWND main = tovrel.mainWindow();
    ASSERT_NE(main, nullptr);

    PostMessageW(main, kTrayNotify, 0, WM_LBUTTONDOWN);
    EXPECT_FALSE(waitUntil([] { return visiblePopupMenu() != nullptr; }, 1000));

    openTrayMenu(main);
    HWND menu = waitForPopupMenu();
    ASSERT_NE(menu, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(menu, &owner);
    EXPECT_EQ(owner, tovrel.id());

    pressKey(VK_ESCAPE);
    EXPECT_TRUE(waitForNoPopupMenu());
    EXPECT_TRUE(stillRunning(tovrel));
    EXPECT_TRUE(trayIconExists(main));
    openTrayMenu(main);
    EXPECT_NE(waitForPopupMenu(), nullptr) << "the menu does not open a second time";
    pressKey(VK_ESCAPE);
}

TEST(Exit, FromTheTrayMenuEndsWithCodeZero) {
    Program tovrel;
    HWND main = tovrel.mainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(chooseFromTray(main, kExitItem));
    EXPECT_EQ(tovrel.waitForExit(), 0u);
}

TEST(Exit, CloseRequestToMainEndsWithCodeZero) {
    Program tovrel;
    HWND main = tovrel.mainWindow();
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(tovrel.waitForExit(), 0u);
}

TEST(Startup, TwoInstancesHaveAMainWindowAndAnIconEach) {
    Program first;
    Program second;
    HWND firstMain = first.mainWindow();
    HWND secondMain = second.mainWindow();
    ASSERT_NE(firstMain, nullptr);
    ASSERT_NE(secondMain, nullptr);
    EXPECT_NE(firstMain, secondMain);
    EXPECT_TRUE(trayIconExists(firstMain));
    EXPECT_TRUE(trayIconExists(secondMain));
}

TEST(TrayIcon, IsAddedAgainWhenTheTaskbarIsCreated) {
    Program tovrel;
    HWND main = tovrel.mainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(trayIconExists(main));
    ASSERT_TRUE(deleteTrayIcon(main));
    ASSERT_FALSE(trayIconExists(main));

    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(waitUntil([main] { return trayIconExists(main); }));
}

} // namespace
