// A PNG of a 3840x2160 picture like a desktop's against its BMP: the file's size, the whole save's
// time (medians of saves in turn) and the save's peak memory beyond the picture. Then the picture
// thrown away and kept as a PNG in memory: what it holds against the Canvas, and bringing it back
// against a fresh overlay's opening: half a second's wait and the screen's copy, for which a copy
// from a 4K memory picture stands in (the virtual screen here is smaller). Each opening makes its
// Canvas as the overlay does, with nothing in it until the picture comes. Where bringing it back
// goes: the imaging component's decoding into 24-bit rows, the first writes into a new Canvas
// (the system's page faults), and the rest, which is the program's own: the rows spread into 32
// bits, whose whole-picture copy in the decoding counts against it.
#include "bmp_writer.h"
#include "desktop_picture.h"
#include "memory_stream.h"
#include "png_codec.h"
#include "save.h"
#include "save_floor.h"
#include "win_timing.h"

#include <psapi.h>
#include <wincodec.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kW = DesktopPicture::kWidth, kH = DesktopPicture::kHeight;

// The memory the process uses now, and the most it has used, in bytes.
std::pair<double, double> workingSet() {
    PROCESS_MEMORY_COUNTERS memory = {};
    K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    return {double(memory.WorkingSetSize), double(memory.PeakWorkingSetSize)};
}

struct IntoCanvas : PixelsFor {
    std::uint32_t* bits;
    explicit IntoCanvas(std::uint32_t* bits) : bits(bits) {}
    std::uint32_t* operator()(int width, int height) override {
        return width == kW && height == kH ? bits : nullptr;
    }
};

// The imaging component alone: the PNG decoded into 24-bit rows in memory already written once.
bool decodeRows(const std::vector<unsigned char>& png, std::vector<unsigned char>& rows) {
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    const UINT stride = tovrel::bmpRowsSize(kW, 1);
    const bool ok =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(png.data()), DWORD(png.size()))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                   &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(frame->CopyPixels(nullptr, stride, UINT(rows.size()), rows.data()));
    for (IUnknown* held : std::initializer_list<IUnknown*>{frame, decoder, stream, factory})
        if (held) held->Release();
    return ok;
}

} // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring png = std::wstring(folder) + L"tovrel_png_bench.png";
    const std::wstring bmp = std::wstring(folder) + L"tovrel_png_bench.bmp";

    // Measured first, while nothing has yet come and gone but the picture; the imaging
    // component's own memory comes with its first picture, of one pixel.
    const DesktopPicture desktop;
    bool ok = writePicture(desktop.pixels.data(), 1, 1, png.c_str());
    const auto [before, peakBefore] = workingSet();
    ok = writePicture(desktop.pixels.data(), kW, kH, png.c_str()) && ok;
    const double peak = workingSet().second;
    const double pngBytes = double(readWholeFile(png).size());

    ScreenCanvas canvas(kW, kH), screen(kW, kH); // the Canvas, and the screen's stand-in
    std::copy(desktop.pixels.begin(), desktop.pixels.end(), canvas.bits());
    std::copy(desktop.pixels.begin(), desktop.pixels.end(), screen.bits());
    GdiFlush();
    auto [pngSave, bmpSave] = medianPerCall(
        7, 1, [&](int) { ok = writePicture(canvas.bits(), kW, kH, png.c_str()) && ok; },
        [&](int) { ok = writePixelsAsBmp(canvas.bits(), kW, kH, bmp.c_str()) && ok; });
    const double bmpBytes = double(readWholeFile(bmp).size());
    std::printf("%dx%d desktop-like picture: PNG %.0f bytes, BMP %.0f bytes; saves %.1f ms and "
                "%.1f ms\n",
                kW, kH, pngBytes, bmpBytes, pngSave * 1e3, bmpSave * 1e3);
    std::printf("PNG bytes / BMP bytes: %.4f (aim: at most 0.1)\n", pngBytes / bmpBytes);
    std::printf("PNG save / BMP save (medians): %.2f (aim: at most 10)\n", pngSave / bmpSave);
    const double band = double(tovrel::bmpRowsSize(kW, tovrel::bandRows(kW)));
    if (peak > peakBefore)
        std::printf("PNG save's peak memory beyond the picture / (PNG bytes + one band): %.2f\n",
                    (peak - before) / (pngBytes + band));
    else
        std::printf("PNG save's peak memory: under the process's earlier peak, not measured\n");

    MemoryStream kept;
    ok = encodePng(canvas.bits(), kW, kH, &kept) && ok;
    std::vector<unsigned char> keptBytes(std::size_t(kept.size()));
    kept.copyTo(keptBytes.data());
    std::vector<unsigned char> rows(tovrel::bmpRowsSize(kW, kH));
    auto [back, fresh, decoding, firstWrites] = medianPerCall(
        7, 1,
        [&](int) {
            ScreenCanvas restored(kW, kH, false);
            IntoCanvas into(restored.bits());
            ok = decodePng(keptBytes.data(), keptBytes.size(), into) && ok;
        },
        [&](int) {
            ScreenCanvas frozen(kW, kH, false);
            Sleep(500);
            BitBlt(frozen.dc(), 0, 0, kW, kH, screen.dc(), 0, 0, SRCCOPY);
            GdiFlush();
        },
        [&](int) { ok = decodeRows(keptBytes, rows) && ok; },
        [&](int) {
            ScreenCanvas fresh(kW, kH, false);
            std::fill_n(fresh.bits(), std::size_t(kW) * kH, 0x00FFFFFFu);
        });
    std::printf("kept picture / Canvas: %.4f (aim: at most 0.1)\n",
                double(keptBytes.size()) / (4.0 * kW * kH));
    std::printf("bringing it back / a fresh overlay's opening (%.1f ms / %.1f ms): %.3f (aim: at "
                "most 0.5)\n",
                back * 1e3, fresh * 1e3, back / fresh);
    std::printf("bringing it back: the imaging component decoding 24-bit rows %.1f ms, a new "
                "Canvas's first writes %.1f ms, the program's own rows spread into 32 bits %.1f "
                "ms\n",
                decoding * 1e3, firstWrites * 1e3, (back - decoding - firstWrites) * 1e3);
    std::printf("bringing it back / (decoding + a new Canvas written once): %.2f (aim: at most "
                "1.2)\n",
                back / (decoding + firstWrites));

    DeleteFileW(png.c_str());
    DeleteFileW(bmp.c_str());
    return ok ? 0 : 1;
}
