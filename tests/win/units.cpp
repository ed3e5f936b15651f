// The shell's pieces on Windows, without starting the program: both menus as built and what
// each item does, and picture files through the Windows file layer.
#include "app_state.h"
#include "driver.h"
#include "menus.h"
#include "save.h"

#include <algorithm>
#include <random>

using namespace driver;
using namespace tovrel;

namespace {

// What choosing an item does that the end-to-end runs do not see: the colour it sets, and
// whether it resets the drag's start point.
std::wstring effect(MenuKind kind, UINT id) {
    DrawingSettings settings{ToolNone, 0x123456, 5, 3};
    DragState drag;
    drag.start = {5, 5};
    dispatchCommand(kind, id, settings, drag);
    wchar_t colour[16] = L"";
    if (settings.penColour != 0x123456)
        swprintf(colour, 16, L" colour%06X", unsigned(settings.penColour));
    return colour + std::wstring(drag.start.x != 5 ? L" start" : L"");
}

// "label:id effect" per item, "-" per separator, "label[...]" per submenu.
std::wstring describe(HMENU menu, MenuKind kind) {
    std::wstring text;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t label[64] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item), item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        item.dwTypeData = label, item.cch = 64;
        GetMenuItemInfoW(menu, i, TRUE, &item);
        text += std::wstring(i ? L"," : L"") + (item.fType & MFT_SEPARATOR ? L"-" : label);
        if (item.hSubMenu)
            text += L"[" + describe(item.hSubMenu, kind) + L"]";
        else if (!(item.fType & MFT_SEPARATOR))
            text += L":" + std::to_wstring(item.wID) + effect(kind, item.wID);
    }
    return text;
}

void menus() {
    const std::wstring tray =
        L"撤销(&U)      ESC:1003,-,矩形:1004 start,椭圆:1005 start,"
        L"钢笔:1006 start,线条:1007 start,箭头:1008 start,马赛克:1009 start,"
        L"文字:1010 start,荧光笔:1015 start,序号:1016 start,选区:1014 start,-,"
        L"宽度[细线:20101,虚线:20102,粗线:20103],颜色[黑色:10101 colour000000,"
        L"绿色:10102 colour00FF00,蓝色:10103 colourFF0000,红色:10104 colour0000FF,"
        L"黄色:10105 colour00FFFF,白色:10106 colourFFFFFF,紫色:10107 colourFF008B],-,"
        L"开机启动:1017,关于作者:1013,退出(&Q):1012";
    const std::wstring overlay =
        L"撤销(&U)      ESC:11003,-,矩形:11004 start,椭圆:11005 start,"
        L"钢笔:11006 start,线条:11007 start,箭头:11008 start,马赛克:11009 start,"
        L"文字:11010 start,荧光笔:11015 start,序号:11016 start,选区:11014 start,-,"
        L"宽度[细线:210101,虚线:210102,粗线:210103],颜色[黑色:110101 colour000000,"
        L"绿色:110102 colour00FF00,蓝色:110103 colourFF0000,红色:110104 colour0000FF,"
        L"黄色:110105 colour00FFFF,白色:110106 colourFFFFFF,紫色:110107 colourFF008B],-,"
        L"保存(&S):11011";
    for (auto [kind, expected] : {std::pair{MenuKind::Tray, tray}, {MenuKind::Overlay, overlay}}) {
        UniqueMenu menu(buildMenu(kind));
        const std::wstring built = describe(menu.get(), kind);
        CHECK(built == expected, "\n" + narrow(built) + "\nnot\n" + narrow(expected));
    }
}

// Pictures with rows of every padding, in colour, written as the save writes them: as a BMP, or
// as a PNG when the name says so.
void pictureFiles() {
    const std::wstring folder = testFolder(L"files");
    std::vector<std::uint32_t> pixels(1920 * 1080);
    std::mt19937 random(1); // noise, which no file type compresses below the small disk's size
    for (std::uint32_t& pixel : pixels)
        pixel = random(); // the unused top byte too
    for (int width = 1; width <= 4; ++width)
        for (const std::wstring name : {L"rows.bmp", L"rows.png"}) {
            Picture file(width, 3), given(width, 3);
            std::copy_n(pixels.data(), width * 3, given.bits());
            CHECK(writePicture(pixels.data(), width, 3, (folder + name).c_str()) &&
                      loadPicture(file, readFile(folder + name), name.back() == L'g') &&
                      difference(file, given).empty(),
                  narrow(name) + " " + std::to_string(width));
        }
    // A save that cannot be written keeps the old file as it was and leaves nothing beside it: a
    // read-only file, and a full disk where there is one.
    ULARGE_INTEGER size = {};
    const bool smallDisk =
        GetDiskFreeSpaceExW(L"T:\\", nullptr, &size, nullptr) && size.QuadPart < 2 << 20;
    if (!smallDisk)
        std::puts("no small disk at T: (mounting one needs root), so no full-disk check");
    for (const wchar_t* name :
         {L"readonly.bmp", L"readonly.png", L"T:\\full.bmp", L"T:\\full.png"}) {
        const bool onDisk = name[0] == L'T';
        const std::wstring path = onDisk ? name : folder + name;
        if (onDisk && !smallDisk) continue;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        const std::string old =
            writePicture(pixels.data(), 1, 1, path.c_str()) ? readFile(path) : "";
        SetFileAttributesW(path.c_str(), onDisk ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY);
        CHECK(!old.empty() && !writePicture(pixels.data(), 1920, 1080, path.c_str()) &&
                  readFile(path) == old && !exists(path + L".tmp*"),
              narrow(path));
    }
}

} // namespace

void units() {
    menus();
    pictureFiles();
}
