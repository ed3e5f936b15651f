// Saving a full-screen Canvas against the floor, one raw write and flush of the same number of
// bytes to the same folder: the whole save (24-bit rows from the Canvas's pixels, then writeBmp),
// and writeBmp alone (a temporary beside the target, flushed and moved over it).
#include "bmp_writer.h"
#include "save.h"
#include "win_timing.h"

#include <cstdio>
#include <string>

namespace {

bool rawWrite(const std::wstring& path, const void* bytes, DWORD size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, size, &written, nullptr) && written == size &&
                    FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

} // namespace

int main() {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    ScreenCanvas canvas(width, height);
    GdiFlush();

    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring picture = std::wstring(folder) + L"tovrel_save_bench.bmp";
    const std::wstring raw = std::wstring(folder) + L"tovrel_save_bench.raw";
    const DWORD rowBytes = static_cast<DWORD>(tovrel::bmpRowsSize(width, height));
    auto* bytes = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, 54 + rowBytes));
    tovrel::packBmpRows(canvas.bits(), width, height, bytes + 54);
    const tovrel::BitmapShape shape = {0, width, height, 3 * width, 1, 3, nullptr};
    const auto* path = reinterpret_cast<const char16_t*>(picture.c_str());

    bool ok = true;
    auto [save, saveFloor] = medianPerCall(
        7, 5,
        [&](int) { ok = writePixelsAsBmp(canvas.bits(), width, height, picture.c_str()) && ok; },
        [&](int) { ok = rawWrite(raw, bytes, 54 + rowBytes) && ok; });
    auto [writer, writerFloor] = medianPerCall(
        7, 5, [&](int) { ok = tovrel::writeBmp(path, shape, bytes + 54) == 1 && ok; },
        [&](int) { ok = rawWrite(raw, bytes, 54 + rowBytes) && ok; });
    std::printf("%dx%d picture, raw write and flush of %lu bytes: %.2f ms\n", width, height,
                static_cast<unsigned long>(54 + rowBytes), saveFloor * 1e3);
    std::printf("ratio whole save (rows from the Canvas, writeBmp) / raw write: %.3f\n",
                save / saveFloor);
    std::printf("ratio writeBmp / raw write: %.3f\n", writer / writerFloor);

    DeleteFileW(picture.c_str());
    DeleteFileW(raw.c_str());
    HeapFree(GetProcessHeap(), 0, bytes);
    return ok ? 0 : 1;
}
