// Small text and number helpers shared by the decoder units.
#pragma once

#include <cmath>
#include <climits>
#include <string>

namespace decoder_util {

// ASCII-only case changes: extensions and format names are ASCII, and locale rules must not apply.
inline std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

inline std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Converts an already rounded or truncated value to int without undefined behaviour when a host answer was
// out of range (NaN gives 0, infinities and huge values saturate).
inline int SaturateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace decoder_util
