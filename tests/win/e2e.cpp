// Tovrel.exe driven as a person would, checked on the screen and in the files it writes.
// Usage: e2e desk|drawing|save|cycles
#include "driver.h"

#include <psapi.h>

#include <cstdlib>
#include <map>

using namespace driver;

namespace {

constexpr int kFileTypes = 0x470, kFileName = 0x47c; // controls of the save dialog

// Chooses 保存 from the overlay menu; the save dialog once it has the keyboard, or null.
HWND openSaveDialog(const Program& tovrel) {
    HWND dialog = nullptr;
    if (chooseFromOverlay(kSave))
        waitUntil([&] {
            return (dialog = dialogOf(tovrel.id(), true)) && GetForegroundWindow() == dialog &&
                   GetDlgItem(dialog, kFileTypes);
        });
    return dialog;
}

// Takes the proposed name, and says yes to replacing the file in a prompt that must be in front.
void acceptReplacing(const Program& tovrel, HWND dialog) {
    key(VK_RETURN);
    HWND prompt = nullptr;
    CHECK(waitUntil([&] {
        for (HWND w : shownWindows(L"#32770", tovrel.id()))
            if (GetWindow(w, GW_OWNER) == dialog) prompt = w;
        return prompt && inFront(prompt);
    }));
    RECT r = {};
    GetWindowRect(GetDlgItem(prompt, IDYES), &r);
    click({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    CHECK(waitUntil([&] { return !IsWindow(dialog); }));
}

bool setScreen(int width, int height) {
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmPelsWidth = width, mode.dmPelsHeight = height,
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, CDS_FULLSCREEN, nullptr) == 0 &&
           GetSystemMetrics(SM_CXSCREEN) == width;
}

// Back to the screen's own size, whatever happened: later tests must not see a changed screen.
struct ScreenRestored {
    ~ScreenRestored() { ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr); }
};

// The tray icon and menu, the About box with and without an overlay, and the ways out.
void desk() {
    Program tovrel;
    const HWND main = tovrel.main;
    RECT r;
    REQUIRE(main && GetWindowRect(main, &r) && IsRectEmpty(&r) && (style(main) & WS_POPUP) &&
            (style(main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW));
    CHECK(trayIcon(NIM_MODIFY, main));
    PostMessageW(main, kTrayNotify, 0, WM_LBUTTONDOWN);
    CHECK(!waitUntil(menuOpen, 800), "a left click opened the menu");
    // The icon comes back when the taskbar is made anew, as after Explorer restarts.
    CHECK(trayIcon(NIM_DELETE, main) && !trayIcon(NIM_MODIFY, main));
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    CHECK(waitUntil([&] { return trayIcon(NIM_MODIFY, main); }));
    {
        Program second; // an icon of its own; its Exit ends it alone
        CHECK(second.main && second.main != main && trayIcon(NIM_MODIFY, second.main));
        CHECK(chooseFromTray(second.main, kExit) && second.exitCode() == 0);
    }

    // The shell opens https addresses with a stand-in that notes them (in this test prefix).
    const std::wstring opened = testFolder(L"desk") + L"opened.txt",
                       command = L"cmd /c echo %1>>" + opened;
    DeleteFileW(opened.c_str());
    RegSetKeyValueW(HKEY_CLASSES_ROOT, L"https\\shell\\open\\command", nullptr, REG_SZ,
                    command.c_str(), DWORD(2 * command.size() + 2));
    HWND about = nullptr;
    auto openAbout = [&] {
        return chooseFromTray(main, kAbout) && waitUntil([&] {
                   about = dialogOf(tovrel.id(), true, L"关于 Tovrel");
                   return about && GetForegroundWindow() == about && inFront(about);
               });
    };
    auto closes = [&] { return waitUntil([&] { return !IsWindow(about); }, 2000); };
    REQUIRE(openAbout() && GetWindow(about, GW_OWNER) == main);
    key(VK_ESCAPE);
    CHECK(!closes(), "Esc closed the About box");
    key(VK_RETURN);
    CHECK(closes(), "Enter left the About box open");
    REQUIRE(openAbout());
    GetWindowRect(GetDlgItem(about, 1001), &r);
    click({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    CHECK(waitUntil([&] { return readFile(opened).size() > 2; }));
    const std::vector<std::uint8_t> note = readFile(opened);
    CHECK(std::string(note.begin(), note.end()) == "https://tovrel.example.org/\r\n");
    CHECK(!closes(), "the link closed the box");
    PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(closes(), "the close command left the box open");

    // Over an overlay, the box comes in front; the overlay takes no input meanwhile and keeps
    // its drawing; afterwards it has the keyboard again.
    Pattern pattern; // only now: the box itself is not topmost
    Picture expected;
    expected.copySettledScreen();
    REQUIRE(chooseFromTray(main, kRectangle) && tovrel.waitForOverlay());
    HWND overlay = tovrel.overlay();
    drag({100, 100}, {300, 200});
    expected.draw(PS_SOLID, 1, 0, R2_NOT, [](HDC dc) { Rectangle(dc, 100, 100, 300, 200); });
    REQUIRE(openAbout() && !IsWindowEnabled(overlay));
    click({5, 5});
    click({700, 600}, MOUSEEVENTF_RIGHTDOWN);
    CHECK(!waitUntil(menuOpen, 500) && inFront(about), "the overlay took a click");
    key(VK_RETURN);
    CHECK(closes() && IsWindowEnabled(overlay));
    CHECK_SCREEN(expected);
    key(VK_ESCAPE);
    CHECK(waitUntil([&] { return !IsWindow(overlay); }), "Esc after the About box");
    PostMessageW(main, WM_CLOSE, 0, 0);
    CHECK(tovrel.exitCode() == 0, "after WM_CLOSE");
}

enum Via { kKept, kTray, kMenu };
enum Shape { kNothing, kBox, kOval, kStraight, kArrowed, kStroke };
struct Row {
    Via via;
    int item, sub;
    Shape shape = kNothing;
    POINT from{}, to{};
    int style = PS_SOLID, width = 1;
    POINT foot{}, a{}, b{}; // an arrow's head, from the worked cases
};

// What each drag leaves, as GDI draws it: outlines inverted, the pen's strokes red.
void drawAsExpected(Picture& p, const Row& r) {
    const auto [x0, y0] = r.from;
    const auto [x1, y1] = r.to;
    if (r.shape == kBox)
        p.draw(r.style, r.width, 0, R2_NOT, [&](HDC dc) { Rectangle(dc, x0, y0, x1, y1); });
    if (r.shape == kOval)
        p.draw(r.style, r.width, 0, R2_NOT, [&](HDC dc) { Ellipse(dc, x0, y0, x1, y1); });
    if (r.shape == kStraight) p.line(r.from, r.to, r.width);
    if (r.shape == kStroke) p.line(r.from, {x1, y1 + 2}, 3, RGB(255, 0, 0), R2_COPYPEN);
    if (r.shape == kArrowed)
        p.draw(r.style, r.width, 0, R2_NOT, [&](HDC dc) {
            for (auto [a, b] : {std::pair{r.from, r.foot}, {r.a, r.b}, {r.b, r.to}, {r.to, r.a}})
                MoveToEx(dc, a.x, a.y, nullptr), LineTo(dc, b.x, b.y);
        });
}

// The frozen screen, each tool's drawing with each setting, repainting, and how an overlay
// closes. On a 1280x800 screen: white on the left half, black on the right.
void drawing() {
    constexpr int S = PS_SOLID, D = PS_DASH;
    const Row rows[] = {
        {kKept, 0, -1, kBox, {400, 350}, {150, 120}, S, 1}, // dragged up and left
        {kKept, 0, -1, kBox, {800, 200}, {1100, 450}, S, 1},
        {kTray, kEllipse, -1, kOval, {100, 450}, {400, 650}, S, 1},
        {kTray,
         kArrow,
         -1,
         kArrowed,
         {100, 100},
         {200, 100},
         S,
         1,
         {190, 100},
         {190, 110},
         {190, 90}},
        {kKept, 0, -1, kArrowed, {700, 100}, {703, 107}, S, 1, {699, 97}, {689, 101}, {709, 93}},
        {kTray, kLine, -1, kStraight, {420, 40}, {620, 90}, S, 1},
        {kMenu, kDashed, kWidthMenu},
        {kMenu, kRectangle, -1, kBox, {150, 700}, {450, 780}, D, 1},
        {kMenu, kEllipse, -1, kOval, {700, 550}, {880, 780}, D, 1},
        {kMenu,
         kArrow,
         -1,
         kArrowed,
         {660, 480},
         {760, 480},
         D,
         1,
         {750, 480},
         {750, 490},
         {750, 470}},
        {kMenu, kRed, kColourMenu},
        {kMenu, kPen, -1, kStroke, {560, 150}, {560, 400}},          // dashed asked, solid drawn
        {kTray, kLine, -1, kStraight, {470, 600}, {620, 640}, S, 3}, // the pen's width now
        {kMenu, kThick, kWidthMenu},
        {kMenu, kRectangle, -1, kBox, {1000, 50}, {1200, 150}, S, 2}, // thick is never dashed
        {kTray, kThin, kWidthMenu},                                   // solid again, still thick
        {kMenu, kEllipse, -1, kOval, {1120, 480}, {1260, 780}, S, 2},
        {kMenu,
         kArrow,
         -1,
         kArrowed,
         {1150, 250},
         {1153, 257},
         S,
         2,
         {1149, 247},
         {1139, 251},
         {1159, 243}},
    };
    Pattern pattern;
    Program tovrel;
    Picture expected, pristine;
    expected.copySettledScreen(), pristine.copyScreen();
    REQUIRE(chooseFromTray(tovrel.main, kRectangle));
    const ULONGLONG menuClosed = GetTickCount64();
    // What the screen shows half a second after the menu closed is what freezes: here a white
    // square shown on the black half after the menu.
    const HWND late = showRect({900, 500, 1100, 700}, SS_WHITERECT);
    BitBlt(expected.dc(), 900, 500, 200, 200, expected.dc(), 100, 500, SRCCOPY);
    const HWND overlay = tovrel.waitForOverlay();
    const ULONGLONG shownAfter = GetTickCount64() - menuClosed;
    REQUIRE(overlay);
    DestroyWindow(late);
    CHECK(shownAfter >= 400 && shownAfter < 3000, std::to_string(shownAfter) + " ms");
    RECT r;
    CHECK(GetWindowRect(overlay, &r) && r.left == 0 && r.top == 0 && r.right == expected.width &&
          r.bottom == expected.height && !(style(overlay) & (WS_CAPTION | WS_THICKFRAME)));
    CHECK_SCREEN(expected, "when frozen");
    for (const Row& row : rows) {
        if (row.via == kTray)
            CHECK(chooseFromTray(tovrel.main, row.item, row.sub),
                  "row " + std::to_string(&row - rows));
        if (row.via == kMenu)
            CHECK(chooseFromOverlay(row.item, row.sub), "row " + std::to_string(&row - rows));
        if (row.shape == kNothing) continue;
        drag(row.from, row.to);
        drawAsExpected(expected, row);
        CHECK_SCREEN(expected, "after row " + std::to_string(&row - rows));
    }
    CHECK(tovrel.overlay() == overlay && shownWindows(L"#32770", tovrel.id()).size() == 1,
          "a tool from the tray did not keep the one overlay");

    // Neither Alt+F4 nor a close request closes it; what a window covered is repainted.
    keyEvent(VK_MENU, 0), key(VK_F4), keyEvent(VK_MENU, KEYEVENTF_KEYUP);
    PostMessageW(overlay, WM_CLOSE, 0, 0);
    const HWND cover = showRect({200, 150, 600, 450});
    CHECK(!screenDifference(expected, 1000).empty());
    DestroyWindow(cover);
    CHECK_SCREEN(expected, "uncovered");
    RedrawWindow(overlay, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    CHECK_SCREEN(expected, "repainted");
    CHECK(IsWindow(overlay) && IsWindowVisible(overlay), "Alt+F4 or WM_CLOSE closed it");
    CHECK(chooseFromOverlay(kUndo) && waitUntil([&] { return !tovrel.overlay(); }));

    // A new overlay draws lines with the Canvas's own thin pen again, and Esc closes it at once.
    REQUIRE(chooseFromTray(tovrel.main, kLine) && tovrel.waitForOverlay());
    drag({100, 300}, {500, 300});
    pristine.line({100, 300}, {500, 300});
    CHECK_SCREEN(pristine, "thin line in a new overlay");
    const ULONGLONG pressed = GetTickCount64();
    key(VK_ESCAPE);
    CHECK(waitUntil([&] { return !tovrel.overlay(); }, 2000) && GetTickCount64() - pressed < 400);
    REQUIRE(chooseFromTray(tovrel.main, kPen) && tovrel.waitForOverlay());
    CHECK(chooseFromTray(tovrel.main, kUndo) && waitUntil([&] { return !tovrel.overlay(); }),
          "tray undo");
    REQUIRE(chooseFromTray(tovrel.main, kRectangle) && tovrel.waitForOverlay());
    CHECK(chooseFromTray(tovrel.main, kExit) && tovrel.exitCode() == 0,
          "Exit with an overlay open");
}

// Saving what the overlay holds, as the screen grows and shrinks: the file against the drawing,
// a cancel, a file held open elsewhere throughout or for a moment, and the dialogs in front.
void save() {
    ScreenRestored restored;
    REQUIRE(setScreen(1024, 768));
    Program tovrel; // started on the smaller screen
    REQUIRE(tovrel.main && setScreen(1280, 800));
    Pattern pattern;
    Picture expected;
    expected.copySettledScreen();
    REQUIRE(chooseFromTray(tovrel.main, kRectangle));
    const HWND overlay = tovrel.waitForOverlay();
    RECT r;
    REQUIRE(overlay && GetWindowRect(overlay, &r) && r.right == 1280 && r.bottom == 800);
    drag({200, 200}, {1200, 780}); // across both halves, and beyond 1024x768
    expected.draw(PS_SOLID, 1, 0, R2_NOT, [](HDC dc) { Rectangle(dc, 200, 200, 1200, 780); });
    CHECK_SCREEN(expected);
    const std::wstring folder = testFolder(L"saved"), path = folder + L"picture.bmp";
    DeleteFileW(path.c_str());
    auto saved = [&] {
        Picture file(expected.width, expected.height);
        return waitUntil(
            [&] { return file.loadBmp(readFile(path)) && difference(file, expected).empty(); });
    };
    auto failureShown = [&](DWORD ms) {
        HWND box = nullptr;
        return waitUntil(
                   [&] { return (box = dialogOf(tovrel.id(), true, L"提示信息")) && inFront(box); },
                   ms) &&
               FindWindowExW(box, nullptr, L"Static", L"保存失败") && !IsWindowEnabled(overlay) &&
               (key(VK_RETURN), waitUntil([&] { return !IsWindow(box); }));
    };

    // A cancel says nothing. Meanwhile the overlay takes no clicks and stays behind the dialog.
    HWND dialog = openSaveDialog(tovrel);
    REQUIRE(dialog && inFront(dialog) && !IsWindowEnabled(overlay));
    click({5, 5});
    click({5, 700}, MOUSEEVENTF_RIGHTDOWN);
    CHECK(!waitUntil(menuOpen, 500) && inFront(dialog), "the overlay took a click");
    key(VK_ESCAPE);
    CHECK(waitUntil([&] { return !IsWindow(dialog); }) && !failureShown(1500) &&
          IsWindowEnabled(overlay));

    // With "*.*" chosen a bare name gets the default extension, bmp.
    REQUIRE(dialog = openSaveDialog(tovrel));
    GetWindowRect(GetDlgItem(dialog, kFileTypes), &r);
    click({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    key(VK_DOWN), key(VK_RETURN);
    CHECK(waitUntil(
        [&] { return SendMessageW(GetDlgItem(dialog, kFileTypes), CB_GETCURSEL, 0, 0) == 1; }));
    GetWindowRect(GetDlgItem(dialog, kFileName), &r);
    click({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    typeText(folder + L"picture");
    key(VK_RETURN);
    CHECK(saved() && !exists(folder + L"picture"));

    // Held open elsewhere throughout: the message, and the old file as it was. The dialog
    // proposes the last name and filter.
    const std::vector<std::uint8_t> old = readFile(path);
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    REQUIRE(dialog = openSaveDialog(tovrel));
    const std::wstring proposed = windowText(GetDlgItem(dialog, kFileName));
    CHECK((proposed == L"picture.bmp" || proposed == path) &&
          SendMessageW(GetDlgItem(dialog, kFileTypes), CB_GETCURSEL, 0, 0) == 1);
    acceptReplacing(tovrel, dialog);
    CHECK(failureShown(5000), "no failure message for a held file");
    CloseHandle(held);
    CHECK(readFile(path) == old && !exists(path + L".tmp*") && IsWindowEnabled(overlay));

    // Held for a moment only, and longer than the new picture: saved, and replaced wholly.
    drag({300, 300}, {500, 400});
    expected.draw(PS_SOLID, 1, 0, R2_NOT, [](HDC dc) { Rectangle(dc, 300, 300, 500, 400); });
    std::vector<std::uint8_t> longer = old;
    longer.resize(old.size() + 4096);
    REQUIRE(writeFile(path, longer));
    held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
    REQUIRE(dialog = openSaveDialog(tovrel));
    acceptReplacing(tovrel, dialog);
    waitUntil([&] { return exists(path + L".tmp*"); }, 3000); // written, and waiting for the file
    Sleep(200);
    CloseHandle(held);
    CHECK(saved(), "a file held for 200 ms");

    // The screen shrinks under the open overlay: it keeps its picture and size, and so does the
    // file; the next overlay fits the smaller screen. Esc still reaches the overlay.
    DeleteFileW(path.c_str());
    REQUIRE(setScreen(1024, 768) && (dialog = openSaveDialog(tovrel)));
    key(VK_RETURN);
    CHECK(saved(), "saved after the screen shrank");
    key(VK_ESCAPE);
    CHECK(waitUntil([&] { return !tovrel.overlay(); }));
    REQUIRE(chooseFromTray(tovrel.main, kRectangle) && tovrel.waitForOverlay());
    CHECK(GetWindowRect(tovrel.overlay(), &r) && r.right == 1024 && r.bottom == 768);
}

// The program's resident memory.
long residentKiB(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    return K32GetProcessMemoryInfo(process, &counters, sizeof(counters))
               ? long(counters.WorkingSetSize / 1024)
               : -1;
}

// Overlay after overlay with every tool and a save every fourth: GDI objects and memory stay
// flat, and each picture saved is the one on the screen. TOVREL_SOAK_CYCLES and
// TOVREL_SOAK_MOVES (per drag) make it the soak.
void cycles() {
    const char* cyclesSet = std::getenv("TOVREL_SOAK_CYCLES");
    const char* movesSet = std::getenv("TOVREL_SOAK_MOVES");
    const int count = cyclesSet ? std::atoi(cyclesSet) : 16,
              moves = movesSet ? std::atoi(movesSet) : 8;
    Pattern pattern;
    Program tovrel;
    const std::wstring path = testFolder(L"cycles") + L"cycle.bmp";
    DWORD gdiAtHalf = 0;
    long memoryAtHalf = 0;
    for (int cycle = 1; cycle <= count; ++cycle) {
        const std::string at = "cycle " + std::to_string(cycle);
        REQUIRE(chooseFromTray(tovrel.main, kRectangle + cycle % 5) && tovrel.waitForOverlay(), at);
        const POINT from = {100 + cycle * 37 % 500, 100 + cycle * 53 % 300};
        drag(from, {from.x + 300, from.y + 200}, moves);
        if (cycle % 4 == 0) {
            Picture shown, file;
            shown.copyScreen();
            DeleteFileW(path.c_str());
            REQUIRE(openSaveDialog(tovrel), at);
            settledGdiObjects(tovrel.process()); // the dialog loads its icons for a moment
            typeText(path), key(VK_RETURN);
            CHECK(waitUntil([&] { return file.loadBmp(readFile(path)); }) &&
                      difference(file, shown).empty(),
                  at);
        }
        cycle % 2 ? key(VK_ESCAPE) : void(chooseFromTray(tovrel.main, kUndo));
        REQUIRE(waitUntil([&] { return !tovrel.overlay(); }), at);
        if (cycle == count / 2)
            gdiAtHalf = settledGdiObjects(tovrel.process()),
            memoryAtHalf = residentKiB(tovrel.process());
        if (cycle % 20 == 0 || cycle == count)
            std::printf("%s: %lu GDI objects, %ld KiB resident\n", at.c_str(),
                        settledGdiObjects(tovrel.process()), residentKiB(tovrel.process()));
    }
    const DWORD gdi = settledGdiObjects(tovrel.process());
    CHECK(gdi <= gdiAtHalf,
          std::to_string(gdiAtHalf) + " GDI objects at half way, " + std::to_string(gdi) + " now");
    CHECK(memoryAtHalf > 0 && residentKiB(tovrel.process()) - memoryAtHalf < 2048, "memory grew");
}

} // namespace

int main(int argc, char** argv) {
    const std::map<std::string, void (*)()> scenarios = {
        {"desk", desk}, {"drawing", drawing}, {"save", save}, {"cycles", cycles}};
    const auto scenario = argc == 2 ? scenarios.find(argv[1]) : scenarios.end();
    if (scenario == scenarios.end()) return std::puts("usage: e2e desk|drawing|save|cycles"), 2;
    ScreenRestored{}; // in case an earlier run could not
    scenario->second();
    std::printf("%s: %d failed checks\n", argv[1], failures);
    return failures ? 1 : 0;
}
