// Keeps the program's dialogs reachable over an open overlay.
#pragma once

#include <windows.h>

// While alive, the overlay (if one is open) takes no input, and every window this thread
// activates is made topmost: the dialogs are owned by the hidden main window and would
// otherwise open behind the topmost overlay, or a click on the overlay would raise it over
// them. Afterwards the overlay takes input again and has the keyboard.
class DialogsInFront {
  public:
    explicit DialogsInFront(HWND overlay);
    ~DialogsInFront();
    DialogsInFront(const DialogsInFront&) = delete;
    DialogsInFront& operator=(const DialogsInFront&) = delete;

  private:
    HWND overlay_;
    HHOOK hook_ = nullptr;
};
