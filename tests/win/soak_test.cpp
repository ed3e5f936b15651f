// Many overlays in one run: the program keeps answering, its memory and GDI objects
// stay flat, and every saved picture is the one that was on screen.
#include "driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

using namespace driver;

namespace {

constexpr int kToolItems[] = {kRectangleItem, kEllipseItem, kPenItem, kLineItem, kArrowItem};

int settingFromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : fallback;
}

// Wine names its processes after the program, so the Unix side can be found in /proc.
long residentKiB(const char* processName) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    long found = -1;
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        const std::wstring folder = std::wstring(L"Z:\\proc\\") + entry.cFileName;
        if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9') continue;
        const std::vector<std::uint8_t> bytes = readFile(folder + L"\\status");
        std::istringstream status(std::string(bytes.begin(), bytes.end()));
        std::string line, name;
        long rss = -1;
        while (std::getline(status, line)) {
            if (line.rfind("Name:", 0) == 0) name = line.substr(line.find_first_not_of(" \t", 5));
            if (line.rfind("VmRSS:", 0) == 0) rss = std::atol(line.c_str() + 6);
        }
        if (name == processName && rss >= 0) found = rss;
    } while (found < 0 && FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

bool answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

class Soak : public ::testing::Test {
  protected:
    void saveAndCompare(int cycle) {
        const Screenshot shown = captureScreen();
        ASSERT_NE(rightClickMenu({640, 400}), nullptr) << "cycle " << cycle;
        HWND dialog = chooseSave(tovrel_.id());
        ASSERT_NE(dialog, nullptr) << "cycle " << cycle;
        // The dialog goes on loading the shell's icons for a moment after it takes the keys;
        // closed sooner, it would load the rest at a later save, after the baseline.
        settledGdiObjectCount(tovrel_.process(), 500);
        const std::wstring path = folder_ + L"soak" + std::to_wstring(cycle) + L".bmp";
        typeText(path);
        pressKey(VK_RETURN);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); })) << "cycle " << cycle;
        ASSERT_TRUE(waitUntil([&] { return fileExists(path); }));
        const std::optional<Screenshot> saved = decodeBmp(readFile(path));
        ASSERT_TRUE(saved) << "cycle " << cycle;
        ASSERT_EQ(saved->width, shown.width) << "cycle " << cycle;
        ASSERT_EQ(saved->height, shown.height);
        EXPECT_TRUE(saved->pixels == shown.pixels)
            << "saved picture of cycle " << cycle << " differs from the screen";
        DeleteFileW(path.c_str());
    }

    void SetUp() override {
        main_ = tovrel_.mainWindow();
        ASSERT_NE(main_, nullptr);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"tovrel-soak\\";
        CreateDirectoryW(folder_.c_str(), nullptr);
    }

    void TearDown() override { RemoveDirectoryW(folder_.c_str()); }

    Program tovrel_;
    HWND main_ = nullptr;
    std::wstring folder_;
};

TEST_F(Soak, OverlayCyclesKeepMemoryAndGdiObjectsFlat) {
    const int cycles = settingFromEnvironment("TOVREL_SOAK_CYCLES", 20);
    // Measured from after the first save: the first save dialog loads the shell's icons and
    // libraries once, some 130 GDI objects and 6 MiB under Wine, and they stay loaded.
    const int baselineCycle = cycles >= 40 ? 20 : 10;
    long rssAtBaseline = -1;
    DWORD gdiAtBaseline = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const std::optional<OverlayInfo> overlay =
            openWithTool(tovrel_, main_, kToolItems[cycle % 5]);
        ASSERT_TRUE(overlay) << "cycle " << cycle;
        const int x = 100 + (cycle * 37) % 500;
        const int y = 100 + (cycle * 53) % 300;
        drag({x, y}, {x + 300, y + 200}, 50);
        if (cycle % 10 == 0) saveAndCompare(cycle);
        if (cycle % 2 == 0) {
            pressKey(VK_ESCAPE);
        } else {
            ASSERT_TRUE(chooseFromTray(main_, kUndoItem)) << "cycle " << cycle;
        }
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(overlay->window); })) << "cycle " << cycle;
        ASSERT_TRUE(answers(main_)) << "cycle " << cycle;
        if (cycle == baselineCycle) {
            rssAtBaseline = residentKiB("Tovrel.exe");
            gdiAtBaseline = gdiObjectCount(tovrel_.process());
        }
    }
    const long rssAtEnd = residentKiB("Tovrel.exe");
    ASSERT_GT(rssAtBaseline, 0) << "the program's process was not found in /proc";
    const DWORD gdiAtEnd = gdiObjectCount(tovrel_.process());
    std::printf("after cycle %d: %ld KiB resident, %lu GDI objects; after cycle %d: %ld KiB, %lu\n",
                baselineCycle, rssAtBaseline, gdiAtBaseline, cycles, rssAtEnd, gdiAtEnd);
    EXPECT_LT(rssAtEnd - rssAtBaseline, 2048);
    EXPECT_EQ(gdiAtEnd, gdiAtBaseline);
}

TEST_F(Soak, OneLongDragKeepsTheProgramAnswering) {
    const int moves = settingFromEnvironment("TOVREL_SOAK_MOVES", 2000);
    DWORD gdiAtStart = 0;
    for (int toolItem : {kRectangleItem, kPenItem,
                         kRectangleItem}) { // a rubber-band tool and the pen, after a first overlay
        if (gdiAtStart == 0 && toolItem == kPenItem) gdiAtStart = gdiObjectCount(tovrel_.process());
        const std::optional<OverlayInfo> overlay = openWithTool(tovrel_, main_, toolItem);
        ASSERT_TRUE(overlay);
        POINT at = {200, 200};
        settleMouseAt(at);
        leftButton(at, true);
        for (int i = 0; i < moves; ++i) {
            at = {200 + i % 800, 200 + (i / 800) % 400 + (i % 7)};
            moveMouse(at);
            if (i % 200 == 0) {
                ASSERT_TRUE(answers(main_)) << "after " << i << " moves";
            }
        }
        leftButton(at, false);
        ASSERT_TRUE(answers(main_));
        pressKey(VK_ESCAPE);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(overlay->window); }));
    }
    EXPECT_EQ(gdiObjectCount(tovrel_.process()), gdiAtStart);
}

} // namespace
