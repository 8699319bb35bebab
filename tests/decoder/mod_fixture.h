// A tiny ProTracker module written byte by byte: one looped square-wave sample played on the first
// channel for 16 rows, then a pattern break ends the song (about 1.92 s at speed 6, 125 BPM).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace dectest {

inline std::vector<uint8_t> TinyModule() {
    std::vector<uint8_t> m(20, 0);
    std::memcpy(m.data(), "wavetrove tiny", 14);
    const int sampleWords = 32;  // 64 bytes of sample data
    for (int i = 0; i < 31; ++i) {
        uint8_t header[30] = {};
        if (i == 0) {
            std::memcpy(header, "square", 6);
            header[23] = sampleWords;  // length in words, big-endian
            header[25] = 64;           // volume
            header[29] = sampleWords;  // loop over the whole sample
        }
        m.insert(m.end(), header, header + 30);
    }
    m.push_back(1);    // song length: one order
    m.push_back(127);  // restart position (unused)
    m.insert(m.end(), 128, 0);
    for (char c : {'M', '.', 'K', '.'}) m.push_back(static_cast<uint8_t>(c));
    std::vector<uint8_t> pattern(64 * 4 * 4, 0);
    const int period = 428;  // C-3
    pattern[0] = static_cast<uint8_t>((1 & 0xF0) | (period >> 8));
    pattern[1] = period & 0xFF;
    pattern[2] = (1 & 0x0F) << 4;
    pattern[15 * 16 + 2] = 0x0D;  // row 15, channel 1: pattern break ends the only order
    m.insert(m.end(), pattern.begin(), pattern.end());
    for (int i = 0; i < 64; ++i) m.push_back(static_cast<uint8_t>(i < 32 ? 64 : -64));
    return m;
}

}  // namespace dectest
