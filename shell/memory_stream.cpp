#include "memory_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Hands part(bytes, done, length) the count bytes from at, a chunk's share at a time, done being
// how many came before; false as soon as part is.
template <typename Part>
bool walk(unsigned char* const* chunks, std::size_t chunk, std::uint64_t at, std::uint64_t count,
          Part part) {
    for (std::uint64_t done = 0; done < count;) {
        const std::size_t offset = std::size_t((at + done) % chunk);
        const std::size_t length =
            std::size_t(std::min<std::uint64_t>(chunk - offset, count - done));
        if (!part(chunks[(at + done) / chunk] + offset, std::size_t(done), length)) return false;
        done += length;
    }
    return true;
}

} // namespace

MemoryStream::~MemoryStream() {
    for (std::size_t i = 0; i < chunkCount_; ++i)
        std::free(chunks_[i]);
    std::free(chunks_);
}

void MemoryStream::copyTo(unsigned char* out) const {
    walk(chunks_, kChunk, 0, size_, [&](unsigned char* bytes, std::size_t done, std::size_t n) {
        std::memcpy(out + done, bytes, n);
        return true;
    });
}

bool MemoryStream::forEachPart(bool (*write)(void*, const void*, std::size_t),
                               void* context) const {
    return walk(chunks_, kChunk, 0, size_, [&](unsigned char* bytes, std::size_t, std::size_t n) {
        return write(context, bytes, n);
    });
}

HRESULT MemoryStream::QueryInterface(REFIID id, void** object) {
    if (id == IID_IUnknown || id == IID_ISequentialStream || id == IID_IStream) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

bool MemoryStream::reach(std::uint64_t end) {
    const std::uint64_t needed = (end + kChunk - 1) / kChunk;
    if (needed > SIZE_MAX / sizeof(void*)) return false;
    if (needed > chunkCapacity_) {
        const std::size_t more = std::max<std::size_t>(needed, 2 * chunkCapacity_);
        void* bigger = std::realloc(chunks_, more * sizeof(void*));
        if (!bigger) return false;
        chunks_ = static_cast<unsigned char**>(bigger);
        chunkCapacity_ = more;
    }
    for (; chunkCount_ < needed; ++chunkCount_)
        if (!(chunks_[chunkCount_] = static_cast<unsigned char*>(std::calloc(1, kChunk))))
            return false;
    return true;
}

HRESULT MemoryStream::Read(void* into, ULONG count, ULONG* read) {
    const std::uint64_t available = position_ < size_ ? size_ - position_ : 0;
    const ULONG n = static_cast<ULONG>(std::min<std::uint64_t>(count, available));
    walk(chunks_, kChunk, position_, n, [&](unsigned char* bytes, std::size_t done, std::size_t k) {
        std::memcpy(static_cast<unsigned char*>(into) + done, bytes, k);
        return true;
    });
    position_ += n;
    if (read) *read = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT MemoryStream::Write(const void* from, ULONG count, ULONG* written) {
    if (written) *written = 0;
    if (!reach(position_ + count)) return STG_E_MEDIUMFULL;
    walk(chunks_, kChunk, position_, count,
         [&](unsigned char* bytes, std::size_t done, std::size_t n) {
             std::memcpy(bytes, static_cast<const unsigned char*>(from) + done, n);
             return true;
         });
    position_ += count;
    size_ = std::max(size_, position_);
    if (written) *written = count;
    return S_OK;
}

HRESULT MemoryStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    const std::int64_t base = origin == STREAM_SEEK_SET   ? 0
                              : origin == STREAM_SEEK_CUR ? std::int64_t(position_)
                              : origin == STREAM_SEEK_END ? std::int64_t(size_)
                                                          : -1;
    if (base < 0) return STG_E_INVALIDFUNCTION;
    if (base + move.QuadPart < 0) return STG_E_INVALIDFUNCTION;
    position_ = std::uint64_t(base + move.QuadPart);
    if (position) position->QuadPart = position_;
    return S_OK;
}

// Bytes beyond a shrunk end stay in their chunk; reach() zeroes only chunks it adds, so they are
// cleared here for a later growth to read zeros.
HRESULT MemoryStream::SetSize(ULARGE_INTEGER size) {
    if (size.QuadPart > size_ && !reach(size.QuadPart)) return STG_E_MEDIUMFULL;
    if (size.QuadPart < size_)
        walk(chunks_, kChunk, size.QuadPart, size_ - size.QuadPart,
             [](unsigned char* bytes, std::size_t, std::size_t n) {
                 std::memset(bytes, 0, n);
                 return true;
             });
    size_ = size.QuadPart;
    return S_OK;
}

HRESULT MemoryStream::Stat(STATSTG* stat, DWORD) {
    *stat = {};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = size_;
    return S_OK;
}
