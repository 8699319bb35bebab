// Small text, number and block-reading helpers shared by the decoder units.
#pragma once

#include <cmath>
#include <climits>
#include <string>

#include "platform/bass/bass.h"

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

// Bytes the file sources ask the host for per block.
constexpr uint32_t kBlockRequest = 8192;

// One block of a host channel into `buffer` (at least kBlockRequest bytes): the byte count, possibly 0,
// or -1 once the channel has stopped or the host failed. More than was asked for would mean a broken
// host and counts as a failure too.
inline int64_t ReadHostBlock(uint32_t handle, uint8_t* buffer) {
    if (BASS_ChannelIsActive(handle) == BASS_ACTIVE_STOPPED) return -1;
    const DWORD got = BASS_ChannelGetData(handle, buffer, kBlockRequest);
    if (static_cast<int32_t>(got) < 0 || got > kBlockRequest) return -1;
    return got;
}

}  // namespace decoder_util
