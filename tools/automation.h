// Drives and watches Tovrel.exe from outside, as a person at the desktop would: starts it, finds
// its windows, opens its menus, moves the mouse and types, and looks at what it shows and writes.
// Used by `make demo` and the tests; the tests' checks and expected pictures are their own.
#pragma once

#include <windows.h>

#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace automation {

// Polls until done() holds or the time is up, handling this thread's messages meanwhile.
inline bool waitUntil(const std::function<bool()>& done, DWORD ms = 10000) {
    for (const ULONGLONG end = GetTickCount64() + ms;; Sleep(20)) {
        if (done()) return true;
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&message);
        if (GetTickCount64() > end) return done();
    }
}

inline long style(HWND window, int which = GWL_STYLE) {
    return GetWindowLongW(window, which);
}

inline std::wstring windowText(HWND window) { // WM_GETTEXT crosses processes
    wchar_t text[256] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 256, LPARAM(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

// Shown top-level windows of a class, of one process unless processId is 0.
inline std::vector<HWND> shownWindows(const wchar_t* wanted, DWORD processId = 0) {
    std::vector<HWND> found;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (IsWindowVisible(w) && GetClassNameW(w, name, 64) && std::wstring(name) == wanted &&
            (!processId || owner == processId))
            found.push_back(w);
    }
    return found;
}

// Input from now on reaches window: it has the keyboard again, as after a dialog it owned closed.
inline bool activeAgain(HWND window) {
    return waitUntil([&] { return IsWindowEnabled(window) && GetForegroundWindow() == window; });
}

inline bool menuOpen() {
    return !shownWindows(L"#32768").empty();
}

// A shown dialog of the process: the captionless overlay, or a captioned one with this title
// (any if null).
inline HWND dialogOf(DWORD processId, bool captioned, const wchar_t* title = nullptr) {
    for (HWND w : shownWindows(L"#32770", processId))
        if (((style(w) & WS_CAPTION) == WS_CAPTION) == captioned &&
            (!title || windowText(w) == title))
            return w;
    return nullptr;
}

// Nothing covers the window's middle: what a user sees there belongs to it.
inline bool inFront(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    HWND hit = WindowFromPoint({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return hit && GetAncestor(hit, GA_ROOT) == window;
}

constexpr UINT kTrayNotify = WM_USER + 100;

// A 32-bit top-down picture in a DIB section: what the screen shows, or a picture drawn to compare
// with it.
class Picture {
  public:
    explicit Picture(int w = GetSystemMetrics(SM_CXSCREEN), int h = GetSystemMetrics(SM_CYSCREEN))
        : width(w), height(h), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        original_ =
            SelectObject(dc_, CreateDIBSection(dc_, &info, DIB_RGB_COLORS,
                                               reinterpret_cast<void**>(&bits_), nullptr, 0));
        SetBkMode(dc_, TRANSPARENT); // as the program's Canvas: dashes leave their gaps alone
    }
    ~Picture() { DeleteObject(SelectObject(dc_, original_)), DeleteDC(dc_); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // R2_NOT sets the unused top byte too.
    std::uint32_t at(int x, int y) const { return bits_[y * width + x] & 0xFFFFFF; }
    std::uint32_t* bits() const { return bits_; }
    HDC dc() const { return dc_; }

    // What other shows, of the same size.
    Picture& copy(const Picture& other) {
        BitBlt(dc_, 0, 0, width, height, other.dc_, 0, 0, SRCCOPY);
        return GdiFlush(), *this;
    }

    // What the screen shows from (left, top).
    Picture& copyScreen(int left = 0, int top = 0) {
        HDC screen = GetDC(nullptr);
        BitBlt(dc_, 0, 0, width, height, screen, left, top, SRCCOPY);
        return ReleaseDC(nullptr, screen), GdiFlush(), *this;
    }

    const int width, height;

  private:
    HDC dc_;
    HGDIOBJ original_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

// ---- Input. Every mouse event carries its position: under Wine's virtual desktop a bare
// button event can be stamped with a stale one.

inline void send(INPUT input) {
    SendInput(1, &input, sizeof(input));
}

// Anywhere on the virtual screen, whichever monitor shows it: without VIRTUALDESK, absolute
// positions span the primary monitor only.
inline void mouse(POINT at, DWORD buttons = 0) {
    const LONG left = GetSystemMetrics(SM_XVIRTUALSCREEN),
               top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const LONG width = GetSystemMetrics(SM_CXVIRTUALSCREEN),
               height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    INPUT input = {INPUT_MOUSE, {}}; // rounded up, so that it lands on this very pixel
    input.mi = {((at.x - left) * 65536 + width - 1) / width,
                ((at.y - top) * 65536 + height - 1) / height,
                0,
                MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | buttons,
                0,
                0};
    send(input);
}

inline void keyEvent(WORD key, DWORD up) {
    INPUT input = {INPUT_KEYBOARD, {}};
    const DWORD extended = key >= VK_LEFT && key <= VK_DOWN ? KEYEVENTF_EXTENDEDKEY : 0;
    input.ki = {key, WORD(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)), extended | up, 0, 0};
    send(input);
}

inline void key(WORD key, int times = 1) {
    for (int i = 0; i < times; ++i)
        keyEvent(key, 0), keyEvent(key, KEYEVENTF_KEYUP);
}

// A key pressed while another is held, such as Ctrl+Z.
inline void chord(WORD held, WORD pressed) {
    keyEvent(held, 0), key(pressed), keyEvent(held, KEYEVENTF_KEYUP);
}

// Win+Shift+D, which the system hands to whoever registered it.
inline void drawKey() {
    keyEvent(VK_LWIN, 0), chord(VK_SHIFT, 'D'), keyEvent(VK_LWIN, KEYEVENTF_KEYUP);
}

inline void typeText(const std::wstring& text) { // whatever the keyboard layout
    for (wchar_t ch : text)
        for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT input = {INPUT_KEYBOARD, {}};
            input.ki = {0, WORD(ch), KEYEVENTF_UNICODE | up, 0, 0};
            send(input);
        }
}

// Under Wine's virtual desktop the process under the pointer hands on the X server's reports of
// earlier moves late, as moves of its own, putting the cursor back. Round trips to the window
// there let them through, a second move puts the cursor right, and it has arrived once it stays.
inline bool settleMouseAt(POINT at) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        for (int i = 0; i < 4; ++i) {
            if (i % 2 == 0) mouse(at), Sleep(10);
            SendMessageTimeoutW(WindowFromPoint(at), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                nullptr);
        }
        ULONGLONG since = 0;
        if (waitUntil(
                [&] {
                    POINT now = {};
                    GetCursorPos(&now);
                    if (now.x != at.x || now.y != at.y) return since = 0, false;
                    return GetTickCount64() - (since ? since : since = GetTickCount64()) >= 150;
                },
                1500))
            return true;
    }
    return false;
}

// A left-button drag in spaced-out moves, pressed and released where the cursor has settled:
// the program reads the cursor, not the message, when it takes the press. Half way, midway runs.
inline void drag(POINT from, POINT to, int steps = 6, const std::function<void()>& midway = {}) {
    settleMouseAt(from);
    mouse(from, MOUSEEVENTF_LEFTDOWN);
    Sleep(150);
    for (int i = 1; i <= steps; ++i) {
        Sleep(15);
        mouse({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        if (i == steps / 2 && midway) midway();
    }
    settleMouseAt(to);
    mouse(to, MOUSEEVENTF_LEFTUP);
}

inline void click(POINT at, DWORD down = MOUSEEVENTF_LEFTDOWN) {
    settleMouseAt(at);
    mouse(at, down), Sleep(20), mouse(at, down << 1); // each button's up flag follows its down flag
}

inline void clickOn(HWND control) {
    RECT r = {};
    GetWindowRect(control, &r);
    click({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

// ---- Menus. Positions count the items that can be chosen; separators do not.

enum Item {
    kUndo,
    kRectangle,
    kEllipse,
    kPen,
    kLine,
    kArrow,
    kMosaic,
    kText,
    kHighlighter,
    kMarker,
    kPart,
    kWidthMenu,
    kColourMenu,
    kStartWithWindows,
    kAbout,
    kExit
};
constexpr int kSave = kStartWithWindows; // the overlay menu's last item
enum SubItem { kThin, kDashed, kThick, kRed };
constexpr int kBlack = 0, kGreen = 1, kYellow = 4;   // in the colour submenu, as kRed
constexpr int kFileTypes = 0x470, kFileName = 0x47c; // controls of the save dialog

// Chooses the open menu's item, or that item of the submenu at position `submenu`, by keys.
inline bool chooseMenuItem(int item, int submenu = -1) {
    if (!waitUntil(menuOpen)) return false;
    if (submenu >= 0)
        key(VK_DOWN, submenu + 1), key(VK_RIGHT), key(VK_DOWN, item);
    else
        key(VK_DOWN, item + 1); // a fresh menu has no selection yet
    key(VK_RETURN);
    return waitUntil([] { return !menuOpen(); });
}

inline bool chooseFromTray(HWND main, int item, int submenu = -1) {
    PostMessageW(main, kTrayNotify, 0, WM_RBUTTONDOWN);
    return chooseMenuItem(item, submenu);
}

// Right-clicks the overlay whose top-left corner is at origin somewhere new each time (a second
// click nearby would be a double-click); the menu that opens, or null.
inline HWND openOverlayMenu(POINT origin = {}) {
    static int opened = 0;
    click({origin.x + 600 + 24 * (opened % 10), origin.y + 60 + 24 * (opened++ % 7)},
          MOUSEEVENTF_RIGHTDOWN);
    return waitUntil(menuOpen) ? shownWindows(L"#32768")[0] : nullptr;
}

inline bool chooseFromOverlay(int item, int submenu = -1, POINT origin = {}) {
    return openOverlayMenu(origin) && chooseMenuItem(item, submenu);
}

// ---- Watching the program from outside: its windows, its tray icon, what it put on the
// clipboard and in files, and what Task Manager would show of it (its current folder, GDI
// objects, memory).

inline bool closes(HWND window, DWORD ms = 10000) {
    return waitUntil([window] { return !IsWindow(window); }, ms);
}

// A tooltip or balloon with this text shows (the taskbar's, for the tray icon).
inline bool tipShown(const std::wstring& text, DWORD ms = 5000) {
    return waitUntil(
        [&] {
            const std::vector<HWND> tips = shownWindows(L"tooltips_class32");
            return std::any_of(tips.begin(), tips.end(),
                               [&](HWND tip) { return windowText(tip) == text; });
        },
        ms);
}

// The mouse comes to rest over the program's tray icon, the last in the taskbar.
inline void pointAtTrayIcon() {
    RECT bar = {};
    GetWindowRect(FindWindowW(L"Shell_TrayWnd", nullptr), &bar);
    settleMouseAt({bar.right - 10, bar.top - 100});
    settleMouseAt({bar.right - 10, (bar.top + bar.bottom) / 2});
}

// Tray icons are known by window and uID; modifying nothing succeeds only while one exists.
inline bool trayIcon(DWORD command, HWND window) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon), icon.hWnd = window;
    return Shell_NotifyIconW(command, &icon);
}

// What the clipboard holds as CF_DIB, or nothing.
inline std::string clipboardDib() {
    std::string dib;
    if (!OpenClipboard(nullptr)) return dib;
    HGLOBAL data = GetClipboardData(CF_DIB);
    if (const char* bytes = data ? static_cast<const char*>(GlobalLock(data)) : nullptr)
        dib.assign(bytes, GlobalSize(data)), GlobalUnlock(data);
    return CloseClipboard(), dib;
}

// Reads another process's memory at address, as found from its PEB; false if it cannot.
inline bool readMemory(HANDLE process, std::uint64_t address, void* into, std::size_t size) {
    return ReadProcessMemory(process, reinterpret_cast<void*>(address), into, size, nullptr);
}
inline std::uint64_t peb(HANDLE process) {
    using Query = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info = {};
    return query(process, ProcessBasicInformation, &info, sizeof(info), nullptr)
               ? 0
               : reinterpret_cast<std::uint64_t>(info.PebBaseAddress);
}

// A counted string of another process's parameters (at 0x20 in the PEB): its current folder at
// 0x38, its command line at 0x70.
inline std::wstring processParameter(HANDLE process, std::uint64_t at) {
    std::uint64_t parameters = 0;
    UNICODE_STRING counted = {};
    std::wstring text(4096, 0);
    if (!readMemory(process, peb(process) + 0x20, &parameters, 8) ||
        !readMemory(process, parameters + at, &counted, sizeof(counted)) ||
        !readMemory(process, reinterpret_cast<std::uint64_t>(counted.Buffer), text.data(),
                    std::min<std::size_t>(counted.Length, 2 * text.size())))
        return L"";
    return text.substr(0, counted.Length / 2);
}
inline std::wstring currentFolder(HANDLE process) {
    return processParameter(process, 0x38);
}

// The processes of this executable (such as explorer.exe) that were started with this text in
// their command lines: the command lines, each process ended once seen.
inline std::vector<std::wstring> endStarted(const wchar_t* exe, const std::wstring& text) {
    std::vector<std::wstring> lines;
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(all, &entry); more; more = Process32NextW(all, &entry)) {
        HANDLE process = _wcsicmp(entry.szExeFile, exe) == 0
                             ? OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID)
                             : nullptr;
        const std::wstring line = process ? processParameter(process, 0x70) : L"";
        if (line.find(text) != std::wstring::npos)
            lines.push_back(line), TerminateProcess(process, 0);
        if (process) CloseHandle(process);
    }
    return CloseHandle(all), lines;
}

// The text of a balloon showing this title, or nothing. Wine's tooltips answer TTM_GETTITLE with
// nothing; the title is among the strings that the tooltip's own record (its window's first extra
// bytes, in the taskbar's process) points to, found by showing balloons from a test program.
inline std::wstring balloonText(const std::wstring& title) {
    for (HWND tip : shownWindows(L"tooltips_class32")) {
        DWORD id = 0;
        GetWindowThreadProcessId(tip, &id);
        HANDLE process = OpenProcess(PROCESS_VM_READ, FALSE, id);
        std::vector<std::uint64_t> record(1024);
        bool titled = process && readMemory(process, GetWindowLongPtrW(tip, 0), record.data(),
                                            8 * record.size());
        titled = titled && std::any_of(record.begin(), record.end(), [&](std::uint64_t at) {
                     std::wstring text(title.size() + 1, L'?');
                     return readMemory(process, at, text.data(), 2 * text.size()) &&
                            text == title + L'\0';
                 });
        if (process) CloseHandle(process);
        if (titled) return windowText(tip);
    }
    return L"";
}

// Live GDI objects of another process, stock objects aside. Wine keeps no count for
// GetGuiResources; its handle table, found through the PEB, tells: 0x10000 entries of 24 bytes,
// in use while the type byte (at 14) is not 0, stock where the top bit of byte 12 is set (found
// by creating pens in a test program and watching the table).
inline DWORD gdiObjects(HANDLE process) {
    if (DWORD count = GetGuiResources(process, GR_GDIOBJECTS)) return count;
    std::uint64_t table = 0;
    std::vector<std::uint8_t> entries(24 * 0x10000);
    if (!readMemory(process, peb(process) + 0xF8, &table, 8) ||
        !readMemory(process, table, entries.data(), entries.size()))
        return 0;
    DWORD count = 0;
    for (std::size_t at = 0; at < entries.size(); at += 24)
        count += entries[at + 14] && !(entries[at + 12] & 0x80);
    return count;
}

// The count once it has stayed the same for a moment: a program that has just acted may still
// be creating and freeing objects.
inline DWORD settledGdiObjects(HANDLE process) {
    DWORD last = gdiObjects(process);
    for (ULONGLONG since = GetTickCount64(); GetTickCount64() - since < 400; Sleep(50))
        if (const DWORD now = gdiObjects(process); now != last)
            last = now, since = GetTickCount64();
    return last;
}

// The program's GDI objects, once settled, and its working set in KiB.
inline std::pair<DWORD, long> usage(HANDLE process) {
    PROCESS_MEMORY_COUNTERS memory = {};
    K32GetProcessMemoryInfo(process, &memory, sizeof(memory));
    return {settledGdiObjects(process), long(memory.WorkingSetSize / 1024)};
}

// The files it writes.
inline std::string readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline bool exists(const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    return search != INVALID_HANDLE_VALUE && FindClose(search);
}

// In the save dialog, types name in place of the name proposed.
inline void nameFile(HWND dialog, const std::wstring& name) {
    SendMessageW(GetDlgItem(dialog, kFileName), WM_SETTEXT, 0, LPARAM(L""));
    clickOn(GetDlgItem(dialog, kFileName)), typeText(name);
}

// In the save dialog, takes the name proposed, and the prompt to replace the file, which must come
// in front.
inline bool replaceFile(DWORD id, HWND dialog) {
    HWND prompt = nullptr;
    key(VK_RETURN);
    return waitUntil([&] {
               for (HWND w : shownWindows(L"#32770", id))
                   prompt = GetWindow(w, GW_OWNER) == dialog ? w : prompt;
               return prompt && inFront(prompt);
           }) &&
           PostMessageW(prompt, WM_COMMAND, IDYES, 0) && closes(dialog);
}

// ---- The desktop around the program: the screen's size, as a person changes it in the settings.

inline bool setScreen(int width, int height) {
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode), mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = width, mode.dmPelsHeight = height;
    return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, CDS_FULLSCREEN, nullptr) == 0;
}

// The screen's own size again, whatever happened: later tests must not see a changed screen.
struct ScreenRestored {
    ~ScreenRestored() { ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr); }
};

// Tovrel.exe, or the build named by TOVREL_EXE, started in folder (or here) or found running;
// killed when it goes, so that a failed check leaves nothing running.
class Program {
  public:
    explicit Program(const wchar_t* folder = nullptr) {
        wchar_t path[MAX_PATH] = {};
        if (!GetEnvironmentVariableW(L"TOVREL_EXE", path, MAX_PATH))
            MultiByteToWideChar(CP_UTF8, 0, "Z:" TOVREL_EXE, -1, path, MAX_PATH);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                       &info_);
        WaitForInputIdle(info_.hProcess, 10000);
        waitUntil([&] { return (main = mainWindow()) != nullptr; });
    }
    // Tovrel as someone else started it (`make run`), found by its main window.
    struct Running {};
    explicit Program(Running) {
        waitUntil([&] { return (main = FindWindowW(L"Main", nullptr)) != nullptr; });
        GetWindowThreadProcessId(main, &info_.dwProcessId);
        info_.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, info_.dwProcessId);
        WaitForInputIdle(info_.hProcess, 10000);
    }
    ~Program() {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hThread), CloseHandle(info_.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    DWORD id() const { return info_.dwProcessId; }
    HANDLE process() const { return info_.hProcess; }
    // The exit code, or -1 while it still runs when the time is up.
    long exitCode(DWORD ms = 10000) const {
        DWORD code = STILL_ACTIVE;
        waitUntil([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }, ms);
        return GetExitCodeProcess(info_.hProcess, &code) && code != STILL_ACTIVE ? long(code) : -1;
    }
    HWND overlay() const { return dialogOf(id(), false); }
    // The overlay once it is shown, topmost, in front of everything and has the keyboard.
    HWND waitForOverlay() const {
        HWND o = nullptr;
        waitUntil([&] {
            return (o = overlay()) && (style(o, GWL_EXSTYLE) & WS_EX_TOPMOST) && inFront(o) &&
                   GetForegroundWindow() == o;
        });
        return o;
    }
    // Chooses a tool from the tray: the overlay it opens, or null.
    HWND openWith(int tool) const {
        return chooseFromTray(main, tool) ? waitForOverlay() : nullptr;
    }
    bool overlayCloses(DWORD ms = 10000) const {
        return waitUntil([&] { return !overlay(); }, ms);
    }
    // Chooses 保存 from the overlay menu: the save dialog once it has the keyboard, or null.
    HWND openSaveDialog() const {
        HWND dialog = nullptr;
        RECT at = {};
        GetWindowRect(overlay(), &at);
        return chooseFromOverlay(kSave, -1, {at.left, at.top}) && waitUntil([&] {
                   return (dialog = dialogOf(id(), true)) && GetForegroundWindow() == dialog &&
                          GetDlgItem(dialog, kFileTypes);
               })
                   ? dialog
                   : nullptr;
    }

    HWND main = nullptr; // the hidden main window, once start-up is over

  private:
    HWND mainWindow() const {
        const std::vector<HWND> found = shownWindows(L"Main", id());
        return found.empty() ? nullptr : found[0];
    }
    PROCESS_INFORMATION info_ = {};
};

} // namespace automation
