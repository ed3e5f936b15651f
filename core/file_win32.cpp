// ReplacingFile over KERNEL32: CreateFileW, WriteFile, FlushFileBuffers, MoveFileExW.
#include "file_io.h"

#include <algorithm>
#include <atomic>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tovrel {
namespace {

std::atomic<unsigned long> tempCounter{0};

bool startsWith(const std::wstring& s, const wchar_t* prefix) { return s.rfind(prefix, 0) == 0; }

// The temporary's name is longer than the target's; a target close to MAX_PATH would make it
// too long for the plain form, so such paths use the extended-length form, which needs a
// full path.
std::wstring extendedIfLong(const std::wstring& full, std::size_t longest) {
    if (longest < MAX_PATH || startsWith(full, L"\\\\?\\") || startsWith(full, L"\\\\.\\"))
        return full;
    if (startsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

} // namespace

struct ReplacingFile::Impl {
    std::wstring target;
    std::wstring temp;
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool committed = false;
};

ReplacingFile::ReplacingFile(const char16_t* target) : impl_(std::make_unique<Impl>()) {
    std::wstring path;
    for (; *target != 0; ++target) path += static_cast<wchar_t>(*target);
    if (path.empty()) return;
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) return;
    full.resize(n);

    const std::wstring suffix = L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (int attempt = 0; attempt < 100 && impl_->handle == INVALID_HANDLE_VALUE; ++attempt) {
        const std::wstring name = full + suffix + std::to_wstring(tempCounter.fetch_add(1));
        impl_->target = extendedIfLong(full, name.size());
        impl_->temp = extendedIfLong(name, name.size());
        impl_->handle = CreateFileW(impl_->temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (impl_->handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            impl_->temp.clear();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return;
        }
    }
}

ReplacingFile::~ReplacingFile() {
    if (impl_->handle != INVALID_HANDLE_VALUE) CloseHandle(impl_->handle);
    if (!impl_->temp.empty() && !impl_->committed) DeleteFileW(impl_->temp.c_str());
}

bool ReplacingFile::isOpen() const { return impl_->handle != INVALID_HANDLE_VALUE; }

bool ReplacingFile::writeAll(const void* data, std::uint64_t size) {
    if (impl_->handle == INVALID_HANDLE_VALUE) return false;
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
        DWORD written = 0;
        if (!WriteFile(impl_->handle, at, chunk, &written, nullptr) || written == 0) return false;
        at += written;
        size -= written;
    }
    return true;
}

bool ReplacingFile::commit() {
    if (impl_->handle == INVALID_HANDLE_VALUE) return false;
    const bool flushed = FlushFileBuffers(impl_->handle) != 0;
    const bool closed = CloseHandle(impl_->handle) != 0;
    impl_->handle = INVALID_HANDLE_VALUE;
    if (!flushed || !closed ||
        !MoveFileExW(impl_->temp.c_str(), impl_->target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false; // the destructor deletes the temporary
    impl_->committed = true;
    return true;
}

} // namespace tovrel
