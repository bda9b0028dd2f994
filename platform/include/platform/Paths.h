#pragma once

#include <QString>

// Where the platform keeps its files. Normally the XDG folders of the user;
// when the environment variable KR_PLATFORM_ROOT names a folder, every
// location moves below it (tests and side-by-side installs use this).
namespace TPaths {

inline constexpr const char* RootVariable = "KR_PLATFORM_ROOT";

QString ConfigDir();  // per-user settings (registry current user, engine settings)
QString DataDir();    // machine-wide and class registrations, desktop entries
QString CacheDir();   // download cache
QString RuntimeDir(); // named events and other per-session objects
QString AutostartDir();
QString ApplicationsDir(); // desktop entries (URL scheme handlers)

// Folder of the running program file; the program's companions live there.
QString ProgramDir();

// Creates the folder (and its parents) when missing; false when that fails.
bool EnsureDir(const QString& Path);

} // namespace TPaths
