#include "overlay.h"

#include "app_state.h"
#include "clipboard.h"
#include "gdi_surface.h"
#include "kept_picture.h"
#include "monitor.h"
#include "overlay_menu.h"
#include "resource_ids.h"
#include "save.h"
#include "stroke_engine.h"

#include <imm.h>

#include <optional>
#include <utility>

namespace {

struct ScreenSize {
    int width;
    int height;
};

// The device contexts, bitmap and drawing state of one open overlay, over the rectangle its
// monitor had when it opened; its window is created by openOverlay and destroyed by closeOverlay.
class OverlaySession {
  public:
    OverlaySession(HWND window, HDC screen, RECT place)
        : window_(window), origin_{place.left, place.top}, size_{place.right - place.left,
                                                                 place.bottom - place.top},
          windowDc_(GetDC(window)), canvasDc_(CreateCompatibleDC(screen)),
          canvasBitmap_(createPixelBitmap(screen, size_.width, size_.height, bits_)),
          originalBitmap_(SelectObject(canvasDc_, canvasBitmap_)), canvas_(canvasDc_, bits_),
          windowSurface_(windowDc_), engine_(g_settings, g_drag,
                                             {platform_,
                                              canvas_,
                                              windowSurface_,
                                              size_.width,
                                              size_.height,
                                              {origin_.x, origin_.y},
                                              dpiOf(window)}) {
        // With the default opaque mode, R2_NOT would invert a dashed pen's gaps too.
        SetBkMode(canvasDc_, TRANSPARENT);
    }

    ~OverlaySession() {
        engine_.releasePen();
        SelectObject(canvasDc_, originalBitmap_);
        if (canvasBitmap_) DeleteObject(canvasBitmap_);
        DeleteDC(canvasDc_);
        ReleaseDC(window_, windowDc_);
    }

    OverlaySession(const OverlaySession&) = delete;
    OverlaySession& operator=(const OverlaySession&) = delete;

    // False when there was no memory for the Canvas.
    bool ready() const { return bits_ != nullptr && canvasDc_ && windowDc_; }
    HWND window() const { return window_; }
    tovrel::StrokeEngine& engine() { return engine_; }
    std::uint32_t* pixels() { return canvas_.Bits(); }

    // A picture brought back always counts as drawn on, whatever happens to it now.
    void broughtBack() { broughtBack_ = true; }
    // Ends the stroke first in any case: a mosaic whose release never came is made before keeping.
    bool showsDrawing() { return engine_.showsStrokes() || broughtBack_; }
    // Hands the Canvas's bitmap, whose pixels stay valid until it is deleted, to the caller.
    HBITMAP takeCanvas(const std::uint32_t*& pixels, ScreenSize& size, POINT& origin) {
        SelectObject(canvasDc_, originalBitmap_);
        pixels = bits_;
        size = size_;
        origin = origin_;
        return std::exchange(canvasBitmap_, nullptr);
    }

    // CAPTUREBLT takes in layered windows too: translucent ones, many tooltips and pop-ups.
    void capture(HDC screen) {
        BitBlt(canvasDc_, 0, 0, size_.width, size_.height, screen, origin_.x, origin_.y,
               SRCCOPY | CAPTUREBLT);
    }

    // What leaves is the part chosen, or the whole picture, from the Canvas: it holds exactly what
    // the window shows (undimmed), including parts a dialog covers now or that lie beyond a
    // screen made smaller since the overlay opened.
    bool writeFile(const wchar_t* path) {
        return withPart([&](const std::uint32_t* pixels, int width, int height) {
            return writePicture(pixels, width, height, path, size_.width);
        });
    }
    // Ctrl+S's file, whose full path it gives.
    bool quickSave(const SYSTEMTIME& pressed, wchar_t (&path)[kSavedPathCapacity]) {
        return withPart([&](const std::uint32_t* pixels, int width, int height) {
            return quickSavePicture(pixels, width, height, size_.width, pressed, path);
        });
    }
    bool copyToClipboard() {
        return withPart([&](const std::uint32_t* pixels, int width, int height) {
            return copyPixelsToClipboard(window_, pixels, width, height, size_.width);
        });
    }

  private:
    // Hands what leaves to take, its rows a Canvas width apart. A mosaic still being dragged is
    // made first: nothing that leaves holds what it is to cover.
    template <typename Take> bool withPart(Take take) {
        engine_.finishMosaic();
        const tovrel::PixelRect r = engine_.part();
        return take(canvas_.Bits() + std::size_t(r.top) * size_.width + r.left, r.right - r.left,
                    r.bottom - r.top);
    }

    HWND window_;
    POINT origin_;
    ScreenSize size_;
    std::uint32_t* bits_ = nullptr;
    HDC windowDc_;
    HDC canvasDc_;
    HBITMAP canvasBitmap_;
    HGDIOBJ originalBitmap_;
    GdiPlatform platform_;
    GdiSurface canvas_;
    GdiSurface windowSurface_;
    tovrel::StrokeEngine engine_;
    bool broughtBack_ = false;
};

// Held in place rather than on the heap, which keeps the throwing operator new
// of the C++ runtime out of the program.
std::optional<OverlaySession> g_overlay;

void bringToFront(HWND window) {
    SetForegroundWindow(window);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void onInitDialog(HWND window, LPARAM place) {
    const RECT& r = *reinterpret_cast<const RECT*>(place);
    MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

// The picture is copied after the erase BeginPaint asks for, so the dialog's
// background never shows over it.
void onPaint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    if (g_overlay) g_overlay->engine().refreshOverlay();
    EndPaint(window, &paint);
}

void onMouseMove(WPARAM keyFlags, LPARAM position) {
    if (g_overlay)
        g_overlay->engine().onMouseMove(static_cast<std::uint32_t>(keyFlags), LOWORD(position),
                                        HIWORD(position));
}

// The caret shows where the open text's next character goes. The system inverts it onto the
// window alone, never the Canvas; a copy from the Canvas while it shows would leave half of it
// there, so it goes before the engine draws and comes back after.
template <typename Change> void changeText(HWND window, Change change) {
    DestroyCaret();
    change(g_overlay->engine());
    if (!g_overlay->engine().typing()) return;
    const tovrel::StrokeEngine::Caret caret = g_overlay->engine().caret();
    CreateCaret(window, nullptr, 2, caret.height);
    SetCaretPos(caret.at.x, caret.at.y);
    ShowCaret(window);
    // The input method composes Chinese beside the text.
    if (HIMC context = ImmGetContext(window)) {
        COMPOSITIONFORM form = {CFS_POINT, {caret.at.x, caret.at.y}, {}};
        ImmSetCompositionWindow(context, &form);
        ImmReleaseContext(window, context);
    }
}

void finishText(HWND window) {
    changeText(window, [](tovrel::StrokeEngine& engine) { engine.finishText(); });
}

void onChar(HWND window, WPARAM unit) {
    if (g_overlay && g_overlay->engine().typing())
        changeText(window, [&](tovrel::StrokeEngine& engine) { engine.onChar(char16_t(unit)); });
}

void onLeftButtonDown(HWND window) {
    if (g_overlay)
        changeText(window, [](tovrel::StrokeEngine& engine) { engine.onLeftButtonDown(); });
}

void onLeftButtonUp(WPARAM keyFlags, LPARAM position) {
    if (g_overlay) g_overlay->engine().onLeftButtonUp();
    onMouseMove(keyFlags, position);
}

// Owned by the overlay, a box is above it by the window manager's own rules, and the overlay
// takes no input until it closes.
void showFailure(HWND overlay, const wchar_t* text) {
    InModalLoop modal;
    MessageBoxW(overlay, text, L"提示信息", MB_OK | MB_TOPMOST);
}

void saveDrawing(HWND window) {
    bool failed = false;
    const wchar_t* path = askSavePath(window, failed);
    // The tray may have closed the overlay, and its dialog with it.
    if (!g_overlay) return;
    if (failed) return showFailure(window, L"保存失败");
    if (!path) return;
    // A PNG of a large screen takes a moment to encode.
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const bool written = g_overlay->writeFile(path);
    SetCursor(previous);
    if (!written) showFailure(window, L"保存失败");
}

void copyDrawing(HWND window) {
    if (!g_overlay->copyToClipboard()) showFailure(window, L"复制失败");
}

// Ctrl+S: no dialog, a file of its own in the Pictures folder, then closed as Esc closes it; the
// tray says where the file went. A failure leaves the overlay as it was.
void quickSaveDrawing(HWND window) {
    SYSTEMTIME pressed;
    GetLocalTime(&pressed);
    finishText(window);
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    wchar_t path[kSavedPathCapacity];
    const bool saved = g_overlay->quickSave(pressed, path);
    SetCursor(previous);
    if (!saved) return showFailure(window, L"保存失败");
    closeOverlay();
    SendMessageW(g_mainWindow, WM_PICTURESAVED, 0, reinterpret_cast<LPARAM>(path));
}

// Esc first finishes an open text; Ctrl+Z, Ctrl+Y, Ctrl+C and Ctrl+S finish it too.
void onKeyDown(HWND window, WPARAM key) {
    if (LOWORD(key) == VK_ESCAPE && g_overlay && g_overlay->engine().typing())
        return finishText(window);
    if (LOWORD(key) == VK_ESCAPE) return closeOverlay();
    if (!g_overlay || GetKeyState(VK_CONTROL) >= 0) return;
    // Mid-drag the rubber band needs the Canvas as it left it.
    const bool dragging = GetKeyState(VK_LBUTTON) < 0;
    if (LOWORD(key) == 'S') {
        if (!dragging) quickSaveDrawing(window);
        return;
    }
    if (LOWORD(key) == 'Z' || LOWORD(key) == 'Y' || LOWORD(key) == 'C') finishText(window);
    tovrel::StrokeEngine& engine = g_overlay->engine();
    switch (LOWORD(key)) {
    case 'Z':
        if (!dragging) GetKeyState(VK_SHIFT) < 0 ? engine.redo() : engine.undo();
        break;
    case 'Y':
        if (!dragging) engine.redo();
        break;
    case 'C': copyDrawing(window); break;
    }
}

// The menu takes the left button's release away, and may save: a mosaic still being dragged is
// made first.
void onRightButtonDown(HWND window) {
    if (g_overlay) finishText(window), g_overlay->engine().finishMosaic();
    switch (showOverlayMenu(window)) {
    case tovrel::Request::CloseOverlay: closeOverlay(); break;
    case tovrel::Request::Save: saveDrawing(window); break;
    default: break;
    }
}

INT_PTR CALLBACK overlayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: onInitDialog(window, lParam); break;
    case WM_PAINT: onPaint(window); break;
    case WM_KEYDOWN: onKeyDown(window, wParam); break;
    case WM_CHAR: onChar(window, wParam); break;
    case WM_LBUTTONDOWN: onLeftButtonDown(window); break;
    case WM_MOUSEMOVE: onMouseMove(wParam, lParam); break;
    case WM_LBUTTONUP: onLeftButtonUp(wParam, lParam); break;
    case WM_RBUTTONDOWN: onRightButtonDown(window); break;
    }
    return FALSE;
}

// Throws the overlay away, keeping its picture for the tray's undo if keep and it shows any
// drawing.
void discardOverlay(bool keep) {
    if (!g_overlay) return;
    HWND window = g_overlay->window();
    ScreenSize size = {};
    POINT origin = {};
    const std::uint32_t* pixels = nullptr;
    HBITMAP picture =
        keep && g_overlay->showsDrawing() ? g_overlay->takeCanvas(pixels, size, origin) : nullptr;
    // Released first, so messages sent while the window goes find no overlay.
    g_overlay.reset();
    DestroyWindow(window);
    // Compressed once the window has gone: the desktop is back at once.
    if (picture) keepPicture(pixels, size.width, size.height, origin), DeleteObject(picture);
}

// Creates the hidden overlay over place and its Canvas; false, with no overlay, when there is no
// memory.
bool createOverlay(HDC screen, RECT place) {
    HWND window = CreateDialogParamW(g_instance, MAKEINTRESOURCEW(IDD_OVERLAY), g_mainWindow,
                                     overlayProc, reinterpret_cast<LPARAM>(&place));
    if (!window) return false;
    g_overlay.emplace(window, screen, place);
    if (g_overlay->ready()) return true;
    discardOverlay(false);
    return false;
}

void showOverlay() {
    ShowWindow(g_overlay->window(), SW_SHOW);
    bringToFront(g_overlay->window());
}

// Freezes what place shows after waiting ms; with an overlay open, brings it to the front.
void freeze(RECT place, DWORD ms) {
    if (g_overlay) return bringToFront(g_overlay->window());
    HDC screen = GetDC(nullptr);
    if (createOverlay(screen, place)) {
        if (ms) Sleep(ms);
        g_overlay->capture(screen);
    }
    ReleaseDC(nullptr, screen);
    if (g_overlay) showOverlay();
}

} // namespace

void openOverlay() {
    // Half a second for the tray menu to vanish from the screen before it is copied.
    freeze(primaryMonitor(), 500);
}

void openOverlayUnderCursor() {
    freeze(monitorUnderCursor(), 0);
}

void bringBackOverlay() {
    if (g_overlay || !pictureKept()) return;
    struct IntoNewOverlay : PixelsFor {
        std::uint32_t* operator()(int width, int height) override {
            HDC screen = GetDC(nullptr);
            const bool created =
                createOverlay(screen, monitorFor(keptPictureOrigin(), width, height));
            ReleaseDC(nullptr, screen);
            return created ? g_overlay->pixels() : nullptr;
        }
    } into;
    if (!bringBackPicture(into)) return discardOverlay(false);
    g_overlay->broughtBack();
    showOverlay();
}

void closeOverlay() {
    discardOverlay(true);
}

void forgetPictures() {
    discardOverlay(false);
    forgetKeptPicture();
}

HWND overlayWindow() {
    return g_overlay ? g_overlay->window() : nullptr;
}
