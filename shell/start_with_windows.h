// 开机启动: the current user's Run key starts this program at sign-in.
#pragma once

// Whether the value "Tovrel" under HKCU's Run key holds this exe's full path in double quotes,
// in any case.
bool startsWithWindows();
// Writes that value as this exe's quoted path, or deletes it. False when the key could not be
// opened or written; the value is then as it was.
bool setStartWithWindows(bool start);
