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
// Chooses the item at `index` among the open menu's selectable items (separators are skipped
// and do not count), by keys.
void chooseMenuItem(int index);

// Tray icons are known by their window and uID. Modifying nothing succeeds only while the
// icon exists.
bool trayIconExists(HWND window, UINT id = 0);
bool deleteTrayIcon(HWND window, UINT id = 0);

// Synthetic input.
void pressKey(WORD virtualKey, int times = 1);
void moveMouse(int x, int y);
void leftButton(bool down);
void rightButton(bool down);
// Left-button drag with `steps` moves from `from` to `to`, the last one on `to`.
void drag(POINT from, POINT to, int steps);

// 32-bit pixels 0x00RRGGBB, top row first.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Screenshot captureScreen();

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

// Live GDI objects of another process, stock objects excluded where that can be told.
DWORD gdiObjectCount(HANDLE process);
// The count once it has not changed for `quietMs`: a program that has just started or acted
// may still be creating and freeing objects.
DWORD settledGdiObjectCount(HANDLE process, DWORD quietMs = 300);

} // namespace driver
