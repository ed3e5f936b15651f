// The About box, seen from outside: its controls, the keys that close it or do not, and the
// link, which must ask the shell to open the author's page.
#include "driver.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <tlhelp32.h>

using namespace driver;

namespace {

constexpr int kLinkId = 1001;
constexpr wchar_t kTitle[] = L"关于 Tovrel";
constexpr wchar_t kAuthorPage[] = L"https://tovrel.example.org/";
constexpr wchar_t kHttpsCommandKey[] = L"https\\shell\\open\\command";
constexpr wchar_t kRecordSwitch[] = L"--record-url";

std::wstring recordPath() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"tovrel_about_opened.txt";
}

// This program doubles as the stand-in browser: started with the switch, it notes the
// address it was asked to open and ends before any test runs.
const bool g_recordedUrl = [] {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    const bool asked = args && count == 3 && std::wstring(args[1]) == kRecordSwitch;
    if (asked) {
        const std::wstring line = std::wstring(args[2]) + L"\n";
        HANDLE file = CreateFileW(recordPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
                  nullptr);
        CloseHandle(file);
    }
    LocalFree(args);
    if (asked) ExitProcess(0);
    return asked;
}();

// Makes this program the handler of https, and puts the old one back. Through the merged
// classes root: Wine 8 does not read the current user's own classes.
class StandInBrowser {
  public:
    StandInBrowser() {
        wchar_t old[1024] = {};
        DWORD size = sizeof(old);
        hadCommand_ = RegGetValueW(HKEY_CLASSES_ROOT, kHttpsCommandKey, nullptr, RRF_RT_REG_SZ,
                                   nullptr, old, &size) == ERROR_SUCCESS;
        oldCommand_ = old;
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        setCommand(L"\"" + std::wstring(self) + L"\" " + kRecordSwitch + L" \"%1\"");
        DeleteFileW(recordPath().c_str());
    }
    ~StandInBrowser() {
        if (hadCommand_)
            setCommand(oldCommand_);
        else
            RegDeleteKeyValueW(HKEY_CLASSES_ROOT, kHttpsCommandKey, nullptr);
        DeleteFileW(recordPath().c_str());
    }
    StandInBrowser(const StandInBrowser&) = delete;
    StandInBrowser& operator=(const StandInBrowser&) = delete;

    // Every address opened so far, one a line.
    std::wstring opened() const {
        const std::vector<std::uint8_t> bytes = readFile(recordPath());
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                            bytes.size() / sizeof(wchar_t));
    }

  private:
    static void setCommand(const std::wstring& command) {
        RegSetKeyValueW(HKEY_CLASSES_ROOT, kHttpsCommandKey, nullptr, REG_SZ, command.c_str(),
                        static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    bool hadCommand_ = false;
    std::wstring oldCommand_;
};

// Where the process loaded comctl32.dll from, in lower case; empty if it has not.
std::wstring commonControlsPath(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return {};
    UniqueHandle owner(snapshot);
    MODULEENTRY32W module = {};
    module.dwSize = sizeof(module);
    for (BOOL more = Module32FirstW(snapshot, &module); more;
         more = Module32NextW(snapshot, &module))
        if (lstrcmpiW(module.szModule, L"comctl32.dll") == 0) return CharLowerW(module.szExePath);
    return {};
}

class About : public ::testing::Test {
  protected:
    void SetUp() override {
        main_ = tovrel_.mainWindow();
        ASSERT_NE(main_, nullptr);
    }

    HWND openAbout() {
        if (!chooseFromTray(main_, kAboutItem)) return nullptr;
        HWND box = nullptr;
        waitUntil([&] {
            box = captionedDialog(tovrel_.id(), kTitle);
            return box && GetForegroundWindow() == box;
        });
        return box;
    }

    bool closes(HWND box) {
        return waitUntil([&] { return !IsWindow(box); }, 3000);
    }

    Program tovrel_;
    HWND main_ = nullptr;
};

TEST_F(About, ShowsItsControlsWithCommonControlsSix) {
    HWND box = openAbout();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main_);

    struct Expected {
        const wchar_t* className;
        int id;
        const wchar_t* text; // null: not known here
    };
    const Expected expected[] = {
        {L"Static", -1, nullptr},       {L"Static", -1, L"Tovrel，1.0 版"},
        {L"Static", -1, L"作者链接："}, {L"Button", IDOK, L"确定"},
        {L"Static", -1, nullptr},       {L"SysLink", kLinkId, nullptr},
    };
    const std::vector<HWND> controls = childWindows(box);
    ASSERT_EQ(controls.size(), std::size(expected));
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(className(controls[i]), expected[i].className) << "control " << i;
        EXPECT_EQ(static_cast<int>(static_cast<short>(GetDlgCtrlID(controls[i]))), expected[i].id)
            << "control " << i;
        if (expected[i].text) {
            EXPECT_EQ(windowText(controls[i]), expected[i].text) << "control " << i;
        }
    }
    EXPECT_EQ(GetWindowLongW(controls[0], GWL_STYLE) & SS_TYPEMASK, SS_ICON);
    EXPECT_FALSE(windowText(controls[4]).empty()) << "no legal notice";
    EXPECT_NE(windowText(controls[5]).find(kAuthorPage), std::wstring::npos);

    // The manifest's Common Controls 6, which Wine keeps apart from the system32 copy.
    const std::wstring comctl32 = commonControlsPath(tovrel_.id());
    EXPECT_NE(comctl32.find(L"\\winsxs\\"), std::wstring::npos) << comctl32.c_str();
    EXPECT_NE(comctl32.find(L"common-controls_6595b64144ccf1df_6.0."), std::wstring::npos)
        << comctl32.c_str();
}

TEST_F(About, EscapeKeepsItOpenWhileEnterAndSystemCloseEndIt) {
    HWND box = openAbout();
    ASSERT_NE(box, nullptr);
    pressKey(VK_ESCAPE);
    EXPECT_FALSE(closes(box)) << "Esc closed the box";
    pressKey(VK_RETURN);
    EXPECT_TRUE(closes(box)) << "Enter left the box open";

    box = openAbout();
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(closes(box)) << "SC_CLOSE left the box open";
    EXPECT_FALSE(tovrel_.waitForExit(300).has_value());
}

TEST_F(About, LinkClickAsksTheShellToOpenTheAuthorsPage) {
    StandInBrowser browser;
    HWND box = openAbout();
    ASSERT_NE(box, nullptr);
    HWND link = GetDlgItem(box, kLinkId);
    ASSERT_NE(link, nullptr);
    click(link);
    EXPECT_TRUE(waitUntil([&] { return !browser.opened().empty(); }))
        << "nothing was asked to open";
    EXPECT_EQ(browser.opened(), std::wstring(kAuthorPage) + L"\n");
    EXPECT_FALSE(closes(box)) << "the box closed after the click";
}

} // namespace
