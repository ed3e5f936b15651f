// Ctrl+S: the picture straight into Pictures\Tovrel under the time's name, the overlay closed, a
// balloon saying where, and Explorer showing the file when it is clicked.
#include "driver.h"

#include <filesystem>
#include <set>

using namespace driver;

namespace {

// The names in a folder.
std::set<std::wstring> listed(const std::wstring& folder) {
    std::set<std::wstring> names;
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator(folder, none))
        names.insert(entry.path().filename().wstring());
    return names;
}

// The prefix's Pictures folder moved to a folder of the test's own, as a person moves it (a fresh
// prefix's is a link to $HOME), rid of what an earlier run saved there; moved back at the end.
// Nothing is deleted but the program's own names, and nothing recursively: a folder Wine makes for
// the user may be a link to $HOME.
struct PicturesMoved {
    const std::wstring folder = testFolder(L"pictures"), saved = folder + L"Tovrel\\";
    PicturesMoved() {
        for (const std::wstring& name : listed(saved))
            if (name.starts_with(L"Tovrel ")) DeleteFileW((saved + name).c_str());
        RemoveDirectoryW(saved.c_str()), DeleteFileW((folder + L"Tovrel").c_str()), moveTo(folder);
    }
    ~PicturesMoved() { moveTo(L"%USERPROFILE%\\Pictures"); }
    static void moveTo(const std::wstring& path) {
        RegSetKeyValueW(
            HKEY_CURRENT_USER,
            L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
            L"My Pictures", REG_EXPAND_SZ, path.c_str(), DWORD(2 * path.size() + 2));
    }
};

// Local time in whole seconds, and the name of a picture saved in one of them, as the pattern
// reads.
ULONGLONG localSecond() {
    SYSTEMTIME now;
    FILETIME at;
    GetLocalTime(&now), SystemTimeToFileTime(&now, &at);
    return (ULONGLONG(at.dwHighDateTime) << 32 | at.dwLowDateTime) / 10000000;
}
std::wstring nameAt(ULONGLONG second) {
    const ULONGLONG ticks = second * 10000000;
    const FILETIME at = {DWORD(ticks), DWORD(ticks >> 32)};
    SYSTEMTIME t;
    wchar_t name[64];
    FileTimeToSystemTime(&at, &t);
    swprintf(name, 64, L"Tovrel %04d-%02d-%02d %02d%02d%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond);
    return name;
}

} // namespace

// A drawing, a failure to save it, a text typed, the picture saved twice in the same second, and a
// part of it saved.
void quickSave() {
    PicturesMoved pictures;
    const std::wstring& saved = pictures.saved;
    // With Win+Shift+D held elsewhere, the balloon saying so shows first: a click on it does
    // nothing (seen at the end, where Explorer was asked to show one file only).
    REQUIRE(RegisterHotKey(nullptr, 1, MOD_WIN | MOD_SHIFT | MOD_NOREPEAT, 'D'));
    Program tovrel(testFolder(L"start").c_str());
    UnregisterHotKey(nullptr, 1);
    CHECK(tipShown(L"快捷键 Win+Shift+D 已被其他程序占用，请从托盘菜单开始画图。"));
    PostMessageW(tovrel.main, kTrayNotify, 0, NIN_BALLOONUSERCLICK);

    Pattern pattern;
    Picture frozen, expected;
    frozen.copyScreen(), expected.copyScreen();
    const HWND overlay = tovrel.openWith(kRectangle);
    REQUIRE(overlay);
    drag({200, 200}, {900, 500}, 6, [] { chord(VK_CONTROL, 'S'); }); // nothing mid-drag
    draw(expected, PS_SOLID, 1, 0, R2_NOT, [](HDC dc) { Rectangle(dc, 200, 200, 900, 500); });
    CHECK_SCREEN(expected, "Ctrl+S mid-drag");

    // "Tovrel" a file: the box, the overlay as it was with its history, nothing left and no
    // balloon. (A Pictures folder that is not there fails too, but Wine would make it, as a link to
    // $HOME, for a program that asked it to.)
    std::ofstream((pictures.folder + L"Tovrel").c_str()) << 'x';
    chord(VK_CONTROL, 'S');
    CHECK(failureShown(tovrel, overlay, L"保存失败"), "Tovrel a file");
    chord(VK_CONTROL, 'Z');
    CHECK_SCREEN(frozen, "the history after a failure");
    chord(VK_CONTROL, 'Y');
    CHECK_SCREEN(expected, "the picture after a failure");
    CHECK(listed(pictures.folder) == std::set<std::wstring>{L"Tovrel"} &&
              balloonText(L"已保存").empty(),
          "left behind");
    DeleteFileW((pictures.folder + L"Tovrel").c_str());

    // Ctrl+S: the one new file, named for a second from the press to its coming with one of the
    // suffixes, holding want; the overlay gone and a balloon naming the file.
    auto quickSaved = [&](std::initializer_list<const wchar_t*> suffixes, const Picture& want) {
        const std::set<std::wstring> before = listed(saved);
        const ULONGLONG pressed = localSecond();
        chord(VK_CONTROL, 'S');
        std::set<std::wstring> now;
        std::wstring made, names; // the temporary beside it goes when it comes
        waitUntil([&] {
            now = listed(saved), names.clear();
            for (const std::wstring& name : now)
                if (!before.count(name)) made = saved + name, names += name + L"|";
            return made.ends_with(L".png");
        });
        bool named = false;
        for (ULONGLONG second = pressed; second <= localSecond(); ++second)
            for (const wchar_t* suffix : suffixes)
                named = named || made == saved + nameAt(second) + suffix;
        Picture file(want.width, want.height);
        CHECK(named && now.size() == before.size() + 1, narrow(names));
        CHECK(loadPicture(file, readFile(made), true) && difference(file, want).empty() &&
                  tovrel.overlayCloses(),
              "the file, or the overlay left open");
        CHECK(waitUntil([&] { return balloonText(L"已保存") == made; }), "no balloon");
        return made;
    };
    key('S'); // without Ctrl, nothing
    REQUIRE(chooseFromOverlay(kText));
    click({300, 600}), typeText(L"Hi");
    write(expected, L"Hi", {300, 600}); // Ctrl+S finishes the text first
    quickSaved({L".png"}, expected);
    // Ended by the shell (here by a message, as Wine's taskbar sends none), it takes no click.
    PostMessageW(tovrel.main, kTrayNotify, 0, NIN_BALLOONTIMEOUT);
    PostMessageW(tovrel.main, kTrayNotify, 0, NIN_BALLOONUSERCLICK);

    CHECK(chooseFromTray(tovrel.main, kUndo) && tovrel.waitForOverlay(), "撤销 after Ctrl+S");
    CHECK_SCREEN(expected, "brought back after Ctrl+S");
    // With a part chosen with 选区, the file holds the part; the picture kept is whole.
    Picture part(300, 200);
    BitBlt(part.dc(), 0, 0, 300, 200, expected.dc(), 150, 150, SRCCOPY);
    REQUIRE(chooseFromOverlay(kPart));
    drag({150, 150}, {450, 350});
    quickSaved({L".png", L" (2).png"}, part);
    CHECK(chooseFromTray(tovrel.main, kUndo) && tovrel.waitForOverlay(), "撤销 after a part");
    CHECK_SCREEN(expected, "brought back whole");
    // The same second made certain: the plain names of the next ten seconds are taken.
    for (ULONGLONG second = localSecond(), last = second + 10; second <= last; ++second)
        if (const std::wstring name = saved + nameAt(second) + L".png"; !exists(name))
            std::ofstream(name.c_str()) << 'x';
    const std::wstring second = quickSaved({L" (2).png"}, expected);
    // A click on the balloon while it shows: Explorer on the folder, the file selected. Wine's
    // taskbar sends no click, so the test sends what Windows' would.
    PostMessageW(tovrel.main, kTrayNotify, 0, NIN_BALLOONUSERCLICK);
    std::vector<std::wstring> asked;
    CHECK(waitUntil([&] { return !(asked = endStarted(L"explorer.exe", L"/select,")).empty(); }) &&
              asked.size() == 1 && asked[0].ends_with(L"\" /select,\"" + second + L"\""),
          narrow(asked.empty() ? L"none" : asked[0]));

    CHECK(chooseFromTray(tovrel.main, kExit) && tovrel.exitCode() == 0);
}
