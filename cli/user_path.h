// The user's own Path (HKEY_CURRENT_USER\Environment), which the installer
// extends by the install folder and the uninstaller gives back. The value is
// read whole, however long, and keeps its type; one that cannot be read whole
// is never written.
#pragma once

#include <windows.h>

#include <string>

enum class PathChange { Changed, Unchanged, Failed };

// Adds `folder` as the last entry, unless an entry already names it.
PathChange AddFolderToUserPath(const std::wstring& folder, std::wstring* problem);
// Removes the entries that are exactly `folder` (without regard to case)
// with the separator the add put beside them; everything else stays as it is.
PathChange RemoveFolderFromUserPath(const std::wstring& folder, std::wstring* problem);
