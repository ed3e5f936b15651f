#include "memory_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

MemoryStream::~MemoryStream() {
    for (std::size_t i = 0; i < chunkCount_; ++i)
        std::free(chunks_[i]);
    std::free(chunks_);
}

void MemoryStream::copyTo(unsigned char* out) const {
    for (std::uint64_t at = 0; at < size_; at += kChunk)
        std::memcpy(out + at, chunks_[at / kChunk], std::min<std::uint64_t>(kChunk, size_ - at));
}

bool MemoryStream::forEachPart(bool (*write)(void*, const void*, std::size_t),
                               void* context) const {
    for (std::uint64_t at = 0; at < size_; at += kChunk)
        if (!write(context, chunks_[at / kChunk], std::min<std::uint64_t>(kChunk, size_ - at)))
            return false;
    return true;
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
    for (ULONG done = 0; done < n;) {
        const std::size_t offset = position_ % kChunk;
        const std::size_t part = std::min<std::size_t>(kChunk - offset, n - done);
        std::memcpy(static_cast<unsigned char*>(into) + done, chunks_[position_ / kChunk] + offset,
                    part);
        done += static_cast<ULONG>(part);
        position_ += part;
    }
    if (read) *read = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT MemoryStream::Write(const void* from, ULONG count, ULONG* written) {
    if (written) *written = 0;
    if (!reach(position_ + count)) return STG_E_MEDIUMFULL;
    for (ULONG done = 0; done < count;) {
        const std::size_t offset = position_ % kChunk;
        const std::size_t part = std::min<std::size_t>(kChunk - offset, count - done);
        std::memcpy(chunks_[position_ / kChunk] + offset,
                    static_cast<const unsigned char*>(from) + done, part);
        done += static_cast<ULONG>(part);
        position_ += part;
    }
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
    for (std::uint64_t at = size.QuadPart; at < size_;) {
        const std::size_t part = std::min<std::uint64_t>(kChunk - at % kChunk, size_ - at);
        std::memset(chunks_[at / kChunk] + at % kChunk, 0, part);
        at += part;
    }
    size_ = size.QuadPart;
    return S_OK;
}

HRESULT MemoryStream::Stat(STATSTG* stat, DWORD) {
    *stat = {};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = size_;
    return S_OK;
}
