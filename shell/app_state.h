// Program-wide records of the running program.
#pragma once

#include <windows.h>

#include "settings.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "labels are handed to the W functions as is");

inline const wchar_t* wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

extern HINSTANCE g_instance;
extern HWND g_mainWindow;
extern tovrel::DrawingSettings g_settings;
extern tovrel::DragState g_drag;
// How many menus, dialogs and message boxes of the program are open now.
extern int g_modalLoops;

// Counts a modal loop for as long as it runs.
struct InModalLoop {
    InModalLoop() { ++g_modalLoops; }
    ~InModalLoop() { --g_modalLoops; }
    InModalLoop(const InModalLoop&) = delete;
    InModalLoop& operator=(const InModalLoop&) = delete;
};

// Owns a menu handle; destroying a menu destroys its submenus too.
class UniqueMenu {
  public:
    explicit UniqueMenu(HMENU menu = nullptr) : menu_(menu) {}
    ~UniqueMenu() { reset(); }
    UniqueMenu(const UniqueMenu&) = delete;
    UniqueMenu& operator=(const UniqueMenu&) = delete;
    void reset(HMENU menu = nullptr) {
        if (menu_) DestroyMenu(menu_);
        menu_ = menu;
    }
    HMENU get() const { return menu_; }

  private:
    HMENU menu_;
};
