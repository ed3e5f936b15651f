// Saving the drawing as a BMP or PNG file: the save dialog and its record, Ctrl+S's file, and the
// picture's conversion to the file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

void initSaveDialogRecord(HWND owner);
// Asks for a file name with a dialog owned by owner; the chosen path, or null when the user
// cancelled or the dialog failed (failed then tells which).
const wchar_t* askSavePath(HWND owner, bool& failed);

// Writes width x height 32-bit top-down pixels, a row every stride pixels (0: every width), as a
// 24-bit file whose content matches its name: a PNG when the name ends in .png (in any case), a
// BMP otherwise. The file replaces any file at path only once it is whole; false when it could
// not, with that file left as it was.
bool writePicture(const std::uint32_t* pixels, int width, int height, const wchar_t* path,
                  std::size_t stride = 0);
bool writePixelsAsBmp(const std::uint32_t* pixels, int width, int height, const wchar_t* path,
                      std::size_t stride = 0);
// Paths as the file layer takes them; longer ones are refused.
inline constexpr std::size_t kSavedPathCapacity = 1024;
// Ctrl+S: writes the pixels (a row every stride pixels) as writePicture writes a PNG into the
// folder "Tovrel" in the user's Pictures folder, which it makes if missing, named for the local
// time pressed with a number when that name is taken, and gives its full path; never replaces a
// file. False when it could not, with no file and no temporary left.
bool quickSavePicture(const std::uint32_t* pixels, int width, int height, std::size_t stride,
                      const SYSTEMTIME& pressed, wchar_t (&path)[kSavedPathCapacity]);
