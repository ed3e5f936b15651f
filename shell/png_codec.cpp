#include "png_codec.h"

#include "bmp_writer.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Holds one COM reference and releases it.
template <typename T> class Com {
  public:
    Com() = default;
    ~Com() {
        if (p_) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** put() { return &p_; }

  private:
    T* p_ = nullptr;
};

bool createFactory(Com<IWICImagingFactory>& factory) {
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(factory.put())));
}

// Of the encoder's filters, each row as its difference from the row above compresses a screen,
// with its flat areas, text and photos, about as well as the adaptive choice, in two thirds of
// the time.
void chooseUpFilter(IPropertyBag2* options) {
    PROPBAG2 name = {};
    name.pstrName = const_cast<LPOLESTR>(L"FilterOption");
    VARIANT value = {};
    value.vt = VT_UI1;
    value.bVal = WICPngFilterUp;
    if (FAILED(options->Write(1, &name, &value))) {
        // An encoder without the option filters its own way: slower, and just as correct.
    }
}

// Hands band a buffer of 24-bit rows, as the BMP writer makes them, for about 256 KiB of the
// picture's rows at a time: each band is made or read while it is still in the cache. False when
// out of memory or when band says so.
template <typename Band> bool inBands(int width, int height, Band band) {
    const std::size_t stride = tovrel::bmpRowsSize(width, 1);
    const int rowsPerBand = tovrel::bandRows(width);
    auto* rows = static_cast<unsigned char*>(std::malloc(stride * rowsPerBand));
    bool ok = rows != nullptr;
    for (int first = 0; ok && first < height; first += rowsPerBand)
        ok = band(first, std::min(rowsPerBand, height - first), rows, stride);
    std::free(rows);
    return ok;
}

bool writeFrame(IWICBitmapFrameEncode* frame, const std::uint32_t* pixels, int width, int height,
                std::size_t pixelStride) {
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetSize(UINT(width), UINT(height))) ||
        FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR)
        return false;
    // Top-down here, one row packed at a time (the BMP writer packs them bottom-up).
    return inBands(width, height,
                   [&](int first, int count, unsigned char* rows, std::size_t stride) {
                       for (int row = 0; row < count; ++row)
                           tovrel::packBmpRows(pixels + std::size_t(first + row) * pixelStride,
                                               width, 1, 0, 1, rows + stride * row);
                       return SUCCEEDED(frame->WritePixels(UINT(count), UINT(stride),
                                                           UINT(stride * count), rows));
                   }) &&
           SUCCEEDED(frame->Commit());
}

// The frame's 24-bit rows spread into 32-bit pixels a band at a time: the imaging component's own
// conversion to 32 bits would first copy the whole picture into a buffer of its own, a second
// picture's worth of fresh memory.
bool readFrame(IWICBitmapSource* frame, int width, int height, std::uint32_t* pixels) {
    return inBands(
        width, height, [&](int first, int count, unsigned char* rows, std::size_t stride) {
            const WICRect part = {0, first, width, count};
            if (FAILED(frame->CopyPixels(&part, UINT(stride), UINT(stride * count), rows)))
                return false;
            for (int row = 0; row < count; ++row) {
                const unsigned char* from = rows + stride * row;
                std::uint32_t* to = pixels + std::size_t(first + row) * width;
                for (int x = 0; x < width; ++x, from += 3)
                    to[x] = from[0] | from[1] << 8 | std::uint32_t(from[2]) << 16;
            }
            return true;
        });
}

} // namespace

bool encodePng(const std::uint32_t* pixels, int width, int height, IStream* out,
               std::size_t stride) {
    Com<IWICImagingFactory> factory;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> options;
    if (width <= 0 || height <= 0 || !createFactory(factory) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(out, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), options.put())))
        return false;
    chooseUpFilter(options.get());
    return SUCCEEDED(frame->Initialize(options.get())) &&
           writeFrame(frame.get(), pixels, width, height, stride ? stride : std::size_t(width)) &&
           SUCCEEDED(encoder->Commit());
}

bool decodePng(const unsigned char* png, std::size_t size, PixelsFor& pixelsFor) {
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    WICPixelFormatGUID format = {};
    UINT width = 0, height = 0;
    if (size > 0xFFFFFFFFu || !createFactory(factory) ||
        FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(png), DWORD(size))) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) || FAILED(frame->GetSize(&width, &height)) ||
        FAILED(frame->GetPixelFormat(&format)) || width == 0 || height == 0 || width > 0x7FFF ||
        height > 0x7FFF)
        return false;
    // The program's own PNGs decode as 24-bit rows; others are converted to them first.
    IWICBitmapSource* rows = frame.get();
    if (format != GUID_WICPixelFormat24bppBGR) {
        if (FAILED(factory->CreateFormatConverter(converter.put())) ||
            FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat24bppBGR,
                                         WICBitmapDitherTypeNone, nullptr, 0,
                                         WICBitmapPaletteTypeCustom)))
            return false;
        rows = converter.get();
    }
    std::uint32_t* pixels = pixelsFor(int(width), int(height));
    return pixels && readFrame(rows, int(width), int(height), pixels);
}
