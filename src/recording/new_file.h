// The recording's file, created in one step: a new file or nothing, never an existing one and
// never through a link planted at its name (or, on Windows, a reparse point). A check that the
// name is free followed by an open would follow whatever appeared in between. Each platform
// implements it once (posix/, win32/).
#pragma once

#include <cstdio>
#include <string>

namespace tavelor::recording {

// Open for writing, binary; nullptr with errno set (EEXIST when anything is there already).
std::FILE* CreateNewFile(const std::string& path);

}  // namespace tavelor::recording
