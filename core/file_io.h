// The file operations the drawing core needs: build a new file beside its target and then
// put it in the target's place in one step. Two implementations are chosen at build time:
// file_win32.cpp (CreateFileW, WriteFile, FlushFileBuffers, MoveFileExW) and file_posix.cpp
// (open, write, fsync, rename).
#pragma once

#include <cstdint>
#include <memory>

namespace tovrel {

class ReplacingFile {
  public:
    // Creates a new, empty temporary file in the folder of target (UTF-16 path) under a name
    // no other save is using. Check isOpen() afterwards.
    explicit ReplacingFile(const char16_t* target);
    // Abandons the temporary unless commit() succeeded: closes it and deletes it.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool isOpen() const;
    // Appends all size bytes; false if the platform reported an error or wrote fewer bytes.
    // A partial write is continued from where it stopped; nothing else splits the data.
    bool writeAll(const void* data, std::uint64_t size);
    // Flushes the temporary to disk, closes it and moves it over target, replacing an existing
    // file atomically. On false the temporary is gone and target is as it was.
    bool commit();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tovrel
