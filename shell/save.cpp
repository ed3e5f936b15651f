#include "save.h"

#include "app_state.h"
#include "bmp_writer.h"
#include "file_io.h"
#include "memory_stream.h"
#include "picture_name.h"
#include "png_codec.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>

namespace {

// Kept for the whole run so the dialog proposes the last name and filter.
OPENFILENAMEW g_saveDialog;
wchar_t g_fileName[MAX_PATH];
wchar_t g_fileTitle[MAX_PATH];

// Encoded in memory first, so that a picture that cannot be encoded leaves no temporary behind.
// The temporary goes beside path; commit(file) gives it its name.
template <typename Commit>
bool writePng(const std::uint32_t* pixels, int width, int height, std::size_t stride,
              const wchar_t* path, Commit commit) {
    MemoryStream png;
    if (!encodePng(pixels, width, height, &png, stride)) return false;
    tovrel::ReplacingFile file(reinterpret_cast<const char16_t*>(path));
    auto append = [](void* to, const void* bytes, std::size_t count) {
        return static_cast<tovrel::ReplacingFile*>(to)->writeAll(bytes, count);
    };
    return file.isOpen() && png.forEachPart(append, &file) && commit(file);
}

bool writePixelsAsPng(const std::uint32_t* pixels, int width, int height, const wchar_t* path,
                      std::size_t stride) {
    return writePng(pixels, width, height, stride, path,
                    [](tovrel::ReplacingFile& file) { return file.commit(); });
}

// The folder "Tovrel" in the user's Pictures folder, wherever that has been moved, made if
// missing, with a separator at the end; false when there is no Pictures folder or it cannot be
// made.
bool quickSaveFolder(wchar_t (&folder)[kSavedPathCapacity]) {
    PWSTR pictures = nullptr;
    const bool found =
        SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_DEFAULT, nullptr, &pictures)) &&
        std::wcslen(pictures) + 8 < kSavedPathCapacity;
    if (found) {
        wcscpy_s(folder, pictures);
        // A folder moved to a drive's root ends in a separator already: "D:\\".
        const std::size_t length = std::wcslen(folder);
        wcscat_s(folder, length && folder[length - 1] == L'\\' ? L"Tovrel" : L"\\Tovrel");
    }
    CoTaskMemFree(pictures);
    if (!found || (!CreateDirectoryW(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS))
        return false;
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    return wcscat_s(folder, L"\\") == 0;
}

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
    // A bare name is a BMP; the dialog gives it the chosen type's extension where it has one.
    g_saveDialog.lpstrDefExt = L"bmp";
}

const wchar_t* askSavePath(HWND owner, bool& failed) {
    static constexpr wchar_t filter[] =
        L"图片文件是：(*.bmp)\0*.bmp\0所有文件格式：(*.*)\0*.*\0PNG 图片：(*.png)\0*.png\0";
    g_saveDialog.hwndOwner = owner;
    g_saveDialog.lpstrFilter = filter;
    g_saveDialog.lpstrFile = g_fileName;
    g_saveDialog.lpstrFileTitle = g_fileTitle;
    // Without OFN_NOCHANGEDIR the chosen folder would become the current directory, which
    // Windows holds open for as long as the program runs: a USB stick could not be ejected.
    g_saveDialog.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    failed = false;
    InModalLoop modal;
    if (GetSaveFileNameW(&g_saveDialog)) return g_fileName;
    failed = CommDlgExtendedError() != 0; // a cancel is not a failure
    return nullptr;
}

bool writePicture(const std::uint32_t* pixels, int width, int height, const wchar_t* path,
                  std::size_t stride) {
    const std::size_t length = std::wcslen(path);
    const bool png = length >= 4 && _wcsicmp(path + length - 4, L".png") == 0;
    return png ? writePixelsAsPng(pixels, width, height, path, stride)
               : writePixelsAsBmp(pixels, width, height, path, stride);
}

bool writePixelsAsBmp(const std::uint32_t* pixels, int width, int height, const wchar_t* path,
                      std::size_t stride) {
    const tovrel::BitmapShape shape = {0, width, height, 3 * width, 1, 3, nullptr};
    return tovrel::writeBmp(reinterpret_cast<const char16_t*>(path), shape, pixels, stride) != 0;
}

bool quickSavePicture(const std::uint32_t* pixels, int width, int height, std::size_t stride,
                      const SYSTEMTIME& pressed, wchar_t (&path)[kSavedPathCapacity]) {
    wchar_t folder[kSavedPathCapacity];
    const tovrel::PictureTime time = {pressed.wYear, pressed.wMonth,  pressed.wDay,
                                      pressed.wHour, pressed.wMinute, pressed.wSecond};
    auto* const name = reinterpret_cast<char16_t*>(path);
    auto* const in = reinterpret_cast<const char16_t*>(folder);
    auto place = [](void* file, const char16_t* name) {
        return static_cast<tovrel::ReplacingFile*>(file)->commitAsNew(name);
    };
    // The temporary is named after the first name, and takes the first of them not taken.
    return quickSaveFolder(folder) && tovrel::pictureName(in, time, 1, name, kSavedPathCapacity) &&
           writePng(pixels, width, height, stride, path, [&](auto& file) {
               return tovrel::placeUnderFreeName(in, time, place, &file, name, kSavedPathCapacity);
           });
}
