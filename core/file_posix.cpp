// ReplacingFile over POSIX: open(O_EXCL), write, fsync, rename(2). Used by the native tests
// and benchmarks; paths are converted from UTF-16 to UTF-8.
#include "file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace tovrel {
namespace {

// Empty when the path is empty or holds an unpaired surrogate.
std::string toUtf8(const char16_t* in) {
    std::string out;
    for (; *in != 0; ++in) {
        std::uint32_t c = *in;
        if (c >= 0xD800 && c <= 0xDBFF && in[1] >= 0xDC00 && in[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (in[1] - 0xDC00);
            ++in;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return {};
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::atomic<unsigned> tempCounter{0};

// Copies text into out, terminated; false when it does not fit.
bool copyPath(const std::string& text, char* out, std::size_t capacity) {
    if (text.empty() || text.size() >= capacity) return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

} // namespace

ReplacingFile::ReplacingFile(const char16_t* target) {
    const std::string path = toUtf8(target);
    if (!copyPath(path, target_, kPathCapacity)) return;
    // A file the caller may not write is not replaced either, as on Windows, where MoveFileExW
    // refuses to replace a read-only file.
    if (::access(target_, F_OK) == 0 && ::access(target_, W_OK) != 0) return;
    const std::string stem = path + ".tmp" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100 && !isOpen(); ++attempt) {
        const std::string name = stem + std::to_string(tempCounter.fetch_add(1));
        if (!copyPath(name, temp_, kPathCapacity)) return;
        const int fd = ::open(temp_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            handle_ = fd;
        } else {
            temp_[0] = 0;
            if (errno != EEXIST) return;
        }
    }
}

ReplacingFile::~ReplacingFile() {
    if (isOpen()) ::close(static_cast<int>(handle_));
    if (temp_[0] != 0 && !committed_) ::unlink(temp_);
}

bool ReplacingFile::writeAll(const void* data, std::uint64_t size) {
    if (!isOpen()) return false;
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        // Linux moves at most 0x7FFFF000 bytes per call; the rest follows as a partial write.
        const ssize_t n =
            ::write(static_cast<int>(handle_), at, std::min<std::uint64_t>(size, SSIZE_MAX));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
        size -= static_cast<std::uint64_t>(n);
    }
    return true;
}

bool ReplacingFile::commit() {
    if (!isOpen()) return false;
    const bool flushed = ::fsync(static_cast<int>(handle_)) == 0;
    const bool closed = ::close(static_cast<int>(handle_)) == 0;
    handle_ = kNoHandle;
    if (!flushed || !closed || ::rename(temp_, target_) != 0)
        return false; // the destructor removes the temporary
    committed_ = true;
    // Make the rename itself durable. The target is already replaced, so a failure here cannot
    // be undone and is not reported.
    const std::string target = target_;
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : target.substr(0, slash);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace tovrel
