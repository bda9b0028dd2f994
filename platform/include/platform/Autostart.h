#pragma once

#include <QString>

// The registry's Run key of the current user stands for the programs started
// when the user logs on; on this platform that is the XDG autostart folder.
// TRegistry keeps one desktop entry there for every text value of that key.
namespace TAutostart {

// The Run key, relative to the current user's hive.
inline constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// True for the Run key's path (backslash-separated, case-insensitive).
bool IsRunKey(const QString& KeyPath);

// The desktop entry file that stands for the Run value Name.
QString EntryFile(const QString& Name);

// The Exec line for a Run value's command: the program path (the longest
// leading part of Command that names an existing file, else all of it) quoted,
// then the remaining arguments, escaped as desktop entries require.
QString ExecLine(const QString& Command);

// Writes (atomically) or removes the entry for the Run value Name. False when
// the file could not be written or removed; a missing entry removes fine.
bool WriteEntry(const QString& Name, const QString& Command);
bool RemoveEntry(const QString& Name);

} // namespace TAutostart
