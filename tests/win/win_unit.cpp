// The shell's pieces on Windows, without starting the program: both menus as built and what
// each item does, labels that can be read, and BMP files through the Windows file layer.
#include "app_state.h"
#include "bmp_writer.h"
#include "driver.h"
#include "menus.h"

#include <tuple>

using namespace driver;
using namespace tovrel;

namespace {

std::string narrow(const std::wstring& text) {
    std::string out(text.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(),
                                   int(out.size()), nullptr, nullptr));
    return out;
}

// What choosing an item does to the settings {none, 123456, style 5, width 3} and a start point.
std::wstring effect(MenuKind kind, UINT id) {
    DrawingSettings s{ToolNone, 0x123456, 5, 3};
    DragState drag;
    drag.start = {5, 5};
    const int request = int(dispatchCommand(kind, id, s, drag));
    std::wstring text;
    for (auto [name, value, before] : {std::tuple{L" tool", int(s.tool), 0},
                                       {L" colour", int(s.penColour), 0x123456},
                                       {L" style", s.penStyle, 5},
                                       {L" width", s.penWidth, 3}})
        if (value != before) text += name + std::to_wstring(value);
    const wchar_t* requests[] = {L"", L"", L" open", L" close", L" about", L" exit", L" save"};
    return text + (drag.start.x != 5 ? L" start" : L"") + requests[request];
}

// "label:id effect" per item, "-" per separator, "label[...]" per submenu; "!" marks an item
// shown checked or greyed.
std::wstring describe(HMENU menu, MenuKind kind) {
    std::wstring text;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t label[64] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item),
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
        item.dwTypeData = label, item.cch = 64;
        GetMenuItemInfoW(menu, i, TRUE, &item);
        text += std::wstring(i ? L"," : L"") + (item.fType & MFT_SEPARATOR ? L"-" : label);
        if (item.hSubMenu)
            text += L"[" + describe(item.hSubMenu, kind) + L"]";
        else if (!(item.fType & MFT_SEPARATOR))
            text += L":" + std::to_wstring(item.wID) + effect(kind, item.wID);
        if (!(item.fType & MFT_SEPARATOR) && (item.fState & (MFS_CHECKED | MFS_DISABLED)))
            text += L"!";
    }
    return text;
}

void menus() {
    const std::wstring tray =
        L"撤销(&U)      ESC:1003 close,-,矩形:1004 tool4 start open,椭圆:1005 tool5 start open,"
        L"钢笔:1006 tool6 start open,线条:1007 tool7 start open,箭头:1008 tool8 start open,-,"
        L"宽度[细线:20101 style0,虚线:20102 style1,粗线:20103 width2],颜色[黑色:10101 colour0,"
        L"绿色:10102 colour65280,蓝色:10103 colour16711680,红色:10104 colour255,"
        L"黄色:10105 colour65535,白色:10106 colour16777215,紫色:10107 colour16711819],-,"
        L"关于作者:1013 about,退出(&Q):1012 exit";
    const std::wstring overlay =
        L"撤销(&U)      ESC:11003 close,-,矩形:11004 tool4 start,椭圆:11005 tool5 start,"
        L"钢笔:11006 tool6 start,线条:11007 tool7 start,箭头:11008 tool8 start,-,"
        L"宽度[细线:210101 style0,虚线:210102 style1,粗线:210103 width2],颜色[黑色:110101 colour0,"
        L"绿色:110102 colour65280,蓝色:110103 colour16711680,红色:110104 colour255,"
        L"黄色:110105 colour65535,白色:110106 colour16777215,紫色:110107 colour16711819],-,"
        L"保存(&S):11011 save";
    for (auto [kind, expected] : {std::pair{MenuKind::Tray, tray}, {MenuKind::Overlay, overlay}}) {
        UniqueMenu menu(buildMenu(kind));
        const std::wstring built = describe(menu.get(), kind);
        CHECK(built == expected, "\n" + narrow(built) + "\nnot\n" + narrow(expected));
    }
}

// Missing glyphs draw as identical boxes: two labels in the menu font must not look alike.
void labelsReadable() {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
    {
        Picture a(64, 32), b(64, 32);
        for (auto [picture, label] : {std::pair{&a, L"矩形"}, {&b, L"椭圆"}}) {
            SelectObject(picture->dc(), font);
            SetTextColor(picture->dc(), 0xFFFFFF);
            TextOutW(picture->dc(), 0, 0, label, 2);
            GdiFlush();
        }
        CHECK(!difference(a, b).empty(),
              "menu labels draw alike: the Wine prefix has no font for them");
    }
    DeleteObject(font);
}

// Rows of every padding go to the file as given; shapes no file can hold are refused; a save
// that cannot be written leaves the old file as it was and nothing beside it.
void bmpFiles() {
    const std::wstring folder = testFolder(L"bmp");
    auto write = [](const std::wstring& path, BitmapShape shape,
                    const std::vector<std::uint8_t>& rows) {
        return writeBmp(reinterpret_cast<const char16_t*>(path.c_str()), shape, rows.data());
    };
    for (int width = 1; width <= 4; ++width) {
        std::vector<std::uint8_t> rows(3 * ((3 * width + 3) & ~3));
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = std::uint8_t(i * 131 + 7); // padding bytes too
        const std::wstring path = folder + L"width" + std::to_wstring(width) + L".bmp";
        Picture file(width, 3);
        const std::vector<std::uint8_t> bytes =
            write(path, {0, width, 3, 3 * width, 1, 3, nullptr}, rows) ? readFile(path) : rows;
        CHECK(file.loadBmp(bytes) && std::equal(rows.begin(), rows.end(), bytes.begin() + 54),
              "width " + std::to_string(width));
    }
    const std::vector<std::uint8_t> pixels(6220800), old = {'o', 'l', 'd'};
    for (BitmapShape shape : {BitmapShape{0, 0, 10, 0, 1, 3},
                              {0, 10, -1, 30, 1, 3},
                              {0, 65536, 65536, 0, 1, 3},
                              {0, 1, 1073741811, 3, 1, 3},
                              {0, 1, 1, 3, 1, 0}})
        CHECK(!write(folder + L"refused.bmp", shape, pixels) && !exists(folder + L"refused*"),
              std::to_string(shape.bmWidth) + "x" + std::to_string(shape.bmHeight));
    const std::wstring readOnly = folder + L"readonly.bmp", full = L"T:\\full.bmp";
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    CHECK(writeFile(readOnly, old) &&
          SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK(!write(readOnly, {0, 1920, 1080, 5760, 1, 3}, pixels) && readFile(readOnly) == old &&
          !exists(readOnly + L".tmp*"));
    ULARGE_INTEGER size = {};
    if (!GetDiskFreeSpaceExW(L"T:\\", nullptr, &size, nullptr) || size.QuadPart > 2 << 20)
        return void(
            std::puts("no small disk at T: (mounting one needs root), so no full-disk check"));
    CHECK(writeFile(full, old) && !write(full, {0, 1920, 1080, 5760, 1, 3}, pixels) &&
              readFile(full) == old && !exists(full + L".tmp*"),
          "full disk");
}

} // namespace

int main() {
    menus();
    labelsReadable();
    bmpFiles();
    std::printf("win_unit: %d failed checks\n", failures);
    return failures ? 1 : 0;
}
