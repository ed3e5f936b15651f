// Drives Tovrel.exe from outside, as a person at the desktop would: starts it, finds its
// windows, opens the tray menu, types and moves the mouse, and reads the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace driver {

constexpr UINT kTrayNotify = WM_USER + 100;
constexpr DWORD kTimeoutMs = 10000;

// Polls `done` until it holds or the time is up, pumping this thread's messages meanwhile.
bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs = kTimeoutMs);

class UniqueHandle {
  public:
    explicit UniqueHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept;
    HANDLE get() const { return handle_; }
    HANDLE release();
    void reset(HANDLE handle = nullptr);

  private:
    HANDLE handle_;
};

// The path of the program under test, Windows-style: the environment's TOVREL_EXE if set
// (e.g. to try another build of the program), else the one this build made.
std::wstring tovrelPath();

// A started program. Destruction kills it and every process it started, and waits for them,
// so a failed check leaves nothing running.
class Program {
  public:
    explicit Program(const std::wstring& path = tovrelPath(), const std::wstring& args = L"");
    ~Program();
    Program(Program&&) = default;
    Program& operator=(Program&&) = default;

    DWORD id() const { return id_; }
    HANDLE process() const { return process_.get(); }
    // The program's hidden `Main` window once start-up is over; null if it never comes.
    HWND mainWindow(DWORD timeoutMs = kTimeoutMs) const;
    // The exit code, or nothing if the program is still running when the time is up.
    std::optional<DWORD> waitForExit(DWORD timeoutMs = kTimeoutMs) const;

  private:
    UniqueHandle job_;
    UniqueHandle process_;
    DWORD id_ = 0;
};

std::wstring className(HWND window);
// Top-level windows of the given class; of one process only if `processId` is not 0.
std::vector<HWND> topWindows(const wchar_t* className, DWORD processId = 0);
HWND waitForWindow(const wchar_t* className, DWORD processId, DWORD timeoutMs = kTimeoutMs);

// Tray menu, as a right-press on the icon would open it.
void openTrayMenu(HWND mainWindow);
HWND visiblePopupMenu();
HWND waitForPopupMenu(DWORD timeoutMs = kTimeoutMs);
bool waitForNoPopupMenu(DWORD timeoutMs = kTimeoutMs);

// Positions among the selectable items of the tray and overlay menus (separators do not
// count), and within the width and colour submenus.
constexpr int kUndoItem = 0;
constexpr int kRectangleItem = 1;
constexpr int kEllipseItem = 2;
constexpr int kPenItem = 3;
constexpr int kLineItem = 4;
constexpr int kArrowItem = 5;
constexpr int kWidthMenu = 6;
constexpr int kColourMenu = 7;
constexpr int kAboutItem = 8; // tray only; the overlay's last item saves
constexpr int kExitItem = 9;
constexpr int kDashedItem = 1;
constexpr int kThickItem = 2;
constexpr int kRedItem = 3;

// Chooses the open menu's item at `index`, or that item of the submenu at `submenu`, by keys.
void chooseMenuItem(int index, std::optional<int> submenu = {});
// Opens the tray menu and chooses an item; true once the menu has closed.
bool chooseFromTray(HWND mainWindow, int index, std::optional<int> submenu = {});

// Tray icons are known by their window and uID. Modifying nothing succeeds only while the
// icon exists.
bool trayIconExists(HWND window, UINT id = 0);
bool deleteTrayIcon(HWND window, UINT id = 0);

// Synthetic input. Every mouse event carries its position: under Wine's virtual desktop a
// bare button event can be stamped with a stale cursor position.
void pressKey(WORD virtualKey, int times = 1);
void pressAltF4();
// Types text into the focused control, whatever the keyboard layout.
void typeText(const std::wstring& text);
void moveMouse(POINT at);
void leftButton(POINT at, bool down);
void rightButton(POINT at, bool down);
// Moves the cursor to `at` and waits until Wine's late echoes of earlier moves are through.
bool settleMouseAt(POINT at);
// Left-button drag with `steps` moves, pressed and released where the cursor has settled.
void drag(POINT from, POINT to, int steps = 6);
void clickAt(POINT at);
void click(HWND window);
// Right-clicks at `at` and waits for the menu that opens; null if none does.
HWND rightClickMenu(POINT at);

// 32-bit pixels 0x00RRGGBB, top row first.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Screenshot captureScreen();
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
// Drawing reaches the screen a little after the input: waits until the screen passes `check`,
// and gives back the last look at it either way.
Screenshot waitForScreen(const std::function<bool(const Screenshot&)>& check,
                         DWORD timeoutMs = 3000);
// Pixels of `colour` in the rectangle from (x0, y0) to (x1, y1), both included.
int countPixels(const Screenshot& shot, int x0, int y0, int x1, int y1, std::uint32_t colour);

// A borderless topmost window over the whole screen, its left half white and its right half
// black, so what the program freezes is known exactly. It has its own thread, so it repaints
// while a test waits.
class PatternWindow {
  public:
    PatternWindow();
    ~PatternWindow();
    PatternWindow(const PatternWindow&) = delete;
    PatternWindow& operator=(const PatternWindow&) = delete;
    HWND window() const { return window_; }

  private:
    void run(HANDLE ready);
    std::thread thread_;
    HWND window_ = nullptr;
};

// The program's overlay: a visible captionless dialog window.
struct OverlayInfo {
    HWND window = nullptr;
    RECT rect = {};
    bool topmost = false;
};
std::optional<OverlayInfo> findOverlay(DWORD processId);
// The overlay once it is shown and above every other window.
std::optional<OverlayInfo> waitForOverlay(DWORD processId, DWORD timeoutMs = kTimeoutMs);
bool waitForNoOverlay(DWORD processId, DWORD timeoutMs = kTimeoutMs);
// Chooses a tool from the tray and waits for the overlay it opens.
std::optional<OverlayInfo> openWithTool(const Program& program, HWND mainWindow, int tool);

// Another process's dialogs, read from outside.
std::wstring windowText(HWND window);
// Direct children in Z order, which for a dialog is the order of its template.
std::vector<HWND> childWindows(HWND parent);
// A shown captioned dialog of the process with this title; any title if `title` is null.
HWND captionedDialog(DWORD processId, const wchar_t* title);
POINT centreOf(HWND window);
// Nothing covers the middle of the window: what a user sees there belongs to it.
bool isInFront(HWND window);
// A window is shown a moment before it is activated and raised.
bool comesToFront(HWND window);

// Controls of the common save dialog.
constexpr int kFileTypeCombo = 0x470;
constexpr int kFileNameCombo = 0x47c;
// Chooses the open overlay menu's last item and waits until the save dialog takes the keys;
// null if it does not.
HWND chooseSave(DWORD processId);

// This program's own folder, with a trailing backslash.
std::wstring programFolder();
bool fileExists(const std::wstring& path);
// Without opening the file: an open handle would stop the program replacing it.
std::uint64_t fileSize(const std::wstring& path);
std::vector<std::uint8_t> readFile(const std::wstring& path);
bool writeFile(const std::wstring& path, const void* data, size_t size);
bool anyFileMatches(const std::wstring& pattern);

// An unsigned little-endian field of `size` bytes.
inline std::uint32_t littleEndian(const std::vector<std::uint8_t>& bytes, size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes[at + i];
    return value;
}
// The pixels of a 24-bit bottom-up BMP; nothing if the bytes are not one, or not all of one.
std::optional<Screenshot> decodeBmp(const std::vector<std::uint8_t>& bytes);

// Live GDI objects of another process, stock objects excluded where that can be told.
DWORD gdiObjectCount(HANDLE process);
// The count once it has not changed for `quietMs`: a program that has just started or acted
// may still be creating and freeing objects.
DWORD settledGdiObjectCount(HANDLE process, DWORD quietMs = 300);

} // namespace driver
