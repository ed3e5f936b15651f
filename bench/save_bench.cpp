// The whole save of a full-screen Canvas (24-bit rows made from its pixels band by band, written
// to a temporary beside the target, flushed and moved over it) against two floors for the same
// bytes in the same folder: one raw write and flush, and an atomic save's least work, the raw
// write to a temporary and the move over the target.
#include "save.h"
#include "save_floor.h"
#include "win_timing.h"

#include <cstdio>

int main() {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    ScreenCanvas canvas(width, height);
    GdiFlush();

    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring picture = std::wstring(folder) + L"tovrel_save_bench.bmp";
    const std::wstring raw = std::wstring(folder) + L"tovrel_save_bench.raw";
    const std::wstring atomic = std::wstring(folder) + L"tovrel_save_bench.atomic";
    bool ok = writePixelsAsBmp(canvas.bits(), width, height, picture.c_str());
    const std::vector<unsigned char> bytes = readWholeFile(picture);
    ok = ok && !bytes.empty();

    auto [save, write, atomicSave] = medianPerCall(
        11, 5,
        [&](int) { ok = writePixelsAsBmp(canvas.bits(), width, height, picture.c_str()) && ok; },
        [&](int) { ok = rawWrite(raw, bytes) && ok; },
        [&](int) { ok = atomicWrite(atomic, bytes) && ok; });
    std::printf("save of a %dx%d Canvas: %.2f ms; %zu bytes: raw write %.2f ms, atomic write "
                "%.2f ms\n",
                width, height, save * 1e3, bytes.size(), write * 1e3, atomicSave * 1e3);
    std::printf("ratio save/raw-write: %.3f, save/atomic-write: %.3f\n", save / write,
                save / atomicSave);

    DeleteFileW(picture.c_str());
    DeleteFileW(raw.c_str());
    DeleteFileW(atomic.c_str());
    return ok ? 0 : 1;
}
