// Tovrel.exe driven as a person would, checked on the screen and in the files it writes.
// Usage: wintests desk|drawing|save|quick_save|units|run|monitors|part|dpi|marks
#include "driver.h"

#include <sddl.h>

#include <cmath>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <optional>

using namespace driver;

namespace {

// Win+Shift+D held by another program when Tovrel starts: it stays with that program, a balloon
// from the icon says so, the tooltip does not claim the key, and the tray still opens overlays.
void drawKeyTaken() {
    REQUIRE(RegisterHotKey(nullptr, 1, MOD_WIN | MOD_SHIFT | MOD_NOREPEAT, 'D'));
    Program tovrel;
    CHECK(tipShown(L"快捷键 Win+Shift+D 已被其他程序占用，请从托盘菜单开始画图。"), "no balloon");
    pointAtTrayIcon();
    CHECK(tipShown(L"Tovrel"), "the tooltip claims the key");
    drawKey();
    MSG hotkey;
    CHECK(waitUntil(
              [&] { return PeekMessageW(&hotkey, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE); }) &&
              !tovrel.overlay(),
          "the key went to Tovrel");
    CHECK(tovrel.openWith(kRectangle) && chooseFromTray(tovrel.main, kExit) &&
          tovrel.exitCode() == 0);
    UnregisterHotKey(nullptr, 1);
}

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The REG_SZ value "Tovrel" under the current user's Run key, "-" for none; set to "-", deleted.
std::wstring runValue() {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Tovrel", RRF_RT_REG_SZ | RRF_NOEXPAND,
                        nullptr, value, &bytes)
               ? L"-"
               : value;
}
void setRunValue(const std::wstring& value) {
    value == L"-" ? RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Tovrel")
                  : RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Tovrel", REG_SZ, value.c_str(),
                                    DWORD(2 * value.size() + 2));
}

// Writing the Run key's values denied to everyone, as a policy would, or allowed again.
void denyRunKey(bool deny) {
    HKEY run = nullptr;
    PSECURITY_DESCRIPTOR rights = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, WRITE_DAC, &run);
    ConvertStringSecurityDescriptorToSecurityDescriptorW(
        deny ? L"D:(D;;KW;;;WD)(A;;KA;;;WD)" : L"D:(A;;KA;;;WD)", 1, &rights, nullptr);
    RegSetKeySecurity(run, DACL_SECURITY_INFORMATION, rights), LocalFree(rights), RegCloseKey(run);
}

// Presses key in the open menu, then finds the highlighted item as the screen shows it, once it is
// not at wasAt: its top, and how far right of the highlight's left edge it first shows anything,
// its check mark or else its text.
std::pair<int, int> highlightedAfter(WORD pressed, int wasAt = -1) {
    key(pressed);
    RECT r = {};
    GetWindowRect(shownWindows(L"#32768")[0], &r);
    Picture shot(r.right - r.left, r.bottom - r.top);
    const COLORREF c = GetSysColor(COLOR_HIGHLIGHT);
    const std::uint32_t lit = RGB(GetBValue(c), GetGValue(c), GetRValue(c));
    int top = -1, first = 0;
    waitUntil([&] {
        shot.copyScreen(r.left, r.top), top = -1, first = shot.width;
        for (int y = 0; y < shot.height; ++y) {
            int lits = 0, left = shot.width, x = 0;
            for (; x < shot.width; ++x)
                if (shot.at(x, y) == lit) ++lits, left = std::min(left, x);
            if (lits * 2 < shot.width) continue; // not the highlight's row
            for (x = left; x < shot.width && shot.at(x, y) == lit;)
                ++x;
            top = top < 0 ? y : top, first = std::min(first, x - left);
        }
        return top >= 0 && top != wasAt;
    });
    return {top, first};
}

// 开机启动 shows and changes the value "Tovrel" of the current user's Run key, read anew at each
// opening of the menu: set by another program while Tovrel runs, naming another path or this one
// in another case. Tovrel writes exactly its own quoted path, or deletes the value; where the key
// is denied to it, a box says so, over an overlay too, and the value stays. 退出 leaves the value
// alone, and Tovrel started from it at sign-in is Tovrel as always.
void startWithWindows() {
    struct Restored {
        ~Restored() { denyRunKey(false), setRunValue(L"-"); }
    } restored;
    setRunValue(L"-");
    Program tovrel;
    auto quotedImage = [](const Program& program) {
        wchar_t image[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        QueryFullProcessImageNameW(program.process(), 0, image, &length);
        return L"\"" + std::wstring(image) + L"\"";
    };
    const std::wstring own = quotedImage(tovrel);
    std::wstring upper = own;
    std::transform(own.begin(), own.end(), upper.begin(), towupper);
    const struct {
        std::wstring before;
        bool marked, denied;
        std::wstring after;
    } rows[] = {
        {L"-", false, false, own},
        {own, true, false, L"-"},
        {L"\"C:\\Old\\Tovrel.exe\"", false, false, own},
        {upper, true, false, L"-"},
        {L"-", false, true, L"-"},
        {own, true, true, own}, // over an overlay, which owns the box
    };
    for (const auto& row : rows) {
        const std::string name = "row " + std::to_string(&row - rows);
        setRunValue(row.before), denyRunKey(row.denied);
        const HWND overlay =
            &row == std::end(rows) - 1 ? (drawKey(), tovrel.waitForOverlay()) : nullptr;
        // From the bottom: 退出, 关于作者, then 开机启动, which is chosen.
        PostMessageW(tovrel.main, kTrayNotify, 0, WM_RBUTTONDOWN);
        REQUIRE(waitUntil(menuOpen), name);
        const auto about = highlightedAfter(VK_UP, highlightedAfter(VK_UP).first);
        const auto item = highlightedAfter(VK_UP, about.first);
        // The mark comes in the room before the texts, which start at about the same place.
        CHECK((item.second * 2 < about.second) == row.marked, name);
        key(VK_RETURN);
        const HWND box = row.denied ? messageShown(tovrel.id(), L"设置失败") : nullptr;
        CHECK(!row.denied || GetWindow(box, GW_OWNER) == (overlay ? overlay : tovrel.main), name);
        if (overlay) drawKey(), CHECK(!closes(overlay, 1000), "the key acted over the box");
        if (box) CHECK(PostMessageW(box, WM_COMMAND, IDOK, 0) && closes(box), name);
        denyRunKey(false);
        CHECK(waitUntil([&] { return runValue() == row.after; }, 3000), name);
        if (overlay) CHECK(activeAgain(overlay) && (key(VK_ESCAPE), tovrel.overlayCloses()), name);
    }
    CHECK(chooseFromTray(tovrel.main, kExit) && tovrel.exitCode() == 0 && runValue() == own);
    // Wine's sign-in: wineboot starts the programs of the Run keys, as Explorer does.
    REQUIRE(startCommand(L"wineboot.exe"));
    Program started{Program::Running{}};
    CHECK(started.main && trayIcon(NIM_MODIFY, started.main) && quotedImage(started) == own,
          "not started at sign-in");
    CHECK(chooseFromTray(started.main, kExit) && started.exitCode() == 0 && runValue() == own);
}

// The tray icon and menu, Win+Shift+D, the About box without and with an overlay, and the ways
// out.
void desk() {
    drawKeyTaken();
    Program tovrel;
    const HWND main = tovrel.main;
    RECT r;
    REQUIRE(main && GetWindowRect(main, &r) && IsRectEmpty(&r) && (style(main) & WS_POPUP) &&
            (style(main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) && trayIcon(NIM_MODIFY, main));
    PostMessageW(main, kTrayNotify, 0, WM_LBUTTONDOWN);
    CHECK(!waitUntil(menuOpen, 800), "a left click opened the menu");

    pointAtTrayIcon();
    CHECK(tipShown(L"Tovrel — Win+Shift+D 画图"), "the tooltip does not name the key");

    // The icon comes back when the taskbar is made anew, as after Explorer restarts, even when
    // adding it fails at first: here an icon of that name is in the way until just after.
    CHECK(trayIcon(NIM_DELETE, main) && !trayIcon(NIM_MODIFY, main) && trayIcon(NIM_ADD, main));
    SendMessageTimeoutW(main, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, 0, 5000, nullptr);
    CHECK(trayIcon(NIM_DELETE, main) && waitUntil([&] { return trayIcon(NIM_MODIFY, main); }));
    // Once it is there, nothing tries again: removed now, it stays away.
    CHECK(trayIcon(NIM_DELETE, main) &&
          !waitUntil([&] { return trayIcon(NIM_MODIFY, main); }, 3000));

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
    REQUIRE(openAbout() && GetWindow(about, GW_OWNER) == main);
    CHECK(aboutLinkFault(about).empty(), aboutLinkFault(about));
    key(VK_RETURN);
    CHECK(closes(about), "Enter left the About box open");
    REQUIRE(openAbout());
    clickOn(GetDlgItem(about, 1001));
    CHECK(waitUntil(
        [&] { return readFile(opened) == std::string("https://tovrel.example.org/\r\n"); }));
    CHECK(!closes(about, 2000), "the link closed the box");
    PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(closes(about), "the close command left the box open");

    // Over an overlay the box comes in front, and the overlay takes no input until it closes;
    // then Esc reaches the overlay again. The overlay comes from Win+Shift+D, at once, with no
    // wait for a menu to go; over the box the key does nothing.
    const ULONGLONG pressed = GetTickCount64();
    drawKey();
    const HWND overlay = tovrel.waitForOverlay();
    REQUIRE(overlay && GetTickCount64() - pressed < 500, "the key was slow");
    REQUIRE(openAbout() && !IsWindowEnabled(overlay));
    drawKey();
    CHECK(!closes(overlay, 1000), "the key acted over the About box");
    key(VK_RETURN);
    CHECK(closes(about) && activeAgain(overlay));
    CHECK(!(style(main, GWL_EXSTYLE) & WS_EX_TOPMOST), "the main window became topmost");
    key(VK_ESCAPE);
    CHECK(closes(overlay), "Esc after the About box");
    // Closed with nothing drawn, it keeps nothing for the tray's undo to open.
    const DWORD nothingKept = usage(tovrel.process()).first;
    CHECK(chooseFromTray(main, kUndo) && !waitUntil([&] { return tovrel.overlay(); }, 1500),
          "the tray's undo opened an overlay with nothing kept");
    // With no tool chosen, the key chose the pen. Pressed again it closes the overlay as Esc does:
    // a picture with a stroke is kept, compressed, without a GDI object. Over a menu it does
    // nothing.
    Picture expected;
    expected.copyScreen();
    drawKey();
    REQUIRE(tovrel.waitForOverlay());
    drag({300, 200}, {300, 400});
    draw(expected, PS_SOLID, 3, 0, R2_COPYPEN,
         [](HDC dc) { MoveToEx(dc, 300, 200, nullptr), LineTo(dc, 300, 402); });
    CHECK_SCREEN(expected, "the pen, with no tool chosen");
    drawKey();
    CHECK(tovrel.overlayCloses() && usage(tovrel.process()).first == nothingKept,
          "the picture kept holds GDI objects");
    PostMessageW(main, kTrayNotify, 0, WM_RBUTTONDOWN);
    REQUIRE(waitUntil(menuOpen));
    drawKey();
    CHECK(!waitUntil([&] { return tovrel.overlay(); }, 1000), "the key acted over a menu");
    CHECK(chooseMenuItem(kUndo) && tovrel.waitForOverlay(), "the key's close kept nothing");
    CHECK_SCREEN(expected, "brought back after the key");
    PostMessageW(main, WM_CLOSE, 0, 0);
    CHECK(tovrel.exitCode() == 0, "after WM_CLOSE");
    startWithWindows();
}

enum Shape { kNothing, kBox, kOval, kStraight, kArrowed, kStroke };
enum { kKept, kTray, kMenu }; // where a row's setting or tool is chosen

struct Row {
    int via, item, sub;
    Shape shape = kNothing;
    POINT from{}, to{};
    int style = PS_SOLID, width = 1;
    POINT foot{}, a{}, b{}; // an arrow's head, from the worked cases
};

// What a row's drag leaves, as GDI draws it: outlines inverted, the pen's strokes red.
void drawAsExpected(Picture& p, const Row& r) {
    const auto [x0, y0] = r.from;
    const auto [x1, y1] = r.to;
    draw(p, r.style, r.width, 0, R2_NOT, [&](HDC dc) {
        if (r.shape == kBox) Rectangle(dc, x0, y0, x1, y1);
        if (r.shape == kOval) Ellipse(dc, x0, y0, x1, y1);
        if (r.shape == kStraight) MoveToEx(dc, x0, y0, nullptr), LineTo(dc, x1, y1);
        if (r.shape == kArrowed)
            for (auto [a, b] : {std::pair{r.from, r.foot}, {r.a, r.b}, {r.b, r.to}, {r.to, r.a}})
                MoveToEx(dc, a.x, a.y, nullptr), LineTo(dc, b.x, b.y);
    });
    if (r.shape == kStroke)
        draw(p, PS_SOLID, 3, RGB(255, 0, 0), R2_COPYPEN,
             [&](HDC dc) { MoveToEx(dc, x0, y0, nullptr), LineTo(dc, x1, y1 + 2); });
}

// The frozen screen, every tool's drawing with every setting, repainting, and how an overlay
// closes. On a 1280x800 screen: white on the left half, dark on the right.
void drawing() {
    constexpr int S = PS_SOLID, D = PS_DASH;
    // clang-format off
    const Row rows[] = {
        {kKept, 0, -1, kBox, {400, 350}, {150, 120}}, // dragged up and left
        {kTray, kEllipse, -1, kOval, {100, 450}, {400, 650}},
        {kTray, kArrow, -1, kArrowed, {100, 100}, {200, 100}, S, 1, {190, 100}, {190, 110}, {190, 90}},
        {kKept, 0, -1, kArrowed, {700, 100}, {703, 107}, S, 1, {699, 97}, {689, 101}, {709, 93}},
        {kTray, kLine, -1, kStraight, {420, 40}, {620, 90}},
        {kMenu, kDashed, kWidthMenu},
        {kMenu, kRectangle, -1, kBox, {800, 200}, {1100, 450}, D},
        {kMenu, kArrow, -1, kArrowed, {660, 480}, {760, 480}, D, 1, {750, 480}, {750, 490}, {750, 470}},
        {kMenu, kRed, kColourMenu},
        {kMenu, kPen, -1, kStroke, {560, 150}, {560, 400}}, // dashed asked, solid drawn
        {kTray, kLine, -1, kStraight, {470, 600}, {620, 640}, S, 3}, // with the pen's pen now
        {kMenu, kThick, kWidthMenu},
        {kMenu, kRectangle, -1, kBox, {1000, 50}, {1200, 150}, S, 2}, // thick is never dashed
        {kTray, kThin, kWidthMenu}, // solid again, and still thick
        {kMenu, kEllipse, -1, kOval, {1120, 480}, {1260, 780}, S, 2},
        {kMenu, kArrow, -1, kArrowed, {1150, 250}, {1153, 257}, S, 2, {1149, 247}, {1139, 251}, {1159, 243}},
        {kKept, 0, -1, kArrowed, {100, 760}, {177, 760}, S, 2, {168, 760}, {168, 769}, {168, 751}}, // k * 77 < 10
        {kKept, 0, -1, kArrowed, {900, 650}, {901, 651}, S, 2, {891, 641}, {881, 651}, {901, 631}}, // 10 / trunc(1.41)
        {kKept, 0, -1, kArrowed, {1000, 300}, {994, 294}, S, 2, {1001, 301}, {1008, 294}, {994, 308}}, // -7.5 -> -7
    };
    // clang-format on
    Pattern pattern;
    Picture expected, desktop;
    expected.copyScreen(), desktop.copyScreen();
    Program tovrel;
    REQUIRE(chooseFromTray(tovrel.main, kRectangle));
    const ULONGLONG menuClosed = GetTickCount64();
    // What the screen shows half a second after the menu has closed freezes: a square shown now.
    const HWND late = showRect({900, 500, 1100, 700}, SS_WHITERECT);
    BitBlt(expected.dc(), 900, 500, 200, 200, expected.dc(), 100, 500, SRCCOPY);
    const HWND overlay = tovrel.waitForOverlay();
    const ULONGLONG shownAfter = GetTickCount64() - menuClosed;
    DestroyWindow(late);
    RECT r;
    REQUIRE(overlay && GetWindowRect(overlay, &r) && r.left == 0 && r.top == 0 &&
            r.right == expected.width && r.bottom == expected.height &&
            !(style(overlay) & (WS_CAPTION | WS_THICKFRAME)));
    CHECK(shownAfter >= 400 && shownAfter < 3000, std::to_string(shownAfter) + " ms");
    CHECK_SCREEN(expected, "frozen");
    for (const Row& row : rows) {
        const std::string name = "row " + std::to_string(&row - rows);
        POINT at;
        HWND menu = row.via == kMenu ? openOverlayMenu() : nullptr; // left edge at the cursor
        if (row.via == kMenu)
            CHECK(menu && GetCursorPos(&at) && GetWindowRect(menu, &r) &&
                      std::abs(r.left - at.x) <= 2 && std::abs(r.top - at.y) <= 2 &&
                      chooseMenuItem(row.item, row.sub),
                  name);
        if (row.via == kTray) CHECK(chooseFromTray(tovrel.main, row.item, row.sub), name);
        if (row.shape == kNothing) continue;
        drag(row.from, row.to);
        drawAsExpected(expected, row);
        CHECK_SCREEN(expected, name);
    }
    CHECK(tovrel.overlay() == overlay && shownWindows(L"#32770", tovrel.id()).size() == 1,
          "a tool from the tray did not keep the one overlay");

    // Neither Alt+F4 nor a close request closes it; it repaints from the Canvas.
    keyEvent(VK_MENU, 0), key(VK_F4), keyEvent(VK_MENU, KEYEVENTF_KEYUP);
    PostMessageW(overlay, WM_CLOSE, 0, 0);
    RedrawWindow(overlay, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    CHECK_SCREEN(expected, "repainted");
    CHECK(tovrel.overlay() == overlay, "Alt+F4 or WM_CLOSE closed it");
    CHECK(chooseFromOverlay(kUndo) && tovrel.overlayCloses(), "overlay menu undo");

    // What the overlay menu's undo threw away comes back from the tray's undo, at once and as it
    // was; so does what the tray's undo and Esc throw away, even with nothing drawn on it since.
    // Strokes drawn on it are taken back alone.
    auto broughtBack = [&](const Picture& picture, const char* how) {
        const bool chosen = chooseFromTray(tovrel.main, kUndo);
        const ULONGLONG asked = GetTickCount64();
        return CHECK(chosen && tovrel.waitForOverlay() && GetTickCount64() - asked < 400, how) &&
               CHECK_SCREEN(picture, how);
    };
    broughtBack(expected, "after the overlay menu's undo");
    drag({600, 300}, {700, 360});
    chord(VK_CONTROL, 'Z'), chord(VK_CONTROL, 'Z');
    CHECK_SCREEN(expected, "a stroke on it taken back");
    CHECK(chooseFromTray(tovrel.main, kUndo) && tovrel.overlayCloses());
    broughtBack(expected, "after the tray's undo");
    key(VK_ESCAPE);
    CHECK(tovrel.overlayCloses());
    broughtBack(expected, "after Esc");
    key(VK_ESCAPE);
    CHECK(tovrel.overlayCloses());

    // Overlay after overlay with every tool, closed by Esc (at once) and by the tray's undo: GDI
    // objects and memory stay flat. TOVREL_SOAK_CYCLES makes this the soak, with long drags.
    const char* soak = std::getenv("TOVREL_SOAK_CYCLES");
    const int cycles = soak ? std::atoi(soak) : 9; // each drawing tool once
    std::pair<DWORD, long> atHalf, now;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const std::string at = "cycle " + std::to_string(cycle);
        REQUIRE(tovrel.openWith(kRectangle + cycle % 9), at);
        drag({100 + cycle * 37 % 500, 100 + cycle * 53 % 300}, {700, 600}, soak ? 100 : 8);
        chord(VK_CONTROL, 'Z');
        CHECK_SCREEN(desktop, at); // taken back before the overlay closes, so nothing is kept
        const ULONGLONG pressed = GetTickCount64();
        cycle % 2 ? key(VK_ESCAPE) : void(chooseFromTray(tovrel.main, kUndo));
        REQUIRE(tovrel.overlayCloses(), at);
        CHECK(cycle % 2 == 0 || GetTickCount64() - pressed < 400, "Esc was slow");
        if (cycle == cycles / 2) atHalf = usage(tovrel.process());
        if (cycle % 20 == 0 || cycle == cycles)
            now = usage(tovrel.process()),
            std::printf("%s: %lu GDI objects, %ld KiB\n", at.c_str(), now.first, now.second);
    }
    CHECK(now.first <= atHalf.first,
          std::to_string(atHalf.first) + " GDI objects half way, " + std::to_string(now.first));
    CHECK(now.second - atHalf.second < 2048,
          std::to_string(atHalf.second) + " KiB half way, " + std::to_string(now.second));
    // Overlays closed with nothing left on them kept nothing; one closed with a stroke replaces
    // the picture kept.
    broughtBack(expected, "after overlays closed with nothing drawn");
    key(VK_ESCAPE);
    const Row stroke = {kKept, 0, -1, kBox, {100, 100}, {300, 200}, PS_SOLID, 2};
    drawAsExpected(desktop, stroke);
    REQUIRE(tovrel.overlayCloses() && tovrel.openWith(kRectangle));
    drag(stroke.from, stroke.to);
    key(VK_ESCAPE);
    CHECK(tovrel.overlayCloses());
    broughtBack(desktop, "after a fresh overlay closed with a stroke");
    CHECK(chooseFromTray(tovrel.main, kExit) && tovrel.exitCode() == 0,
          "Exit with an overlay open");
}

// Saving and copying what the overlay holds, as the screen grows and shrinks: undo and redo, the
// file and the clipboard against the drawing, a cancel, files and the clipboard held elsewhere
// throughout or for a moment, and the dialogs in front, owned by the overlay.
void save() {
    ScreenRestored restored;
    REQUIRE(setScreen(1024, 768));
    // In an empty folder: there the save dialog would make the folder it saves to the current one.
    Program tovrel(testFolder(L"start").c_str()); // on the smaller screen
    REQUIRE(tovrel.main && setScreen(1280, 800));
    Pattern pattern;
    Picture frozen, expected;
    frozen.copyScreen(), expected.copyScreen();
    RECT r;
    const HWND overlay = tovrel.openWith(kRectangle);
    REQUIRE(overlay && GetWindowRect(overlay, &r) && r.right == 1280 && r.bottom == 800);
    drag({200, 200}, {1200, 780}); // across both halves, and beyond 1024x768
    draw(expected, PS_SOLID, 1, 0, R2_NOT, [](HDC dc) { Rectangle(dc, 200, 200, 1200, 780); });
    CHECK_SCREEN(expected);

    const std::wstring folder = testFolder(L"saved"), path = folder + L"picture.bmp";
    for (const wchar_t* name : {L"picture.bmp", L"shot.png", L"NAME.PNG"})
        DeleteFileW((folder + name).c_str());
    auto saved = [&](const std::wstring& name = L"picture.bmp", bool png = false) {
        Picture file(expected.width, expected.height);
        return waitUntil([&] {
                   return loadPicture(file, readFile(folder + name), png) &&
                          difference(file, expected).empty();
               }) &&
               activeAgain(overlay);
    };

    // A cancel says nothing. Meanwhile the overlay takes no input and stays behind the dialog.
    HWND dialog = tovrel.openSaveDialog();
    REQUIRE(dialog && inFront(dialog) && !IsWindowEnabled(overlay));
    drawKey();
    CHECK(!closes(overlay, 1000), "the key acted over the save dialog");
    key(VK_ESCAPE);
    CHECK(closes(dialog) && !failureShown(tovrel, overlay, L"保存失败", 1500) &&
          activeAgain(overlay));
    CHECK(!(style(tovrel.main, GWL_EXSTYLE) & WS_EX_TOPMOST), "the main window became topmost");

    // With "*.*" chosen a bare name gets the default extension, bmp.
    REQUIRE(dialog = tovrel.openSaveDialog());
    clickOn(GetDlgItem(dialog, kFileTypes)), key(VK_DOWN), key(VK_RETURN);
    nameFile(dialog, folder + L"picture"), key(VK_RETURN);
    CHECK(saved() && !exists(folder + L"picture"));
    CHECK(currentFolder(tovrel.process()) == testFolder(L"start"), "the save changed folder");

    // Held open elsewhere throughout: the message, and the old file as it was. The dialog
    // proposes the last name (taken by Enter) and filter.
    const std::string old = readFile(path);
    auto hold = [](const std::wstring& file) { // as a reader that lets nobody write or move it
        return CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    };
    HANDLE held = hold(path);
    REQUIRE(dialog = tovrel.openSaveDialog());
    CHECK(SendMessageW(GetDlgItem(dialog, kFileTypes), CB_GETCURSEL, 0, 0) == 1,
          "the filter is kept");
    CHECK(replaceFile(tovrel.id(), dialog) && failureShown(tovrel, overlay, L"保存失败"),
          "no failure message for a held file");
    CloseHandle(held);
    CHECK(readFile(path) == old && !exists(path + L".tmp*"));

    // The clipboard held elsewhere throughout: the message, and the clipboard as it was.
    REQUIRE(OpenClipboard(nullptr) && EmptyClipboard());
    chord(VK_CONTROL, 'C');
    CHECK(failureShown(tovrel, overlay, L"复制失败"), "no failure message for a held clipboard");
    CHECK(CloseClipboard() && !IsClipboardFormatAvailable(CF_DIB));
    key('C'); // without Ctrl: nothing, as Y and Z below; the steps that follow show it

    // Ctrl+Z does nothing while a stroke is drawn; then both strokes go back, and come back.
    auto second = [](HDC dc) { Rectangle(dc, 300, 300, 500, 400); };
    drag({300, 300}, {500, 400}, 6, [] { chord(VK_CONTROL, 'Z'); });
    draw(expected, PS_SOLID, 1, 0, R2_NOT, second);
    CHECK_SCREEN(expected, "Ctrl+Z while drawing");
    CHECK(!IsClipboardFormatAvailable(CF_DIB), "C without Ctrl copied");
    chord(VK_CONTROL, 'Z'), chord(VK_CONTROL, 'Z');
    CHECK_SCREEN(frozen, "two strokes undone");
    key('Y'), chord(VK_CONTROL, 'Y');
    draw(expected, PS_SOLID, 1, 0, R2_NOT, second); // inverted twice: gone
    CHECK_SCREEN(expected, "Ctrl+Y");
    keyEvent(VK_SHIFT, 0), chord(VK_CONTROL, 'Z'), keyEvent(VK_SHIFT, KEYEVENTF_KEYUP);
    draw(expected, PS_SOLID, 1, 0, R2_NOT, second);
    CHECK_SCREEN(expected, "Ctrl+Shift+Z");
    key('Z'); // the next save shows both strokes

    // 马赛克 across the border of the white and the dark half, neither of which shows through.
    // Ctrl+Z gives the pixels back and Ctrl+Y the same mosaic; the saves and the copy hold it.
    const RECT masked = {571, 403, 741, 510}; // 14 blocks and 2 columns across, 8 and 11 rows down
    Picture unmasked(expected.width, expected.height);
    unmasked.copy(expected);
    REQUIRE(chooseFromOverlay(kMosaic));
    drag({masked.left, masked.top}, {masked.right, masked.bottom});
    std::string fault;
    auto masks = [&] {
        return (fault = mosaicFault(expected.copyScreen(), unmasked, masked)).empty();
    };
    CHECK(waitUntil(masks, 3000), fault);
    chord(VK_CONTROL, 'Z');
    CHECK_SCREEN(unmasked, "the mosaic taken back");
    chord(VK_CONTROL, 'Y');
    CHECK_SCREEN(expected, "the mosaic put back");

    // 文字: a click starts a text with the caret there; Latin and Chinese letters, Z among them,
    // a line break, Backspace across it, a surrogate pair. Esc finishes the text, the overlay
    // stays; Ctrl+Z takes it back and Ctrl+Y puts it back. A second click starts another text,
    // which Ctrl+C finishes and copies without the caret; one with no character leaves no step.
    Picture untyped(expected.width, expected.height);
    untyped.copy(expected);
    const DWORD thread = GetWindowThreadProcessId(overlay, nullptr);
    auto caretAt = [&](POINT at) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        return waitUntil([&] {
            return GetGUIThreadInfo(thread, &info) &&
                   info.hwndCaret == (at.x ? overlay : nullptr) &&
                   (!at.x || (info.rcCaret.left == at.x && info.rcCaret.top == at.y));
        });
    };
    REQUIRE(chooseFromOverlay(kText));
    click({100, 560});
    CHECK(caretAt({100, 560}), "no caret at the click");
    typeText(L"Hi 你好"), key('Z'), key(VK_RETURN), typeText(L"xy"), key(VK_BACK, 3);
    typeText(L"!"), key(VK_RETURN), typeText(L"2\U0001F600");
    const RECT line = write(untyped, L"2\U0001F600", {100, 560}, true);
    CHECK(caretAt({line.right, line.bottom}), "the caret not at the end of the second line");
    key(VK_ESCAPE);
    CHECK(caretAt({}) && tovrel.overlay() == overlay, "Esc left the caret or closed the overlay");
    write(expected, L"Hi 你好z!\r\n2\U0001F600", {100, 560});
    CHECK_SCREEN(expected, "the text");
    chord(VK_CONTROL, 'Z');
    CHECK_SCREEN(untyped, "the text taken back");
    chord(VK_CONTROL, 'Y');
    CHECK_SCREEN(expected, "the text put back");
    untyped.copy(expected);
    click({100, 680}), typeText(L"二");
    write(expected, L"二", {100, 680});
    chord(VK_CONTROL, 'C');
    Picture clip(expected.width, expected.height);
    CHECK(waitUntil([&] { return loadBmp(clip, clipboardDib(), true); }) &&
              difference(clip, expected).empty() && caretAt({}),
          "the copy of a text being typed");
    click({400, 690}), key(VK_ESCAPE), chord(VK_CONTROL, 'Z');
    CHECK_SCREEN(untyped, "an empty text left a step");
    chord(VK_CONTROL, 'Y');

    // Held for a moment only, and longer than the new picture: saved, and replaced wholly.
    std::ofstream(path.c_str(), std::ios::app) << std::string(4096, 'x');
    held = hold(path);
    REQUIRE((dialog = tovrel.openSaveDialog()) && replaceFile(tovrel.id(), dialog));
    waitUntil([&] { return exists(path + L".tmp*"); }, 3000); // written, and waiting for the file
    Sleep(200);
    CloseHandle(held);
    CHECK(saved(), "a file held for 200 ms");

    // A PNG, the third type, for a bare name with that type chosen, and for a name typed as .PNG
    // whatever the type; into a held file it fails as a BMP does.
    REQUIRE(dialog = tovrel.openSaveDialog());
    std::wstring types;
    const HWND typeList = GetDlgItem(dialog, kFileTypes);
    for (int i = 0; i < SendMessageW(typeList, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t type[64] = {};
        SendMessageW(typeList, CB_GETLBTEXT, i, LPARAM(type));
        types += type + std::wstring(L"|");
    }
    CHECK(types == L"图片文件是：(*.bmp)|所有文件格式：(*.*)|PNG 图片：(*.png)|", narrow(types));
    clickOn(typeList), key(VK_DOWN), key(VK_RETURN); // from *.* to PNG
    nameFile(dialog, folder + L"shot"), key(VK_RETURN);
    CHECK(saved(L"shot.png", true) && !exists(folder + L"shot"), "a bare name as a PNG");
    // The saves from here on must not keep a picture's memory (the imaging component is in now).
    const long beforeSaves = usage(tovrel.process()).second;
    REQUIRE(dialog = tovrel.openSaveDialog());
    clickOn(GetDlgItem(dialog, kFileTypes)), key(VK_UP, 2), key(VK_RETURN);
    nameFile(dialog, folder + L"NAME.PNG"), key(VK_RETURN);
    CHECK(saved(L"NAME.PNG", true), "a name typed as .PNG with the BMP type");
    const std::wstring png = folder + L"NAME.PNG";
    std::ofstream(png.c_str(), std::ios::app) << 'x'; // not what the save would write
    const std::string oldPng = readFile(png);
    held = hold(png);
    REQUIRE(dialog = tovrel.openSaveDialog());
    CHECK(replaceFile(tovrel.id(), dialog) && failureShown(tovrel, overlay, L"保存失败"),
          "a held PNG");
    CloseHandle(held);
    CHECK(readFile(png) == oldPng && !exists(png + L".tmp*"));

    // The screen shrinks under the open overlay: it keeps its picture and size, and so does the
    // file; the next overlay fits the smaller screen. Esc still reaches the overlay.
    DeleteFileW(png.c_str());
    REQUIRE(setScreen(1024, 768) && (dialog = tovrel.openSaveDialog()));
    key(VK_RETURN);
    CHECK(saved(L"NAME.PNG", true), "saved after the screen shrank");
    const long afterSaves = usage(tovrel.process()).second; // a picture: 3 MiB
    CHECK(afterSaves < beforeSaves + 4096, "memory grew from " + std::to_string(beforeSaves) +
                                               " KiB to " + std::to_string(afterSaves));
    // A copy waits while the clipboard is held for a moment, and outlives the overlay.
    REQUIRE(OpenClipboard(nullptr));
    chord(VK_CONTROL, 'C');
    Sleep(200);
    CloseClipboard();
    key(VK_ESCAPE);
    CHECK(tovrel.overlayCloses());
    Picture copied(expected.width, expected.height);
    CHECK(waitUntil([&] { return loadBmp(copied, clipboardDib(), true); }) &&
              difference(copied, expected).empty(),
          "the copy");
    CHECK(tovrel.openWith(kRectangle) && GetWindowRect(tovrel.overlay(), &r) && r.right == 1024 &&
          r.bottom == 768);
}

// Two monitors side by side, as `with-wine --monitors` gives them: the primary, and a smaller one
// right of it with a white square on it. A tool from the tray freezes the primary, wherever the
// cursor is; Win+Shift+D the monitor under the cursor, its overlay covering just that monitor with
// its picture. On the second, a rectangle lands under the cursor, the save and the copy are that
// monitor's picture at its size, and Esc and then the tray's 撤销 bring the picture back there,
// where a part chosen is copied.
void monitors() {
    const RECT primary = {0, 0, 1280, 800}, second = {1280, 0, 2304, 768};
    const POINT there = {1280, 0};
    REQUIRE(GetSystemMetrics(SM_CMONITORS) == 2);
    HWND square = showRect({1400, 100, 1800, 500}, SS_WHITERECT);
    Picture expected(1024, 768), first(1280, 800);
    REQUIRE(waitUntil([&] { return expected.copyScreen(1280, 0).at(300, 300) == 0xFFFFFF; }));
    Program tovrel(testFolder(L"monitors").c_str());
    auto covers = [&](RECT monitor) {
        RECT r = {};
        const HWND overlay = tovrel.waitForOverlay();
        return overlay && GetWindowRect(overlay, &r) && EqualRect(&r, &monitor);
    };
    settleMouseAt({1800, 600});
    CHECK(chooseFromTray(tovrel.main, kRectangle) && covers(primary), "the tray's overlay");
    key(VK_ESCAPE);
    REQUIRE(tovrel.overlayCloses());

    drawKey();
    CHECK(covers(second), "the key's overlay on the second monitor");
    CHECK_SCREEN_AT(expected, there, "frozen");
    drag({1350, 300}, {1650, 650}); // across the square's edge
    draw(expected, PS_SOLID, 1, 0, R2_NOT, [](HDC dc) { Rectangle(dc, 70, 300, 370, 650); });
    CHECK_SCREEN_AT(expected, there, "a rectangle on the second monitor");
    const std::wstring file = testFolder(L"monitors") + L"second.bmp";
    DeleteFileW(file.c_str());
    HWND dialog = tovrel.openSaveDialog();
    REQUIRE(dialog);
    nameFile(dialog, file), key(VK_RETURN);
    Picture saved(1024, 768), copied(1024, 768);
    CHECK(waitUntil([&] { return loadBmp(saved, readFile(file)); }) &&
              difference(saved, expected).empty(),
          "the file");
    REQUIRE(activeAgain(tovrel.overlay()));
    chord(VK_CONTROL, 'C');
    CHECK(waitUntil([&] { return loadBmp(copied, clipboardDib(), true); }) &&
              difference(copied, expected).empty(),
          "the copy");
    key(VK_ESCAPE);
    REQUIRE(tovrel.overlayCloses());
    DestroyWindow(square); // what comes back is the picture kept, not the screen
    CHECK(chooseFromTray(tovrel.main, kUndo) && covers(second), "brought back elsewhere");
    CHECK_SCREEN_AT(expected, there, "brought back");
    // A part chosen there is where the drag was, in that monitor's pixels.
    Picture part(300, 200);
    BitBlt(part.dc(), 0, 0, 300, 200, expected.dc(), 100, 250, SRCCOPY);
    CHECK(chooseFromOverlay(kPart, -1, there));
    drag({1380, 250}, {1680, 450});
    CHECK(copyShows(part), "the part on the second monitor");
    key(VK_ESCAPE);
    REQUIRE(tovrel.overlayCloses());

    settleMouseAt({600, 400});
    first.copyScreen(); // with the tray icon's window at the top left
    drawKey();
    CHECK(covers(primary), "the key's overlay on the primary");
    CHECK_SCREEN(first, "frozen on the primary");
    CHECK(chooseFromTray(tovrel.main, kExit) && tovrel.exitCode() == 0);
}

// `make run`'s Tovrel, found running on Wine's desktop, whose taskbar (with the tray icon) must
// lie along the bottom of the 1152x720 X screen that the run test gives it. Win+Shift+D pressed
// at the X display, once a click has given Wine's desktop window the focus, opens an overlay and
// closes it. Then an overlay from the tray, Esc, and 退出.
void run() {
    Program tovrel{Program::Running{}};
    RECT bar = {};
    CHECK(GetWindowRect(FindWindowW(L"Shell_TrayWnd", nullptr), &bar) && bar.left == 0 &&
              bar.right == 1152 && bar.bottom == 720,
          "no taskbar along the bottom of a desktop as large as the X screen");
    auto atTheDisplay = [](const wchar_t* keys) {
        return startCommand(L"start.exe /unix /usr/bin/xdotool mousemove 600 300 click 1 " +
                            std::wstring(L"sleep 0.3 key ") + keys);
    };
    REQUIRE(tovrel.main && atTheDisplay(L"super+shift+d") && tovrel.waitForOverlay(),
            "the key at the X display");
    CHECK(atTheDisplay(L"super+shift+d") && tovrel.overlayCloses(), "the key again");
    REQUIRE(tovrel.openWith(kRectangle));
    key(VK_ESCAPE);
    CHECK(tovrel.overlayCloses() && chooseFromTray(tovrel.main, kExit) && tovrel.exitCode() == 0);
}

} // namespace

void units();     // units.cpp
void quickSave(); // quick_save.cpp
void part();      // part.cpp
void dpi();       // dpi.cpp
void marks();     // marks.cpp

int main(int argc, char** argv) {
    const std::map<std::string, void (*)()> scenarios = {
        {"desk", desk},   {"drawing", drawing}, {"save", save},         {"quick_save", quickSave},
        {"units", units}, {"run", run},         {"monitors", monitors}, {"part", part},
        {"dpi", dpi},     {"marks", marks}};
    const auto scenario = argc == 2 ? scenarios.find(argv[1]) : scenarios.end();
    if (scenario == scenarios.end())
        return std::puts("usage: wintests "
                         "desk|drawing|save|quick_save|units|run|monitors|part|dpi|marks"),
               2;
    ScreenRestored{}; // in case an earlier run could not
    // PNG files are read, and written, through COM, as the program does.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    scenario->second();
    std::printf("%s: %d failed checks\n", argv[1], failures);
    return failures ? 1 : 0;
}
