#include "about.h"

#include "app_state.h"
#include "resource_ids.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

namespace {

// How wide text is as control shows it, in the control's own font.
int textWidth(HWND control, const wchar_t* text) {
    HDC dc = GetDC(control);
    // Without a font of its own a control draws in the device context's.
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    const HGDIOBJ original = font ? SelectObject(dc, font) : nullptr;
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    if (original) SelectObject(dc, original);
    ReleaseDC(control, dc);
    return size.cx;
}

// The template gives the link 2 pixels more than its address needs at 96 DPI in the usual font,
// and the label less than its text: at another scaling or in another font the address wrapped
// and was cut, and the label ran under the link. Measured as they show, the link starts after the
// label's text where that ends further right, and is as wide as its address, into the right
// margin if need be (at 150% the label leaves too little before it), never past the edge.
void fitAuthorLink(HWND dialog) {
    const HWND link = GetDlgItem(dialog, IDC_AUTHOR_LINK),
               label = GetDlgItem(dialog, IDC_AUTHOR_LABEL);
    RECT place = {}, labelPlace = {}, client = {};
    GetWindowRect(link, &place);
    GetWindowRect(label, &labelPlace);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&labelPlace), 2);
    GetClientRect(dialog, &client);
    wchar_t labelText[64] = {};
    GetWindowTextW(label, labelText, 64);
    const int left = std::max<int>(place.left, labelPlace.left + textWidth(label, labelText));
    const int width = std::min<int>(textWidth(link, AUTHOR_URL), client.right - left);
    SetWindowPos(link, nullptr, left, place.top, width, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void onNotify(WPARAM control, LPARAM header) {
    const auto* link = reinterpret_cast<const NMLINK*>(header);
    if (control == IDC_AUTHOR_LINK && link->hdr.code == NM_CLICK && link->item.iLink == 0)
        // The address is the program's own constant, never read back from the link.
        ShellExecuteW(nullptr, L"open", AUTHOR_URL, nullptr, nullptr, SW_SHOW);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: fitAuthorLink(dialog); break;
    case WM_NOTIFY: onNotify(wParam, lParam); break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) { // low bits are the system's own
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

void showAboutBox(HWND owner) {
    // The link control's class is registered by Common Controls 6 on request.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    InModalLoop modal;
    DialogBoxParamW(g_instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, aboutProc, 0);
}
