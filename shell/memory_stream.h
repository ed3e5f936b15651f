// An IStream in memory for the image encoder to write into.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <cstddef>
#include <cstdint>

// Grows in chunks, so that it never moves or copies what it already holds: a picture's encoded
// bytes cost their own size, not twice it while a buffer is reallocated. Seekable, as an encoder
// may expect. It lives as long as its owner: every COM user must be released before it goes.
class MemoryStream final : public IStream {
  public:
    MemoryStream() = default;
    ~MemoryStream();
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::uint64_t size() const { return size_; }
    // Copies all size() bytes to out.
    void copyTo(unsigned char* out) const;
    // Hands the bytes, in order, to write(context, bytes, count); false as soon as it does.
    bool forEachPart(bool (*write)(void* context, const void* bytes, std::size_t count),
                     void* context) const;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    HRESULT STDMETHODCALLTYPE Read(void* into, ULONG count, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* from, ULONG count, ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

  private:
    static constexpr std::size_t kChunk = 64 << 10;

    // Chunks enough for end bytes, zero-filled; false when out of memory.
    bool reach(std::uint64_t end);

    unsigned char** chunks_ = nullptr;
    std::size_t chunkCount_ = 0, chunkCapacity_ = 0;
    std::uint64_t size_ = 0, position_ = 0;
    ULONG references_ = 1;
};
