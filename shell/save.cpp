#include "save.h"

#include "bmp_writer.h"

#include <commdlg.h>

#include <cstddef>

namespace {

// Kept for the whole run so the dialog proposes the last name and filter.
OPENFILENAMEW g_saveDialog;
wchar_t g_fileName[MAX_PATH];
wchar_t g_fileTitle[MAX_PATH];

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

} // namespace

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

const wchar_t* askSavePath() {
    static constexpr wchar_t filter[] = L"图片文件是：(*.bmp)\0*.bmp\0所有文件格式：(*.*)\0*.*\0";
    g_saveDialog.lpstrFilter = filter;
    g_saveDialog.lpstrFile = g_fileName;
    g_saveDialog.lpstrFileTitle = g_fileTitle;
    g_saveDialog.Flags = OFN_OVERWRITEPROMPT;
    if (GetSaveFileNameW(&g_saveDialog)) return g_fileName;
    if (CommDlgExtendedError() != 0) reportSaveFailure(); // a cancel is not a failure
    return nullptr;
}

void reportSaveFailure() {
    MessageBoxW(nullptr, L"保存失败", L"提示信息", MB_OK | MB_TOPMOST);
}

bool writeBitmapAsBmp(HDC dc, HBITMAP bitmap, int width, int height, const wchar_t* path) {
    BITMAPINFO request = {};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = width;
    request.bmiHeader.biHeight = height; // positive: bottom-up rows, as the file stores them
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 24;
    request.bmiHeader.biCompression = BI_RGB;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    HeapBuffer pixels(stride * static_cast<std::size_t>(height));
    if (!pixels.data() || GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                    &request, DIB_RGB_COLORS) != height)
        return false;
    const tovrel::BitmapShape shape = {0, width, height, 3 * width, 1, 3, nullptr};
    return tovrel::writeBmp(reinterpret_cast<const char16_t*>(path), shape, pixels.data()) != 0;
}
