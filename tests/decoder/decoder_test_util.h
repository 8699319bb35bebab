// Helpers shared by the decoder tests: the process-wide registry, reading a source to its end, and making
// encoded files with the ffmpeg command-line tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "decoder/manager.h"

namespace dectest {

// The registry initialised once for the whole test binary (BASS, add-ons, tag library).
const TDecManager& Registry();

struct ReadResult {
    std::vector<uint8_t> bytes;
    std::vector<int> progress;         // progress after each block
    std::vector<uint32_t> blockSizes;  // length of each block
    size_t blocks = 0;
    size_t largestBlock = 0;
    bool ended = false;  // ReadBlock answered 1 before the block limit
};
// Reads until ReadBlock answers 1 (or `maxBlocks` blocks were read, so a broken source can't hang a test).
ReadResult ReadAll(TDecoder& source, size_t maxBlocks = 1u << 20);

// Runs ffmpeg to turn `input` into `output` with the extra arguments; fails the test on error.
void FfmpegConvert(const std::filesystem::path& input, const std::filesystem::path& output,
                   const std::string& arguments);

std::vector<float> AsFloats(const std::vector<uint8_t>& bytes);
std::vector<float> S16AsFloats(const std::vector<uint8_t>& bytes);

}  // namespace dectest
