#include "driver.h"

#include <shellapi.h>
#include <winternl.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace driver {

namespace {

std::string narrow(const std::wstring& text) {
    std::string result(text.size() * 3, '\0');
    result.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      result.data(), static_cast<int>(result.size()), nullptr,
                                      nullptr));
    return result;
}

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

class ScreenDC {
  public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC() { ReleaseDC(nullptr, dc_); }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

class MemoryDC {
  public:
    explicit MemoryDC(HDC compatible) : dc_(CreateCompatibleDC(compatible)) {}
    ~MemoryDC() { DeleteDC(dc_); }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

// Selects a bitmap into a DC and owns it; the DC's previous bitmap goes back first.
class SelectedBitmap {
  public:
    SelectedBitmap(HDC dc, HBITMAP bitmap)
        : dc_(dc), bitmap_(bitmap), previous_(SelectObject(dc, bitmap)) {}
    ~SelectedBitmap() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;

  private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
};

void send(INPUT input) {
    if (SendInput(1, &input, sizeof(input)) != 1) fail("SendInput");
}

void mouseAt(POINT at, DWORD buttons = 0) {
    const LONG width = GetSystemMetrics(SM_CXSCREEN);
    const LONG height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    // Rounds up, so the normalised position maps back to exactly this pixel.
    input.mi.dx = (at.x * 65536 + width - 1) / width;
    input.mi.dy = (at.y * 65536 + height - 1) / height;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    send(input);
}

bool isExtendedKey(WORD key) {
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE: return true;
    default: return false;
    }
}

void sendKey(WORD virtualKey, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags =
        (isExtendedKey(virtualKey) ? KEYEVENTF_EXTENDEDKEY : 0) | (down ? 0 : KEYEVENTF_KEYUP);
    send(input);
}

// Wine's GDI handle table, one per process (the owner field stays 0): 0x10000 entries of
// 24 bytes. An entry is in use while Type is not 0; the top bit of Unique's low byte marks
// a stock object. Found by creating pens in a test program and watching the entries change.
struct GdiHandleEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;
    std::uint8_t type;
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr size_t kGdiHandleCount = 0x10000;
constexpr size_t kPebGdiSharedHandleTable = 0xF8; // 64-bit PEB

DWORD countGdiHandleTable(HANDLE process) {
    using QueryProcess = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info = {};
    if (!query || query(process, ProcessBasicInformation, &info, sizeof(info), nullptr) != 0)
        fail("NtQueryInformationProcess");
    std::uint64_t tableAddress = 0;
    const auto* field =
        reinterpret_cast<const char*>(info.PebBaseAddress) + kPebGdiSharedHandleTable;
    if (!ReadProcessMemory(process, field, &tableAddress, sizeof(tableAddress), nullptr) ||
        tableAddress == 0)
        fail("reading the GDI handle table address");
    std::vector<GdiHandleEntry> table(kGdiHandleCount);
    if (!ReadProcessMemory(process,
                           reinterpret_cast<const void*>(static_cast<std::uintptr_t>(tableAddress)),
                           table.data(), table.size() * sizeof(GdiHandleEntry), nullptr))
        fail("reading the GDI handle table");
    DWORD count = 0;
    for (const GdiHandleEntry& entry : table)
        if (entry.type != 0 && (entry.unique & 0x80) == 0) ++count;
    return count;
}

LRESULT CALLBACK patternProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        RECT left = client, right = client;
        left.right = right.left = client.right / 2;
        FillRect(dc, &left, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        FillRect(dc, &right, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (GetTickCount64() >= deadline) return done();
        Sleep(20);
    }
}

UniqueHandle& UniqueHandle::operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

HANDLE UniqueHandle::release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
}

void UniqueHandle::reset(HANDLE handle) {
    if (handle_) CloseHandle(handle_);
    handle_ = handle;
}

std::wstring tovrelPath() {
    if (const DWORD size = GetEnvironmentVariableW(L"TOVREL_EXE", nullptr, 0)) {
        std::wstring chosen(size, L'\0');
        chosen.resize(GetEnvironmentVariableW(L"TOVREL_EXE", chosen.data(), size));
        return chosen;
    }
    const std::string path = TOVREL_EXE;
    std::wstring wide(path.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    if (path.empty() || path[0] != '/') return wide;
    // Built on Linux and run under Wine: let Wine name the Unix path as a Windows one.
    using ToDosName = WCHAR*(CDECL*)(const char*);
    const auto toDos = reinterpret_cast<ToDosName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    WCHAR* dosName = toDos ? toDos(path.c_str()) : nullptr;
    if (!dosName) return wide;
    std::wstring result = dosName;
    HeapFree(GetProcessHeap(), 0, dosName);
    return result;
}

Program::Program(const std::wstring& path, const std::wstring& args)
    : job_(CreateJobObjectW(nullptr, nullptr)) {
    // The job takes the program's own children along when it is killed, and kills them all
    // should this test process die first.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job_.get() || !SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation,
                                                &limits, sizeof(limits)))
        fail("creating a job object");

    std::wstring commandLine = L"\"" + path + L"\"";
    if (!args.empty()) commandLine += L" " + args;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &started)) {
        const DWORD error = GetLastError();
        throw std::runtime_error("starting " + narrow(path) + " (error " + std::to_string(error) +
                                 ")");
    }
    process_.reset(started.hProcess);
    UniqueHandle thread(started.hThread);
    id_ = started.dwProcessId;
    if (!AssignProcessToJobObject(job_.get(), process_.get())) {
        TerminateProcess(process_.get(), 1);
        fail("putting the program into its job");
    }
    ResumeThread(thread.get());
}

Program::~Program() {
    if (!job_.get()) return;
    TerminateJobObject(job_.get(), 1);
    waitUntil(
        [this] {
            JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
            return !QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation,
                                              &accounting, sizeof(accounting), nullptr) ||
                   accounting.ActiveProcesses == 0;
        },
        5000);
    WaitForSingleObject(process_.get(), 5000);
}

HWND Program::mainWindow(DWORD timeoutMs) const {
    // The window is listed while it is still being created; once the program waits for input
    // its start-up, tray icon included, is done.
    WaitForInputIdle(process_.get(), timeoutMs);
    return waitForWindow(L"Main", id_, timeoutMs);
}

std::optional<DWORD> Program::waitForExit(DWORD timeoutMs) const {
    if (!waitUntil([this] { return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; },
                   timeoutMs))
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::vector<HWND> topWindows(const wchar_t* wantedClass, DWORD processId) {
    struct Search {
        const wchar_t* wantedClass;
        DWORD processId;
        std::vector<HWND> found;
    } search{wantedClass, processId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if ((s.processId == 0 || owner == s.processId) && className(window) == s.wantedClass)
                s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const wchar_t* wantedClass, DWORD processId, DWORD timeoutMs) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            const std::vector<HWND> windows = topWindows(wantedClass, processId);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

void openTrayMenu(HWND mainWindow) {
    PostMessageW(mainWindow, kTrayNotify, 0, WM_RBUTTONDOWN);
}

HWND visiblePopupMenu() {
    // A hidden menu window always exists; only a shown one is an open menu.
    for (HWND window : topWindows(L"#32768"))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

HWND waitForPopupMenu(DWORD timeoutMs) {
    HWND menu = nullptr;
    waitUntil([&] { return (menu = visiblePopupMenu()) != nullptr; }, timeoutMs);
    return menu;
}

bool waitForNoPopupMenu(DWORD timeoutMs) {
    return waitUntil([] { return visiblePopupMenu() == nullptr; }, timeoutMs);
}

void chooseMenuItem(int index, std::optional<int> submenu) {
    // A freshly opened menu has no selection; the first Down selects the first item. A
    // submenu opened by key starts on its first item.
    if (submenu) {
        pressKey(VK_DOWN, *submenu + 1);
        pressKey(VK_RIGHT);
        pressKey(VK_DOWN, index);
    } else {
        pressKey(VK_DOWN, index + 1);
    }
    pressKey(VK_RETURN);
}

bool chooseFromTray(HWND mainWindow, int index, std::optional<int> submenu) {
    openTrayMenu(mainWindow);
    if (!waitForPopupMenu()) return false;
    chooseMenuItem(index, submenu);
    return waitForNoPopupMenu();
}

bool trayIconExists(HWND window, UINT id) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window;
    icon.uID = id;
    return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

bool deleteTrayIcon(HWND window, UINT id) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window;
    icon.uID = id;
    return Shell_NotifyIconW(NIM_DELETE, &icon) != FALSE;
}

void pressKey(WORD virtualKey, int times) {
    for (int i = 0; i < times; ++i) {
        sendKey(virtualKey, true);
        sendKey(virtualKey, false);
    }
}

void pressAltF4() {
    sendKey(VK_MENU, true);
    pressKey(VK_F4);
    sendKey(VK_MENU, false);
}

void typeText(const std::wstring& text) {
    for (wchar_t ch : text) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = ch;
        input.ki.dwFlags = KEYEVENTF_UNICODE;
        send(input);
        input.ki.dwFlags |= KEYEVENTF_KEYUP;
        send(input);
    }
}

void moveMouse(POINT at) {
    mouseAt(at);
}

void leftButton(POINT at, bool down) {
    mouseAt(at, down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
}

void rightButton(POINT at, bool down) {
    mouseAt(at, down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
}

// Under Wine's virtual desktop the X server reports each move, and each window mapped under the
// pointer, to the process whose window is there, which passes it on as a move of its own when
// it next waits for messages: late, it puts the cursor back where it was. Two round trips to
// that thread let it pass them on, and a second move puts the cursor right again; then it has
// arrived once it stays put.
bool settleMouseAt(POINT at) {
    const auto flushWindowUnder = [at] {
        for (int i = 0; i < 2; ++i)
            SendMessageTimeoutW(WindowFromPoint(at), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                nullptr);
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        for (int i = 0; i < 2; ++i) {
            mouseAt(at);
            Sleep(10);
            flushWindowUnder();
        }
        ULONGLONG arrived = 0;
        if (waitUntil(
                [&] {
                    POINT cursor = {};
                    GetCursorPos(&cursor);
                    if (cursor.x != at.x || cursor.y != at.y)
                        arrived = 0;
                    else if (arrived == 0)
                        arrived = GetTickCount64();
                    return arrived != 0 && GetTickCount64() - arrived >= 150;
                },
                1500))
            return true;
    }
    return false;
}

void drag(POINT from, POINT to, int steps) {
    // The program reads the cursor when it takes the press, so nothing moves until it has.
    settleMouseAt(from);
    leftButton(from, true);
    Sleep(150);
    for (int i = 1; i <= steps; ++i) {
        // Spaced out so the program gets moves to handle rather than one merged move.
        Sleep(15);
        mouseAt({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    }
    settleMouseAt(to);
    leftButton(to, false);
}

void clickAt(POINT at) {
    settleMouseAt(at);
    leftButton(at, true);
    Sleep(20);
    leftButton(at, false);
}

void click(HWND window) {
    clickAt(centreOf(window));
}

HWND rightClickMenu(POINT at) {
    settleMouseAt(at);
    rightButton(at, true);
    rightButton(at, false);
    return waitForPopupMenu();
}

Screenshot captureScreen() {
    Screenshot shot;
    shot.width = GetSystemMetrics(SM_CXSCREEN);
    shot.height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    ScreenDC screen;
    MemoryDC memory(screen.get());
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) fail("CreateDIBSection");
    SelectedBitmap selected(memory.get(), bitmap);
    if (!BitBlt(memory.get(), 0, 0, shot.width, shot.height, screen.get(), 0, 0, SRCCOPY))
        fail("BitBlt from the screen");
    GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    shot.pixels.assign(first, first + static_cast<size_t>(shot.width) * shot.height);
    for (std::uint32_t& pixel : shot.pixels)
        pixel &= 0x00FFFFFF;
    return shot;
}

Screenshot waitForScreen(const std::function<bool(const Screenshot&)>& check, DWORD timeoutMs) {
    Screenshot shot;
    waitUntil([&] { return check(shot = captureScreen()); }, timeoutMs);
    return shot;
}

int countPixels(const Screenshot& shot, int x0, int y0, int x1, int y1, std::uint32_t colour) {
    int found = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            found += shot.at(x, y) == colour;
    return found;
}

PatternWindow::PatternWindow() {
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_ = std::thread(&PatternWindow::run, this, ready.get());
    WaitForSingleObject(ready.get(), kTimeoutMs);
    if (!window_) {
        thread_.join();
        fail("showing the pattern window");
    }
}

PatternWindow::~PatternWindow() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
}

void PatternWindow::run(HANDLE ready) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = patternProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TovrelTestPattern";
    RegisterClassW(&windowClass); // fails harmlessly when registered by an earlier pattern
    window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"",
                              WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                              GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    if (window_) UpdateWindow(window_);
    SetEvent(ready);
    if (!window_) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::optional<OverlayInfo> findOverlay(DWORD processId) {
    for (HWND window : topWindows(L"#32770", processId)) {
        const LONG style = GetWindowLongW(window, GWL_STYLE);
        if (!IsWindowVisible(window) || (style & WS_CAPTION) == WS_CAPTION) continue;
        OverlayInfo overlay;
        overlay.window = window;
        GetWindowRect(window, &overlay.rect);
        overlay.topmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        return overlay;
    }
    return std::nullopt;
}

std::optional<OverlayInfo> waitForOverlay(DWORD processId, DWORD timeoutMs) {
    std::optional<OverlayInfo> overlay;
    waitUntil(
        [&] {
            overlay = findOverlay(processId);
            return overlay && overlay->topmost && isInFront(overlay->window);
        },
        timeoutMs);
    return overlay;
}

bool waitForNoOverlay(DWORD processId, DWORD timeoutMs) {
    return waitUntil([&] { return !findOverlay(processId); }, timeoutMs);
}

std::optional<OverlayInfo> openWithTool(const Program& program, HWND mainWindow, int tool) {
    if (!chooseFromTray(mainWindow, tool)) return std::nullopt;
    return waitForOverlay(program.id());
}

std::wstring windowText(HWND window) {
    // WM_GETTEXT crosses processes; GetWindowTextW would not ask another process's controls.
    wchar_t text[512] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    return text;
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

HWND captionedDialog(DWORD processId, const wchar_t* title) {
    for (HWND window : topWindows(L"#32770", processId)) {
        const LONG style = GetWindowLongW(window, GWL_STYLE);
        if (IsWindowVisible(window) && (style & WS_CAPTION) == WS_CAPTION &&
            (!title || windowText(window) == title))
            return window;
    }
    return nullptr;
}

POINT centreOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool isInFront(HWND window) {
    HWND hit = WindowFromPoint(centreOf(window));
    return hit && GetAncestor(hit, GA_ROOT) == window;
}

bool comesToFront(HWND window) {
    return waitUntil([window] { return isInFront(window); }, 2000);
}

HWND chooseSave(DWORD processId) {
    pressKey(VK_UP);
    pressKey(VK_RETURN);
    HWND dialog = nullptr;
    waitUntil([&] {
        dialog = captionedDialog(processId, nullptr);
        return dialog && GetDlgItem(dialog, kFileTypeCombo) && GetForegroundWindow() == dialog;
    });
    return dialog;
}

std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::uint64_t fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

std::vector<std::uint8_t> readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writeFile(const std::wstring& path, const void* data, size_t size) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return out.good();
}

bool anyFileMatches(const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

std::optional<Screenshot> decodeBmp(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 54 || littleEndian(bytes, 0, 2) != 0x4D42 ||
        littleEndian(bytes, 28, 2) != 24 || littleEndian(bytes, 30, 4) != BI_RGB)
        return std::nullopt;
    const size_t offset = littleEndian(bytes, 10, 4);
    Screenshot picture;
    picture.width = static_cast<int>(littleEndian(bytes, 18, 4));
    picture.height = static_cast<int>(littleEndian(bytes, 22, 4));
    const size_t stride = (static_cast<size_t>(picture.width) * 3 + 3) & ~size_t{3};
    if (picture.width <= 0 || picture.height <= 0 || offset < 54 ||
        bytes.size() != offset + stride * picture.height)
        return std::nullopt;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* p = &bytes[offset + stride * (picture.height - 1 - y) + 3 * x];
            picture.pixels.push_back(std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
        }
    return picture;
}

DWORD gdiObjectCount(HANDLE process) {
    const DWORD count = GetGuiResources(process, GR_GDIOBJECTS);
    // Wine does not keep this count; its per-process handle table does.
    return count != 0 ? count : countGdiHandleTable(process);
}

DWORD settledGdiObjectCount(HANDLE process, DWORD quietMs) {
    DWORD last = gdiObjectCount(process);
    ULONGLONG changedAt = GetTickCount64();
    waitUntil([&] {
        const DWORD now = gdiObjectCount(process);
        if (now != last) {
            last = now;
            changedAt = GetTickCount64();
        }
        return GetTickCount64() - changedAt >= quietMs;
    });
    return last;
}

} // namespace driver
