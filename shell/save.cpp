#include "save.h"

#include "bmp_writer.h"
#include "overlay.h"

#include <commdlg.h>

#include <cstddef>

namespace {

// Kept for the whole run so the dialog proposes the last name and filter.
OPENFILENAMEW g_saveDialog;
wchar_t g_fileName[MAX_PATH];
wchar_t g_fileTitle[MAX_PATH];

// Makes the save dialog and its prompts topmost as they activate: they are owned
// by the hidden main window and would otherwise open behind the topmost overlay.
class TopmostDialogs {
  public:
    TopmostDialogs() : hook_(SetWindowsHookExW(WH_CBT, onCbt, nullptr, GetCurrentThreadId())) {}
    ~TopmostDialogs() {
        if (hook_) UnhookWindowsHookEx(hook_);
    }
    TopmostDialogs(const TopmostDialogs&) = delete;
    TopmostDialogs& operator=(const TopmostDialogs&) = delete;

  private:
    static LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE)
            SetWindowPos(reinterpret_cast<HWND>(wParam), HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_;
};

class HeapBuffer {
  public:
    explicit HeapBuffer(std::size_t size) : data_(HeapAlloc(GetProcessHeap(), 0, size)) {}
    ~HeapBuffer() {
        if (data_) HeapFree(GetProcessHeap(), 0, data_);
    }
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    void* data() const { return data_; }

  private:
    void* data_;
};

bool askFileName() {
    static constexpr wchar_t filter[] = L"图片文件是：(*.bmp)\0*.bmp\0所有文件格式：(*.*)\0*.*\0";
    g_saveDialog.lpstrFilter = filter;
    g_saveDialog.lpstrFile = g_fileName;
    g_saveDialog.lpstrFileTitle = g_fileTitle;
    g_saveDialog.Flags = OFN_OVERWRITEPROMPT;
    TopmostDialogs topmost;
    return GetSaveFileNameW(&g_saveDialog) != FALSE;
}

void reportSaveFailure() {
    // No owner to change; topmost so it is not hidden behind the overlay. Wine ignores
    // MB_TOPMOST, so the box is also made topmost as it activates.
    TopmostDialogs topmost;
    MessageBoxW(nullptr, L"保存失败", L"提示信息", MB_OK | MB_TOPMOST);
}

} // namespace

bool writeWindowPicture(HWND window, HDC windowDc, const wchar_t* path) {
    // Parts a dialog covered are repainted before they are read.
    UpdateWindow(window);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC memory = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
    HGDIOBJ original = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);

    BITMAPINFO request = {};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = width;
    request.bmiHeader.biHeight = height; // positive: bottom-up rows, as the file stores them
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 24;
    request.bmiHeader.biCompression = BI_RGB;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    HeapBuffer pixels(stride * static_cast<std::size_t>(height));
    const int rows = pixels.data() ? GetDIBits(memory, bitmap, 0, static_cast<UINT>(height),
                                               pixels.data(), &request, DIB_RGB_COLORS)
                                   : 0;
    SelectObject(memory, original);
    DeleteObject(bitmap);
    DeleteDC(memory);
    if (rows != height) return false;

    const tovrel::BitmapShape shape = {0, width, height, 3 * width, 1, 3, nullptr};
    return tovrel::writeBmp(reinterpret_cast<const char16_t*>(path), shape, pixels.data()) != 0;
}

void initSaveDialogRecord(HWND owner) {
    g_saveDialog = {};
    g_saveDialog.lStructSize = sizeof(g_saveDialog);
    g_saveDialog.hwndOwner = owner;
    g_saveDialog.lpstrFile = g_fileName;
    g_saveDialog.nMaxFile = MAX_PATH;
    g_saveDialog.lpstrFileTitle = g_fileTitle;
    g_saveDialog.nMaxFileTitle = MAX_PATH;
    g_saveDialog.Flags = OFN_HIDEREADONLY;
    // The content is always BMP, whatever filter is chosen.
    g_saveDialog.lpstrDefExt = L"bmp";
}

void saveCanvasAsBmp() {
    if (askFileName()) {
        // The overlay may have been closed from the tray while the dialog was open.
        HWND overlay = overlayWindow();
        if (!overlay || !writeWindowPicture(overlay, overlayWindowDc(), g_fileName))
            reportSaveFailure();
    } else if (CommDlgExtendedError() != 0) {
        reportSaveFailure(); // a cancel leaves no extended error and is not a failure
    }
    // The dialog handed activation to its hidden owner; Esc must reach the overlay again.
    if (HWND overlay = overlayWindow()) SetForegroundWindow(overlay);
}
