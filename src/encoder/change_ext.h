// File-name helper shared by the writers that choose their own extension.
#pragma once

#include <string>

// Replaces the extension (from the last dot of the last path component) with `extension`, which includes
// its dot; a name without one gets it appended.
inline std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
    const size_t pos = fileName.find_last_of("./");
    if (pos == std::string::npos || fileName[pos] != '.') return fileName + extension;
    return fileName.substr(0, pos) + extension;
}
