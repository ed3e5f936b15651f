#include "start_with_windows.h"

#include <windows.h>

#include <cstdlib>

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValueName[] = L"Tovrel";
// The longest path the system allows, its two quotes and the terminator.
constexpr DWORD kLongestValue = 32767 + 3;

// Room for a value or a path in a block of its own: a path can be far longer than MAX_PATH.
class ValueText {
  public:
    ValueText() : text_(static_cast<wchar_t*>(std::malloc(kLongestValue * sizeof(wchar_t)))) {}
    ~ValueText() { std::free(text_); }
    ValueText(const ValueText&) = delete;
    ValueText& operator=(const ValueText&) = delete;
    wchar_t* get() const { return text_; }

  private:
    wchar_t* text_;
};

// This exe's full path in double quotes, as the Run key must hold it; its length without the
// terminator, 0 when there was no memory or the path would not fit.
DWORD quotedExePath(const ValueText& into) {
    wchar_t* text = into.get();
    if (!text) return 0;
    const DWORD room = kLongestValue - 3;
    const DWORD length = GetModuleFileNameW(nullptr, text + 1, room);
    if (length == 0 || length >= room) return 0; // at room it was cut short
    text[0] = L'"', text[length + 1] = L'"', text[length + 2] = L'\0';
    return length + 2;
}

} // namespace

bool startsWithWindows() {
    ValueText exe, value;
    DWORD bytes = kLongestValue * sizeof(wchar_t);
    // A longer value than any path cannot name this one, and reads as not there.
    return quotedExePath(exe) && value.get() &&
           RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, RRF_RT_REG_SZ, nullptr, value.get(),
                        &bytes) == ERROR_SUCCESS &&
           CompareStringOrdinal(exe.get(), -1, value.get(), -1, TRUE) == CSTR_EQUAL;
}

bool setStartWithWindows(bool start) {
    if (!start) {
        const LONG deleted = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kValueName);
        return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND; // gone already
    }
    ValueText exe;
    const DWORD length = quotedExePath(exe);
    // One call that opens the key, writes the value whole or not at all, and closes the key.
    return length && RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kValueName, REG_SZ, exe.get(),
                                     (length + 1) * sizeof(wchar_t)) == ERROR_SUCCESS;
}
