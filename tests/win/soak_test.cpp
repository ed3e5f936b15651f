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

constexpr int kToolItems[] = {1, 2, 3, 4, 5}; // rectangle, ellipse, pen, line, arrow
constexpr int kUndoItem = 0;

int settingFromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : fallback;
}

std::string readFile(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
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
        std::istringstream status(readFile(folder + L"\\status"));
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

void typeText(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wScan = input[1].ki.wScan = c;
        input[0].ki.dwFlags = KEYEVENTF_UNICODE;
        input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
}

// A dialog of the program other than its overlay: the save dialog.
HWND waitForSaveDialog(DWORD processId, HWND overlay) {
    HWND dialog = nullptr;
    waitUntil([&] {
        for (HWND window : topWindows(L"#32770", processId))
            if (window != overlay && IsWindowVisible(window)) return (dialog = window) != nullptr;
        return false;
    });
    return dialog;
}

// Decodes a 24-bit bottom-up BMP into 0x00RRGGBB pixels, top row first.
Screenshot readBmp(const std::wstring& path) {
    const std::string bytes = readFile(path);
    Screenshot picture;
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return picture;
    auto u32 = [&](size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    };
    const int width = static_cast<int>(u32(18));
    const int height = static_cast<int>(u32(22));
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    if (width <= 0 || height <= 0 || bytes.size() != 54 + stride * height) return picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t at = 54 + stride * (height - 1 - y) + 3 * static_cast<size_t>(x);
            picture.pixels[static_cast<size_t>(y) * width + x] = u32(at) & 0x00FFFFFF;
        }
    return picture;
}

class Soak : public ::testing::Test {
  protected:
    void chooseFromTray(int item) {
        openTrayMenu(main_);
        ASSERT_NE(waitForPopupMenu(), nullptr);
        chooseMenuItem(item);
        ASSERT_TRUE(waitForNoPopupMenu());
    }

    HWND openOverlay(int toolItem) {
        chooseFromTray(toolItem);
        HWND overlay = nullptr;
        waitUntil([&] {
            auto found = findOverlay(tovrel_.id());
            return found && (overlay = found->window) != nullptr;
        });
        return overlay;
    }

    void saveAndCompare(HWND overlay, int cycle) {
        const Screenshot shown = captureScreen();
        moveMouse(640, 400);
        rightButton(true);
        rightButton(false);
        ASSERT_NE(waitForPopupMenu(), nullptr);
        pressKey(VK_UP); // the last item saves
        pressKey(VK_RETURN);
        HWND dialog = waitForSaveDialog(tovrel_.id(), overlay);
        ASSERT_NE(dialog, nullptr) << "cycle " << cycle;
        const std::wstring path = folder_ + L"soak" + std::to_wstring(cycle) + L".bmp";
        typeText(path);
        pressKey(VK_RETURN);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); })) << "cycle " << cycle;
        ASSERT_TRUE(
            waitUntil([&] { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }));
        const Screenshot saved = readBmp(path);
        ASSERT_EQ(saved.width, shown.width) << "cycle " << cycle;
        ASSERT_EQ(saved.height, shown.height);
        EXPECT_TRUE(saved.pixels == shown.pixels)
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
        HWND overlay = openOverlay(kToolItems[cycle % 5]);
        ASSERT_NE(overlay, nullptr) << "cycle " << cycle;
        const int x = 100 + (cycle * 37) % 500;
        const int y = 100 + (cycle * 53) % 300;
        drag({x, y}, {x + 300, y + 200}, 50);
        if (cycle % 10 == 0) saveAndCompare(overlay, cycle);
        if (cycle % 2 == 0) {
            pressKey(VK_ESCAPE);
        } else {
            chooseFromTray(kUndoItem);
        }
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(overlay); })) << "cycle " << cycle;
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
    for (int toolItem : {1, 3, 1}) { // a rubber-band tool and the pen, after a first overlay
        if (gdiAtStart == 0 && toolItem == 3) gdiAtStart = gdiObjectCount(tovrel_.process());
        HWND overlay = openOverlay(toolItem);
        ASSERT_NE(overlay, nullptr);
        moveMouse(200, 200);
        leftButton(true);
        for (int i = 0; i < moves; ++i) {
            moveMouse(200 + i % 800, 200 + (i / 800) % 400 + (i % 7));
            if (i % 200 == 0) {
                ASSERT_TRUE(answers(main_)) << "after " << i << " moves";
            }
        }
        leftButton(false);
        ASSERT_TRUE(answers(main_));
        pressKey(VK_ESCAPE);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(overlay); }));
    }
    EXPECT_EQ(gdiObjectCount(tovrel_.process()), gdiAtStart);
}

} // namespace
