// The whole save of a full-screen Canvas (24-bit rows made from its pixels band by band, written
// to a temporary beside the target, flushed and moved over it) against the floor: one raw write
// and flush of the same number of bytes to the same folder.
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
    const DWORD fileSize = 54 + static_cast<DWORD>(tovrel::bmpRowsSize(width, height));
    void* bytes = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, fileSize);

    bool ok = true;
    auto [save, write] = medianPerCall(
        7, 5,
        [&](int) { ok = writePixelsAsBmp(canvas.bits(), width, height, picture.c_str()) && ok; },
        [&](int) { ok = rawWrite(raw, bytes, fileSize) && ok; });
    std::printf("save of a %dx%d Canvas: %.2f ms, raw write of %lu bytes: %.2f ms\n", width, height,
                save * 1e3, static_cast<unsigned long>(fileSize), write * 1e3);
    std::printf("ratio save/raw-write: %.3f\n", save / write);

    DeleteFileW(picture.c_str());
    DeleteFileW(raw.c_str());
    HeapFree(GetProcessHeap(), 0, bytes);
    return ok ? 0 : 1;
}
