// The floors a save is measured against, given the bytes of the file it made: a raw write, and
// the least an atomic save must do with them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline std::vector<unsigned char> readWholeFile(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size;
    DWORD read = 0;
    if (GetFileSizeEx(file, &size) && size.QuadPart < 0xFFFFFFFF) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
            read != bytes.size())
            bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

// One write of all the bytes and a flush.
inline bool rawWrite(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    const bool ok = WriteFile(file, bytes.data(), size, &written, nullptr) && written == size &&
                    FlushFileBuffers(file);
    return CloseHandle(file) && ok;
}

// The raw write to a new temporary beside target, then the move over target that no atomic save
// can skip, with the flags core/file_win32.cpp moves with.
inline bool atomicWrite(const std::wstring& target, const std::vector<unsigned char>& bytes) {
    const std::wstring temp = target + L".floor";
    return rawWrite(temp, bytes) && MoveFileExW(temp.c_str(), target.c_str(),
                                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}
