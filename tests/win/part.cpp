// 选区 end to end: the part chosen shows as it is and the rest dimmed, drawing goes on across its
// edge, and what leaves the overlay (the copy, the saves) is exactly the part.
#include "driver.h"

using namespace driver;

namespace {

// p as the overlay shows it with r chosen: each channel halved outside r.
void dimOutside(Picture& p, RECT r) {
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (!PtInRect(&r, {x, y})) p.bits()[y * p.width + x] = (p.at(x, y) >> 1) & 0x7F7F7F;
}

} // namespace

// On a 1280x800 screen, white on the left half and dark on the right: a part across the border.
void part() {
    Pattern pattern;
    Picture picture, shown, cut(300, 200), file(300, 200);
    picture.copyScreen();
    const RECT chosen = {500, 300, 800, 500};
    auto showsChosen = [&](const char* what) {
        shown.copy(picture), dimOutside(shown, chosen);
        BitBlt(cut.dc(), 0, 0, 300, 200, picture.dc(), chosen.left, chosen.top, SRCCOPY);
        return CHECK_SCREEN(shown, what);
    };
    Program tovrel(testFolder(L"start").c_str());
    const HWND overlay = tovrel.openWith(kPart);
    REQUIRE(overlay);
    drag({chosen.left, chosen.top}, {chosen.right, chosen.bottom});
    showsChosen("the part chosen");

    // Drawing goes on inside and outside; undo and redo leave the part as it is.
    REQUIRE(chooseFromOverlay(kRectangle));
    drag({700, 450}, {900, 650});
    chord(VK_CONTROL, 'Z');
    showsChosen("the rectangle taken back");
    chord(VK_CONTROL, 'Y');
    draw(picture, PS_SOLID, 1, 0, R2_NOT, [](HDC dc) { Rectangle(dc, 700, 450, 900, 650); });
    showsChosen("a rectangle across the part's edge");

    // The copy and the saves are the part, at its size.
    CHECK(copyShows(cut), "the copy");
    const std::wstring folder = testFolder(L"part");
    for (const wchar_t* name : {L"part.bmp", L"part.png"}) {
        const std::wstring path = folder + name;
        DeleteFileW(path.c_str());
        HWND dialog = tovrel.openSaveDialog();
        REQUIRE(dialog);
        nameFile(dialog, path), key(VK_RETURN);
        CHECK(
            waitUntil([&] { return loadPicture(file, readFile(path), path.ends_with(L".png")); }) &&
                difference(file, cut).empty() && activeAgain(overlay),
            narrow(name));
    }

    // A click chooses the whole picture again, and the copy is whole.
    REQUIRE(chooseFromOverlay(kPart));
    click({100, 100});
    CHECK_SCREEN(picture, "after a click");
    CHECK(copyShows(picture), "the copy after a click");

    // A picture thrown away with a part chosen comes back whole, with none.
    drag({chosen.left, chosen.top}, {chosen.right, chosen.bottom});
    showsChosen("chosen again");
    key(VK_ESCAPE);
    REQUIRE(tovrel.overlayCloses());
    CHECK(chooseFromTray(tovrel.main, kUndo) && tovrel.waitForOverlay());
    CHECK_SCREEN(picture, "brought back");
    CHECK(copyShows(picture), "the copy of a picture brought back");
    CHECK(chooseFromTray(tovrel.main, kExit) && tovrel.exitCode() == 0);
}
