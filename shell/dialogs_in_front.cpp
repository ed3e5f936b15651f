#include "dialogs_in_front.h"

namespace {

LRESULT CALLBACK makeActivatedTopmost(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE)
        SetWindowPos(reinterpret_cast<HWND>(wParam), HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

DialogsInFront::DialogsInFront(HWND overlay) : overlay_(overlay) {
    if (!overlay_) return;
    EnableWindow(overlay_, FALSE);
    hook_ = SetWindowsHookExW(WH_CBT, makeActivatedTopmost, nullptr, GetCurrentThreadId());
}

DialogsInFront::~DialogsInFront() {
    if (hook_) UnhookWindowsHookEx(hook_);
    // The tray may have closed the overlay meanwhile.
    if (!overlay_ || !IsWindow(overlay_)) return;
    EnableWindow(overlay_, TRUE);
    // Activation went back to the dialogs' hidden owner; Esc must reach the overlay again.
    SetForegroundWindow(overlay_);
}
