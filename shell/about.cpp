#include "about.h"

#include "app_state.h"
#include "resource_ids.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

void onNotify(WPARAM control, LPARAM header) {
    const auto* link = reinterpret_cast<const NMLINK*>(header);
    if (control == IDC_AUTHOR_LINK && link->hdr.code == NM_CLICK && link->item.iLink == 0)
        // The address is the program's own constant, never read back from the link.
        ShellExecuteW(nullptr, L"open", AUTHOR_URL, nullptr, nullptr, SW_SHOW);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
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
