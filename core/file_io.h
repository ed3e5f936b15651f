// Builds a new file beside its target and then puts it in the target's place in
// one step, so a failed save never costs the file that was there, and a file is
// never seen half-written under its name. Implemented by file_win32.cpp
// (CreateFileW, WriteFile, FlushFileBuffers, MoveFileExW).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovrel {

// What became of a file given a name that must not replace another.
enum class Placing { Placed, Taken, Failed };

class ReplacingFile {
  public:
    // Creates a new, empty temporary in the folder of target (a UTF-16 path) under a
    // name no other save is using. Check isOpen() afterwards.
    explicit ReplacingFile(const char16_t* target);
    // Abandons the temporary unless commit() succeeded: closes it and deletes it.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool isOpen() const { return handle_ != kNoHandle; }
    // Appends all size bytes; false if the platform reported an error. A partial
    // write is continued from where it stopped; nothing else splits the data.
    bool writeAll(const void* data, std::uint64_t size);
    // Flushes the temporary, closes it and moves it over the target, replacing an
    // existing file atomically unless it is read-only. On false the temporary is gone
    // and the target is as it was.
    bool commit();
    // Flushes and closes the temporary (the first time) and moves it to name, a full
    // path in the target's folder, unless something has that name: Taken then, and the
    // temporary waits for another name. Never replaces a file.
    Placing commitAsNew(const char16_t* name);

  private:
    // Flushes and closes the temporary once; false if that ever failed.
    bool finishWriting();

    // Longer paths are refused; fixed buffers keep the program free of a heap string library.
    static constexpr std::size_t kPathCapacity = 1024;
    static constexpr std::intptr_t kNoHandle = -1; // also INVALID_HANDLE_VALUE

    std::intptr_t handle_ = kNoHandle; // a HANDLE
    bool committed_ = false;
    bool written_ = false;
    wchar_t target_[kPathCapacity] = {};
    wchar_t temp_[kPathCapacity] = {};
};

} // namespace tovrel
