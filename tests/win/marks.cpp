// 荧光笔 and 序号 end to end, and a mosaic still being dragged when the picture leaves.
#include "driver.h"

using namespace driver;

namespace {

// A numbered marker as the tool should draw it at 96 dots per inch, of this colour and ink.
void drawMarker(Picture& p, POINT at, const wchar_t* number, COLORREF fill, COLORREF ink) {
    HDC dc = p.dc();
    HGDIOBJ pen = SelectObject(dc, CreatePen(PS_SOLID, 1, fill));
    HGDIOBJ brush = SelectObject(dc, CreateSolidBrush(fill));
    HGDIOBJ font = SelectObject(
        dc, CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei"));
    RECT box = {at.x - 14, at.y - 14, at.x + 14, at.y + 14};
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
    SetTextColor(dc, ink);
    DrawTextW(dc, number, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    DeleteObject(SelectObject(dc, pen)), DeleteObject(SelectObject(dc, brush));
    DeleteObject(SelectObject(dc, font)), GdiFlush();
}

} // namespace

// On the white and dark halves: a yellow highlighter stroke over black text typed with 文字, and
// the same stroke again; red, yellow and green markers, Ctrl+Z of the third and a new press that
// gets its number; the BMP and PNG saves and the copy hold them. Then mosaics still being dragged
// when the right-click menu opens (and 保存 is chosen from it) and when Ctrl+C is pressed: the
// file and the copy hold the mosaic, not what it covers.
void marks() {
    Pattern pattern;
    Picture expected, before;
    expected.copyScreen();
    const std::wstring folder = testFolder(L"marks");
    Program tovrel(folder.c_str());
    REQUIRE(tovrel.openWith(kText));
    click({100, 200}), typeText(L"Mark these words"), key(VK_ESCAPE);
    write(expected, L"Mark these words", {100, 200});
    CHECK_SCREEN(expected, "the text");
    before.copy(expected);
    REQUIRE(chooseFromOverlay(kYellow, kColourMenu) && chooseFromOverlay(kHighlighter));
    draw(expected, PS_SOLID, 16, RGB(255, 255, 0), R2_MASKPEN,
         [](HDC dc) { MoveToEx(dc, 90, 214, nullptr), LineTo(dc, 330, 214); });
    for (const char* pass : {"the highlighter", "the highlighter again"}) {
        drag({90, 214}, {330, 214}, 1);
        CHECK_SCREEN(expected, pass);
    }
    Picture shot;
    shot.copyScreen();
    long black = 0, stayed = 0; // of the text's pixels, left of the dark half
    for (int y = 190; y < 240; ++y)
        for (int x = 0; x < 600; ++x)
            if (before.at(x, y) == 0) ++black, stayed += shot.at(x, y) == 0;
    CHECK(black > 100 && stayed == black, std::to_string(stayed) + " of " + std::to_string(black));

    const struct {
        int colour; // none: Ctrl+Z first
        POINT at;
        const wchar_t* number;
        COLORREF fill, ink;
    } rows[] = {
        {kRed, {420, 300}, L"1", RGB(255, 0, 0), RGB(255, 255, 255)},
        {kYellow, {480, 300}, L"2", RGB(255, 255, 0), 0},
        {kGreen, {700, 300}, L"3", RGB(0, 255, 0), 0}, // on the dark half
        {-1, {760, 360}, L"3", RGB(0, 255, 0), 0},
    };
    Picture unmarked;
    REQUIRE(chooseFromOverlay(kMarker));
    for (const auto& row : rows) {
        if (row.colour < 0) chord(VK_CONTROL, 'Z'), expected.copy(unmarked);
        CHECK_SCREEN(expected, "before marker at " + std::to_string(row.at.x));
        if (row.colour >= 0) REQUIRE(chooseFromOverlay(row.colour, kColourMenu));
        unmarked.copy(expected);
        click(row.at);
        drawMarker(expected, row.at, row.number, row.fill, row.ink);
        CHECK_SCREEN(expected, "marker at " + std::to_string(row.at.x));
    }
    for (const std::wstring name : {L"marks.bmp", L"marks.png"}) {
        DeleteFileW((folder + name).c_str());
        const HWND dialog = tovrel.openSaveDialog();
        REQUIRE(dialog);
        nameFile(dialog, folder + name), key(VK_RETURN);
        CHECK(waitUntil([&] {
                  return loadPicture(shot, readFile(folder + name), name.back() == L'g') &&
                         difference(shot, expected).empty();
              }),
              narrow(name));
        REQUIRE(activeAgain(tovrel.overlay()));
    }
    chord(VK_CONTROL, 'C');
    CHECK(waitUntil([&] {
              return loadBmp(shot, clipboardDib(), true) && difference(shot, expected).empty();
          }),
          "the copy");

    // Over the text and the first two markers, the menu opened and 保存 chosen before the release;
    // the drag goes on without the button once the dialog is open.
    REQUIRE(chooseFromOverlay(kMosaic));
    const RECT masked = {90, 190, 590, 330};
    const std::wstring file = folder + L"masked.bmp";
    DeleteFileW(file.c_str());
    std::string fault = "no file";
    drag({masked.left, masked.top}, {1090, 470}, 2, [&] {
        click({masked.right, masked.bottom}, MOUSEEVENTF_RIGHTDOWN);
        HWND dialog = nullptr;
        REQUIRE(chooseMenuItem(kSave) && waitUntil([&] {
                    return (dialog = dialogOf(tovrel.id(), true)) && GetDlgItem(dialog, kFileTypes);
                }));
        mouse({masked.right, masked.bottom}, MOUSEEVENTF_LEFTUP);
        nameFile(dialog, file), key(VK_RETURN);
        waitUntil([&] {
            return loadBmp(shot, readFile(file)) &&
                   (fault = mosaicFault(shot, expected, masked)).empty();
        });
    });
    CHECK(fault.empty(), "the save from the menu: " + fault);
    const RECT copied = {650, 250, 850, 420}; // over the last marker, with Ctrl+C half way
    before.copyScreen();
    drag({copied.left, copied.top}, {1050, 590}, 2, [&] {
        settleMouseAt({copied.right, copied.bottom}), chord(VK_CONTROL, 'C');
    });
    const bool masks = waitUntil([&] {
        return loadBmp(shot, clipboardDib(), true) &&
               (fault = mosaicFault(shot, before, copied)).empty();
    });
    CHECK(masks, "the copy: " + fault);
}
