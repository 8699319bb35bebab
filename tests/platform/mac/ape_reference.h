// Judging a compressed file independently: FFmpeg's decoder with frame CRC checks on, and a reading of the
// descriptor, header and seek table as the file format lays them out.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace apetest {

struct Decoded {
    std::string error;         // empty when FFmpeg decoded every frame without complaint
    std::vector<uint8_t> pcm;  // interleaved WAV-layout bytes (8-bit unsigned, 16/24-bit little-endian)
    int channels = 0;
    int bits = 0;
    int rate = 0;
};

// Decodes the whole file with FFmpeg, failing on any CRC mismatch or decoding error.
Decoded FfmpegDecode(const std::filesystem::path& file);

struct Layout {
    uint16_t version = 0;
    uint32_t descriptorBytes = 0, headerBytes = 0, seekTableBytes = 0, wavHeaderBytes = 0;
    uint64_t frameDataBytes = 0;
    uint32_t terminatingBytes = 0;
    std::array<uint8_t, 16> md5{};
    uint16_t level = 0, flags = 0;
    uint32_t blocksPerFrame = 0, finalFrameBlocks = 0, totalFrames = 0;
    uint16_t bits = 0, channels = 0;
    uint32_t sampleRate = 0;
    std::vector<uint32_t> seekTable;
    // MD5 over the frame data as stored, then the header, then the seek table.
    std::string expectedMd5Hex;
};

// Reads the file's layout; throws when it does not start with a version-3990-style descriptor.
Layout ReadLayout(const std::vector<uint8_t>& file);

std::string Hex(const std::array<uint8_t, 16>& bytes);

}  // namespace apetest
