// The order in which a file manager lists names, used for folder scans: letters compared without regard to
// case, runs of digits compared by their value, so "Track 2" comes before "Track 10".
#pragma once

#include <string_view>

// True when `a` is listed before `b`. Names that differ only in case or in leading zeros still get a fixed
// order (by their bytes), so sorting is deterministic. Names are UTF-8; invalid bytes compare by value.
bool NameLess(std::string_view a, std::string_view b);
