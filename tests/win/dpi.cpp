// Tovrel at 150% scaling: 144 DPI on a 1280x800 screen, as `with-wine --dpi 144` gives it.
#include "app_state.h"
#include "driver.h"

#include <numeric>

using namespace driver;
using namespace tovrel;

namespace {

// Whether picture shows part, pixel for pixel, somewhere; part's pixels unlike its first are
// compared first, so that the background alone rules a place out at once.
bool shows(const Picture& picture, const Picture& part) {
    std::vector<int> order(part.width * part.height);
    std::iota(order.begin(), order.end(), 0);
    std::stable_partition(order.begin(), order.end(),
                          [&](int i) { return part.bits()[i] != part.bits()[0]; });
    for (int y = 0; y + part.height <= picture.height; ++y)
        for (int x = 0; x + part.width <= picture.width; ++x)
            if (std::all_of(order.begin(), order.end(), [&](int i) {
                    const int dx = i % part.width, dy = i / part.width;
                    return picture.at(x + dx, y + dy) == part.at(dx, dy);
                }))
                return true;
    return false;
}

// The labels the open menu does not show whole as GDI draws them in the menu font and colours;
// none once it shows them all.
std::string labelsNotShown(MenuKind kind) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    const HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
    std::vector<const char16_t*> labels;
    for (const MenuEntry& entry : menuLayout(kind))
        if (entry.submenuLabel)
            labels.push_back(entry.submenuLabel);
        else
            for (const MenuCommand& command : entry.commands)
                labels.push_back(command.label);
    RECT r = {};
    GetWindowRect(shownWindows(L"#32768")[0], &r);
    Picture shot(r.right - r.left, r.bottom - r.top);
    std::string missing;
    SelectObject(shot.dc(), font);
    waitUntil([&] {
        shot.copyScreen(r.left, r.top), missing.clear();
        for (const char16_t* label : labels) {
            RECT box = {};
            DrawTextW(shot.dc(), wide(label), -1, &box, DT_SINGLELINE | DT_CALCRECT);
            Picture drawn(box.right, box.bottom);
            SelectObject(drawn.dc(), font), SetTextColor(drawn.dc(), GetSysColor(COLOR_MENUTEXT));
            FillRect(drawn.dc(), &box, GetSysColorBrush(COLOR_MENU));
            DrawTextW(drawn.dc(), wide(label), -1, &box, DT_SINGLELINE), GdiFlush();
            if (!shows(shot, drawn)) missing += narrow(wide(label)) + " ";
        }
        return missing.empty();
    });
    return SelectObject(shot.dc(), GetStockObject(SYSTEM_FONT)), DeleteObject(font), missing;
}

} // namespace

// The overlay covers the monitor and shows it pixel for pixel; 马赛克's blocks are 18x18, and 文字
// is drawn 36 pixels high, 54 after 粗线, as GDI draws it; both menus show their texts whole, and
// the About box its link and label.
void dpi() {
    REQUIRE(GetDpiForSystem() == 144, "not at 144 DPI");
    Pattern pattern;
    Picture expected, unmasked;
    expected.copyScreen(), unmasked.copyScreen();
    Program tovrel;
    settleMouseAt({900, 300}); // the menu opens left of the cursor, which is then over no item
    PostMessageW(tovrel.main, kTrayNotify, 0, WM_RBUTTONDOWN);
    REQUIRE(waitUntil(menuOpen));
    const std::string trayMissing = labelsNotShown(MenuKind::Tray);
    CHECK(trayMissing.empty(), "the tray menu cuts " + trayMissing);
    RECT r;
    const HWND overlay = chooseMenuItem(kMosaic) ? tovrel.waitForOverlay() : nullptr;
    REQUIRE(overlay && GetWindowRect(overlay, &r) && r.left == 0 && r.top == 0 &&
            r.right == expected.width && r.bottom == expected.height);
    CHECK_SCREEN(expected, "frozen");

    const RECT masked = {571, 403, 741, 510}; // across the halves, cutting blocks at both edges
    drag({masked.left, masked.top}, {masked.right, masked.bottom});
    std::string fault;
    CHECK(waitUntil([&] {
              return (fault = mosaicFault(expected.copyScreen(), unmasked, masked, 18)).empty();
          }),
          fault);

    REQUIRE(openOverlayMenu());
    const std::string overlayMissing = labelsNotShown(MenuKind::Overlay);
    CHECK(overlayMissing.empty(), "the overlay menu cuts " + overlayMissing);
    REQUIRE(chooseMenuItem(kText));
    for (auto [at, height] : {std::pair{POINT{100, 560}, 36}, {POINT{100, 660}, 54}}) {
        click(at), typeText(L"Hi 你好"), key(VK_ESCAPE);
        write(expected, L"Hi 你好", at, false, height);
        CHECK_SCREEN(expected, std::to_string(height) + " pixels high");
        if (height == 36) REQUIRE(chooseFromOverlay(kThick, kWidthMenu));
    }

    HWND about = nullptr;
    CHECK(chooseFromTray(tovrel.main, kAbout) &&
              waitUntil([&] { return (about = dialogOf(tovrel.id(), true, L"关于 Tovrel")); }),
          "no About box");
    CHECK(about && aboutLinkFault(about).empty(), aboutLinkFault(about));
    CHECK(PostMessageW(about, WM_COMMAND, IDOK, 0) && closes(about) && activeAgain(overlay));
    CHECK(chooseFromTray(tovrel.main, kExit) && tovrel.exitCode() == 0);
}
