// Compressing through libMACDLL.so's C calls, as the writer does: whole, or in pieces of awkward sizes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "support/audio_fixtures.h"

namespace apetest {

struct EncodeResult {
    int start = -1, add = -1, finish = -1;  // answers of the calls (-1: not reached)
    bool ok() const { return start == 0 && add == 0 && finish == 0; }
};

// The 18-byte wave format record the library takes.
#pragma pack(push, 1)
struct WaveRecord {
    uint16_t wFormatTag, nChannels;
    uint32_t nSamplesPerSec, nAvgBytesPerSec;
    uint16_t nBlockAlign, wBitsPerSample, cbSize;
};
#pragma pack(pop)

WaveRecord Record(int channels, int bits, int rate = 44100);

// `pieces` empty: one AddData with everything; else AddData in those sizes, repeated cyclically.
EncodeResult Encode(const std::filesystem::path& file, const WaveRecord& format, int level,
                    const std::vector<uint8_t>& pcm, const std::vector<size_t>& pieces = {},
                    int64_t maxAudioBytes = 4294967295);

// Odd sizes that split samples and frames in every way.
inline const std::vector<size_t> kOddPieces = {1, 7, 4093, 2, 65537, 11, 333331};

testsupport::SampleKind KindOf(int bits);

}  // namespace apetest
