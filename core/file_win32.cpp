// ReplacingFile over KERNEL32: CreateFileW, WriteFile, FlushFileBuffers, MoveFileExW.
#include "file_io.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cwchar>

namespace tovrel {
namespace {

volatile LONG g_tempCounter = 0;

HANDLE asHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Appends text at out[length], keeping a terminator; false when it does not fit.
bool append(wchar_t* out, std::size_t capacity, std::size_t& length, const wchar_t* text) {
    for (; *text != 0; ++text) {
        if (length + 1 >= capacity) return false;
        out[length++] = *text;
    }
    out[length] = 0;
    return true;
}

bool appendNumber(wchar_t* out, std::size_t capacity, std::size_t& length, unsigned long value) {
    wchar_t digits[12] = {};
    int at = 11;
    do {
        digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return append(out, capacity, length, digits + at);
}

bool startsWith(const wchar_t* text, const wchar_t* prefix) {
    return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

// The temporary's name is longer than the target's; near MAX_PATH only the
// extended-length form, which needs a full path, can name both.
bool fullPath(const wchar_t* path, wchar_t* out, std::size_t capacity) {
    wchar_t full[1024];
    const DWORD n = GetFullPathNameW(path, 1024, full, nullptr);
    if (n == 0 || n >= 1024) return false;
    std::size_t length = 0;
    out[0] = 0;
    if (n + 40 < MAX_PATH || startsWith(full, L"\\\\?\\") || startsWith(full, L"\\\\.\\"))
        return append(out, capacity, length, full);
    if (startsWith(full, L"\\\\"))
        return append(out, capacity, length, L"\\\\?\\UNC\\") &&
               append(out, capacity, length, full + 2);
    return append(out, capacity, length, L"\\\\?\\") && append(out, capacity, length, full);
}

// An indexer or a virus scanner often opens a freshly written file for a moment; the move
// is retried for about a second before the save counts as failed. GetLastError tells why.
bool move(const wchar_t* from, const wchar_t* to, DWORD flags) {
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from, to, flags | MOVEFILE_WRITE_THROUGH)) return true;
        const DWORD error = GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                          error == ERROR_ACCESS_DENIED;
        if (!held || attempt == 20) return false;
        Sleep(50);
    }
}

} // namespace

ReplacingFile::ReplacingFile(const char16_t* target) {
    const auto* path = reinterpret_cast<const wchar_t*>(target);
    if (path[0] == 0 || !fullPath(path, target_, kPathCapacity)) return;
    for (int attempt = 0; attempt < 100 && !isOpen(); ++attempt) {
        std::size_t length = 0;
        temp_[0] = 0;
        if (!append(temp_, kPathCapacity, length, target_) ||
            !append(temp_, kPathCapacity, length, L".tmp") ||
            !appendNumber(temp_, kPathCapacity, length, GetCurrentProcessId()) ||
            !append(temp_, kPathCapacity, length, L"-") ||
            !appendNumber(temp_, kPathCapacity, length,
                          static_cast<unsigned long>(InterlockedIncrement(&g_tempCounter)))) {
            temp_[0] = 0;
            return;
        }
        HANDLE file = CreateFileW(temp_, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(file);
        } else {
            const DWORD error = GetLastError();
            temp_[0] = 0;
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return;
        }
    }
}

ReplacingFile::~ReplacingFile() {
    if (isOpen()) CloseHandle(asHandle(handle_));
    if (temp_[0] != 0 && !committed_) DeleteFileW(temp_);
}

bool ReplacingFile::writeAll(const void* data, std::uint64_t size) {
    if (!isOpen()) return false;
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(asHandle(handle_), at, chunk, &written, nullptr) || written == 0)
            return false;
        at += written;
        size -= written;
    }
    return true;
}

bool ReplacingFile::finishWriting() {
    if (!isOpen()) return written_;
    const bool flushed = FlushFileBuffers(asHandle(handle_)) != 0;
    const bool closed = CloseHandle(asHandle(handle_)) != 0;
    handle_ = kNoHandle;
    return written_ = flushed && closed && temp_[0] != 0;
}

bool ReplacingFile::commit() {
    // A read-only file is not replaced. Windows' MoveFileExW refuses it anyway; Wine's does not.
    const DWORD attributes = GetFileAttributesW(target_);
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly || !finishWriting() || !move(temp_, target_, MOVEFILE_REPLACE_EXISTING))
        return false; // the destructor deletes the temporary
    return committed_ = true;
}

Placing ReplacingFile::commitAsNew(const char16_t* name) {
    wchar_t full[kPathCapacity];
    if (!finishWriting() || !fullPath(reinterpret_cast<const wchar_t*>(name), full, kPathCapacity))
        return Placing::Failed;
    if (move(temp_, full, 0)) {
        committed_ = true;
        return Placing::Placed;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Placing::Taken
                                                                       : Placing::Failed;
}

} // namespace tovrel
