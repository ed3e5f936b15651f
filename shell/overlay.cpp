#include "overlay.h"

#include "app_state.h"
#include "clipboard.h"
#include "gdi_surface.h"
#include "kept_picture.h"
#include "overlay_menu.h"
#include "resource_ids.h"
#include "save.h"
#include "stroke_engine.h"

#include <optional>
#include <utility>

namespace {

struct ScreenSize {
    int width;
    int height;
};

// The device contexts, bitmap and drawing state of one open overlay, at the size the screen had
// when it opened; its window is created by openOverlay and destroyed by closeOverlay.
class OverlaySession {
  public:
    OverlaySession(HWND window, HDC screen, ScreenSize size)
        : window_(window), size_(size), windowDc_(GetDC(window)),
          canvasDc_(CreateCompatibleDC(screen)),
          canvasBitmap_(createPixelBitmap(screen, size.width, size.height, bits_)),
          originalBitmap_(SelectObject(canvasDc_, canvasBitmap_)), canvas_(canvasDc_, bits_),
          windowSurface_(windowDc_),
          engine_(g_settings, g_drag,
                  {platform_, canvas_, windowSurface_, size.width, size.height}) {
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
    HBITMAP takeCanvas(const std::uint32_t*& pixels, ScreenSize& size) {
        SelectObject(canvasDc_, originalBitmap_);
        pixels = bits_;
        size = size_;
        return std::exchange(canvasBitmap_, nullptr);
    }

    // CAPTUREBLT takes in layered windows too: translucent ones, many tooltips and pop-ups.
    void capture(HDC screen) {
        BitBlt(canvasDc_, 0, 0, size_.width, size_.height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
    }

    // The Canvas holds exactly what the window shows, including parts a dialog covers now or
    // that lie beyond a screen made smaller since the overlay opened.
    bool writeFile(const wchar_t* path) {
        return writePicture(canvas_.Bits(), size_.width, size_.height, path);
    }
    bool copyToClipboard() {
        return copyPixelsToClipboard(window_, canvas_.Bits(), size_.width, size_.height);
    }

  private:
    HWND window_;
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

void onInitDialog(HWND window, LPARAM size) {
    const auto* screen = reinterpret_cast<const ScreenSize*>(size);
    MoveWindow(window, 0, 0, screen->width, screen->height, TRUE);
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

void onLeftButtonDown() {
    if (g_overlay) g_overlay->engine().onLeftButtonDown();
}

void onLeftButtonUp(WPARAM keyFlags, LPARAM position) {
    if (g_overlay) g_overlay->engine().onLeftButtonUp();
    onMouseMove(keyFlags, position);
}

// Owned by the overlay, a box is above it by the window manager's own rules, and the overlay
// takes no input until it closes.
void showFailure(HWND overlay, const wchar_t* text) {
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

void onKeyDown(HWND window, WPARAM key) {
    if (LOWORD(key) == VK_ESCAPE) return closeOverlay();
    if (!g_overlay || GetKeyState(VK_CONTROL) >= 0) return;
    // Mid-drag the rubber band needs the Canvas as it left it.
    const bool dragging = GetKeyState(VK_LBUTTON) < 0;
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

void onRightButtonDown(HWND window) {
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
    case WM_LBUTTONDOWN: onLeftButtonDown(); break;
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
    const std::uint32_t* pixels = nullptr;
    HBITMAP picture =
        keep && g_overlay->showsDrawing() ? g_overlay->takeCanvas(pixels, size) : nullptr;
    // Released first, so messages sent while the window goes find no overlay.
    g_overlay.reset();
    DestroyWindow(window);
    // Compressed once the window has gone: the desktop is back at once.
    if (picture) keepPicture(pixels, size.width, size.height), DeleteObject(picture);
}

// Creates the hidden overlay and its Canvas; false, with no overlay, when there is no memory.
bool createOverlay(HDC screen, ScreenSize size) {
    HWND window = CreateDialogParamW(g_instance, MAKEINTRESOURCEW(IDD_OVERLAY), g_mainWindow,
                                     overlayProc, reinterpret_cast<LPARAM>(&size));
    if (!window) return false;
    g_overlay.emplace(window, screen, size);
    if (g_overlay->ready()) return true;
    discardOverlay(false);
    return false;
}

void showOverlay() {
    ShowWindow(g_overlay->window(), SW_SHOW);
    SetWindowPos(g_overlay->window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

} // namespace

void openOverlay() {
    if (g_overlay) {
        bringToFront(g_overlay->window());
        return;
    }
    // Read afresh: the screen may have changed since the program started.
    const ScreenSize size = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    HDC screen = GetDC(nullptr);
    if (createOverlay(screen, size)) {
        // Half a second for the tray menu to vanish from the screen before it is copied.
        Sleep(500);
        g_overlay->capture(screen);
    }
    ReleaseDC(nullptr, screen);
    if (g_overlay) showOverlay();
}

void bringBackOverlay() {
    if (g_overlay || !pictureKept()) return;
    struct IntoNewOverlay : PixelsFor {
        std::uint32_t* operator()(int width, int height) override {
            HDC screen = GetDC(nullptr);
            const bool created = createOverlay(screen, {width, height});
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
