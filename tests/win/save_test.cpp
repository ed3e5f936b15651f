// The overlay's right-click menu and saving what the overlay shows, seen from outside: the
// menu's effects, the file dialog, the written picture, and saves that cannot be written.
#include "driver.h"

#include <gtest/gtest.h>

using namespace driver;

namespace {

constexpr std::uint32_t kRed = 0xFF0000;
constexpr wchar_t kMessageCaption[] = L"提示信息";

HWND ownedDialog(DWORD processId, HWND owner) {
    for (HWND window : topWindows(L"#32770", processId))
        if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == owner) return window;
    return nullptr;
}

// Checks the headers of a 24-bit bottom-up BMP of the screen's size and gives back its pixels.
Screenshot decodeScreenBmp(const std::vector<std::uint8_t>& bytes) {
    const std::uint32_t width = GetSystemMetrics(SM_CXSCREEN);
    const std::uint32_t height = GetSystemMetrics(SM_CYSCREEN);
    const std::uint32_t size = 54 + height * ((width * 3 + 3) & ~3u);
    EXPECT_EQ(bytes.size(), size);
    if (bytes.size() != size) return {};
    const struct {
        std::size_t at;
        int size;
        std::uint32_t value;
    } fields[] = {{0, 2, 0x4D42}, {2, 4, size},    {6, 4, 0},  {10, 4, 54}, {14, 4, 40},
                  {18, 4, width}, {22, 4, height}, {26, 2, 1}, {28, 2, 24}, {30, 4, 0},
                  {34, 4, 0},     {38, 4, 0},      {42, 4, 0}, {46, 4, 0},  {50, 4, 0}};
    for (const auto& f : fields)
        EXPECT_EQ(littleEndian(bytes, f.at, f.size), f.value) << "header offset " << f.at;
    return decodeBmp(bytes).value_or(Screenshot{});
}

// The saved file against the screen, which may still be repainting where a dialog was.
void expectFileShowsScreen(const std::wstring& path) {
    const Screenshot picture = decodeScreenBmp(readFile(path));
    EXPECT_TRUE(waitUntil([&] { return captureScreen().pixels == picture.pixels; }, 3000))
        << path.c_str();
}

// The screen as 8-bit RGB rows, top first, for the host-side decoder check.
void writeRgbDump(const std::wstring& path) {
    std::vector<std::uint8_t> rgb;
    for (std::uint32_t pixel : captureScreen().pixels)
        rgb.insert(rgb.end(),
                   {static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
                    static_cast<std::uint8_t>(pixel)});
    ASSERT_TRUE(writeFile(path, rgb.data(), rgb.size()));
}

// The program over a half white, half black screen, its overlay open with the rectangle tool.
class OverlayOpen : public ::testing::Test {
  protected:
    void SetUp() override {
        main_ = tovrel_.mainWindow();
        ASSERT_NE(main_, nullptr);
        const std::optional<OverlayInfo> overlay = openWithTool(tovrel_, main_, kRectangleItem);
        ASSERT_TRUE(overlay);
        overlay_ = overlay->window;
        CreateDirectoryW(folder_.c_str(), nullptr);
    }

    bool overlayStillOpen() const {
        const std::optional<OverlayInfo> overlay = findOverlay(tovrel_.id());
        return overlay && overlay->window == overlay_;
    }

    // A rectangle with its left edge at x = 100 on the white half; returns how thick that
    // edge is on the screen.
    int drawRectangle(int top, int bottom) {
        drag({100, top}, {300, bottom}, 8);
        const int y = (top + bottom) / 2;
        const Screenshot shot = waitForScreen(
            [&](const Screenshot& s) { return countPixels(s, 90, y, 110, y, kBlack) > 0; });
        return countPixels(shot, 90, y, 110, y, kBlack);
    }

    // The overlay menu, opened at the cursor. A second press within the double-click time and
    // distance would reach the overlay as a double-click, so each one is pressed elsewhere.
    HWND openMenu() {
        const POINT at = {600, 150 + 40 * (menusOpened_++ % 10)};
        HWND menu = rightClickMenu(at);
        RECT rect = {};
        GetWindowRect(menu, &rect);
        EXPECT_NEAR(rect.left, at.x, 2) << "the menu's left edge is not at the cursor";
        EXPECT_NEAR(rect.top, at.y, 2);
        return menu;
    }

    // Opens the save dialog from the overlay menu; null if it does not come.
    HWND openSaveDialog() { return openMenu() ? chooseSave(tovrel_.id()) : nullptr; }

    // Types `path` into a fresh save dialog and confirms the overwrite prompt if one comes.
    void saveAs(const std::wstring& path) {
        HWND dialog = openSaveDialog();
        ASSERT_NE(dialog, nullptr);
        typeText(path);
        pressKey(VK_RETURN);
        confirmReplace(dialog);
    }

    void confirmReplace(HWND dialog) {
        HWND prompt = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (prompt = ownedDialog(tovrel_.id(), dialog)); }));
        EXPECT_TRUE(comesToFront(prompt)) << "the overwrite prompt is hidden";
        click(GetDlgItem(prompt, IDYES));
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    }

    // The failure message: in front, with its text; dismissed by its button.
    void expectFailureMessage() {
        HWND message = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            return (message = captionedDialog(tovrel_.id(), kMessageCaption)) != nullptr;
        })) << "no failure message";
        EXPECT_TRUE(comesToFront(message));
        bool hasText = false;
        for (HWND child : childWindows(message))
            hasText =
                hasText || (className(child) == L"Static" && windowText(child) == L"保存失败");
        EXPECT_TRUE(hasText);
        click(GetDlgItem(message, IDOK));
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(message); }));
    }

    // The old file untouched, nothing left beside it, the drawing still open.
    void expectFailedSaveLeftNoTrace(const std::wstring& path,
                                     const std::vector<std::uint8_t>& old) {
        EXPECT_EQ(readFile(path), old);
        EXPECT_FALSE(anyFileMatches(path + L".tmp*"));
        EXPECT_TRUE(overlayStillOpen());
        EXPECT_EQ(countPixels(captureScreen(), 90, 150, 110, 150, kBlack), 1);
    }

    PatternWindow pattern_;
    Program tovrel_;
    HWND main_ = nullptr;
    HWND overlay_ = nullptr;
    int menusOpened_ = 0;
    const std::wstring folder_ = programFolder() + L"save_out\\";
};
using OverlayMenu = OverlayOpen;
using Save = OverlayOpen;
using SaveFailure = OverlayOpen;

TEST_F(OverlayMenu, OpensAtTheCursorChangesToolColourAndWidthAndUndoCloses) {
    EXPECT_EQ(drawRectangle(100, 200), 1);

    ASSERT_NE(openMenu(), nullptr);
    chooseMenuItem(kEllipseItem);
    ASSERT_TRUE(waitForNoPopupMenu());
    drag({350, 300}, {550, 450}, 8);
    Screenshot shot = waitForScreen(
        [](const Screenshot& s) { return countPixels(s, 450, 295, 450, 305, kBlack) > 0; });
    EXPECT_GT(countPixels(shot, 450, 295, 450, 305, kBlack), 0) << "no ellipse top";
    EXPECT_EQ(countPixels(shot, 350, 302, 356, 302, kBlack), 0)
        << "a rectangle's corner, not an ellipse";
    EXPECT_EQ(countPixels(shot, 90, 150, 110, 150, kBlack), 1) << "the earlier rectangle is gone";
    EXPECT_TRUE(overlayStillOpen());

    ASSERT_NE(openMenu(), nullptr);
    chooseMenuItem(kRedItem, kColourMenu);
    ASSERT_TRUE(waitForNoPopupMenu());
    ASSERT_NE(openMenu(), nullptr);
    chooseMenuItem(kPenItem);
    ASSERT_TRUE(waitForNoPopupMenu());
    drag({120, 600}, {320, 600}, 10);
    shot = waitForScreen(
        [](const Screenshot& s) { return countPixels(s, 220, 590, 220, 610, kRed) > 0; });
    EXPECT_GT(countPixels(shot, 220, 590, 220, 610, kRed), 0) << "the pen stroke is not red";

    ASSERT_NE(openMenu(), nullptr);
    chooseMenuItem(kThickItem, kWidthMenu);
    ASSERT_TRUE(waitForNoPopupMenu());
    ASSERT_NE(openMenu(), nullptr);
    chooseMenuItem(kRectangleItem);
    ASSERT_TRUE(waitForNoPopupMenu());
    EXPECT_EQ(drawRectangle(650, 750), 2) << "the thick width is not used";

    ASSERT_NE(openMenu(), nullptr);
    chooseMenuItem(kUndoItem);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(overlay_); }));
    EXPECT_FALSE(findOverlay(tovrel_.id()).has_value());
    EXPECT_FALSE(tovrel_.waitForExit(300).has_value());
}

TEST_F(Save, WritesWhatTheOverlayShowsAndTheNextSaveReplacesTheFile) {
    const std::wstring picture = folder_ + L"picture.bmp";
    DeleteFileW(picture.c_str());
    DeleteFileW((folder_ + L"picture").c_str());
    DeleteFileW((folder_ + L"expected.rgb").c_str());
    // Across both halves: black on the white half, white on the black one.
    drag({200, 200}, {900, 500}, 10);
    waitForScreen(
        [](const Screenshot& s) { return countPixels(s, 890, 350, 910, 350, kWhite) > 0; });

    HWND dialog = openSaveDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(comesToFront(dialog)) << "the save dialog is hidden";
    // With "*.*" selected the dialog has no extension of its own to append. The list drops
    // down on a click and takes the next type on Down and Enter.
    HWND types = GetDlgItem(dialog, kFileTypeCombo);
    click(types);
    pressKey(VK_DOWN);
    pressKey(VK_RETURN);
    ASSERT_TRUE(waitUntil([&] { return SendMessageW(types, CB_GETCURSEL, 0, 0) == 1; }));
    click(GetDlgItem(dialog, kFileNameCombo));
    typeText(folder_ + L"picture");
    pressKey(VK_RETURN);
    ASSERT_TRUE(waitUntil([&] { return fileExists(picture) && !IsWindow(dialog); }));
    EXPECT_FALSE(fileExists(folder_ + L"picture"));
    EXPECT_TRUE(overlayStillOpen());
    ASSERT_NO_FATAL_FAILURE(expectFileShowsScreen(picture));
    // The outline's sides on the white and the black half, in the file as on the screen.
    const Screenshot saved = decodeScreenBmp(readFile(picture));
    ASSERT_FALSE(saved.pixels.empty());
    EXPECT_EQ(countPixels(saved, 190, 350, 210, 350, kBlack), 1);
    EXPECT_EQ(countPixels(saved, 890, 350, 910, 350, kWhite), 1);

    size_t longerSize = 0;
    // More drawing, and a longer file in the way: the replace must leave none of its tail.
    drag({300, 600}, {500, 700}, 8);
    waitForScreen([](const Screenshot& s) { return s.at(300, 650) == kBlack; });
    {
        std::vector<std::uint8_t> longer = readFile(picture);
        longer.resize(longer.size() + 4096, 0xAB);
        ASSERT_TRUE(writeFile(picture, longer.data(), longer.size()));
        longerSize = longer.size();
    }
    dialog = openSaveDialog();
    ASSERT_NE(dialog, nullptr);
    const std::wstring proposed = windowText(GetDlgItem(dialog, kFileNameCombo));
    EXPECT_TRUE(proposed == L"picture.bmp" || proposed == picture) << "proposed a different name";
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, kFileTypeCombo), CB_GETCURSEL, 0, 0), 1)
        << "the last filter is not kept";
    pressKey(VK_RETURN);
    ASSERT_NO_FATAL_FAILURE(confirmReplace(dialog));
    // Written after the dialog has gone, and moved into place whole.
    EXPECT_TRUE(waitUntil([&] { return fileSize(picture) < longerSize; }));
    ASSERT_NO_FATAL_FAILURE(expectFileShowsScreen(picture));
    writeRgbDump(folder_ + L"expected.rgb");
}

// Only a save that could not be written says so; a cancelled one says nothing.
TEST_F(SaveFailure, CancelSaysNothingAndAFileHeldOpenElsewhereIsKept) {
    const std::wstring target = folder_ + L"held.bmp";
    const std::vector<std::uint8_t> old(1000, 0x5A);
    ASSERT_TRUE(writeFile(target, old.data(), old.size()));
    // Read-only sharing: the file can be neither written nor replaced while this is open.
    UniqueHandle held(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(drawRectangle(100, 200), 1);

    for (bool byButton : {false, true}) {
        HWND dialog = openSaveDialog();
        ASSERT_NE(dialog, nullptr);
        if (byButton)
            click(GetDlgItem(dialog, IDCANCEL));
        else
            pressKey(VK_ESCAPE);
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); })) << "button: " << byButton;
        EXPECT_FALSE(
            waitUntil([&] { return captionedDialog(tovrel_.id(), kMessageCaption); }, 1500))
            << "button: " << byButton;
        EXPECT_TRUE(overlayStillOpen());
    }

    ASSERT_NO_FATAL_FAILURE(saveAs(target));
    ASSERT_NO_FATAL_FAILURE(expectFailureMessage());
    held.reset();
    expectFailedSaveLeftNoTrace(target, old);
}

TEST_F(SaveFailure, FullDiskLeavesTheOldFile) {
    ULARGE_INTEGER total = {};
    if (!GetDiskFreeSpaceExW(L"T:\\", nullptr, &total, nullptr) || total.QuadPart > (2u << 20))
        GTEST_SKIP() << "no small disk at T: - the small_disk fixture mounts a 1 MiB tmpfs "
                        "there, which needs root and WINEPREFIX";
    const std::wstring target = L"T:\\full.bmp";
    const std::vector<std::uint8_t> old(1000, 0xA5);
    ASSERT_TRUE(writeFile(target, old.data(), old.size()));
    EXPECT_EQ(drawRectangle(100, 200), 1);

    ASSERT_NO_FATAL_FAILURE(saveAs(target));
    ASSERT_NO_FATAL_FAILURE(expectFailureMessage());
    expectFailedSaveLeftNoTrace(target, old);
}

} // namespace
