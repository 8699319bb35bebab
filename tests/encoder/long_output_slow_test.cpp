// A real long recording through the WAV writer: 4.3 GiB of 44.1 kHz stereo 16-bit sound (7 h 18 min)
// streamed in as the pipeline's integer road delivers it, then read back by libsndfile and FFmpeg, which
// must find every frame, the blocks on both sides of the 4 GiB mark and the very last one in their places.
// One output on disk, removed at the end.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "encoder_test_support.h"
#include "encoder/writers.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;
constexpr size_t kBlockFrames = 65536;
// 4.3 GiB of 4-byte frames, in whole blocks.
constexpr uint64_t kBlocks = (uint64_t{43} << 30) / 10 / 4 / kBlockFrames;
constexpr uint64_t kFrames = kBlocks * kBlockFrames;

// Sample `i` (0..kBlockFrames*2) of block `block`, as 16-bit: the left channel starts each block with the
// block's number so a block in the wrong place shows, the rest is a ramp.
int16_t Sample(uint64_t block, size_t i) {
    if (i == 0) return static_cast<int16_t>(block);
    if (i == 1) return static_cast<int16_t>(-static_cast<int64_t>(block));
    return static_cast<int16_t>((i * 97) & 0x7FFF);
}

std::vector<int16_t> Expected(uint64_t block) {
    std::vector<int16_t> samples(kBlockFrames * 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = Sample(block, i);
    return samples;
}

uint64_t Le64(const std::vector<uint8_t>& bytes, size_t at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= uint64_t{bytes[at + static_cast<size_t>(i)]} << (8 * i);
    return value;
}

TEST(LongOutputSlow, WavPast4GiBIsRf64ThatReadersReadWhole) {
    testsupport::TempDir dir;
    const fs::path file = dir / "long.wav";
    {
        config settings = Config;
        settings.wavbps = 2;
        settings.wavsrate = 0;
        settings.wavmode = 0;
        auto writer =
            WAVwriterClass.Create(file.string(), MakeWaveFormat(WAVE_FORMAT_PCM, kRate, 2, 16), settings);
        ASSERT_EQ(writer->Int32Depth(), 16);
        writer->UseInt32Input();
        std::vector<int32_t> block(kBlockFrames * 2);
        for (size_t i = 2; i < block.size(); ++i) block[i] = int32_t{Sample(0, i)} * 65536;
        for (uint64_t b = 0; b < kBlocks; ++b) {
            block[0] = int32_t{Sample(b, 0)} * 65536;
            block[1] = int32_t{Sample(b, 1)} * 65536;
            writer->Write(reinterpret_cast<const uint8_t*>(block.data()),
                          static_cast<uint32_t>(block.size() * sizeof(int32_t)));
        }
        writer->Finish();
    }
    const uint64_t dataBytes = kFrames * 4;
    ASSERT_GT(dataBytes, uint64_t{0xFFFFFFFF});

    // The header: RF64 with the true sizes in ds64.
    std::vector<uint8_t> head(64);
    {
        std::FILE* f = std::fopen(file.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fread(head.data(), 1, head.size(), f), head.size());
        std::fclose(f);
    }
    EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "RF64");
    EXPECT_EQ(std::string(head.begin() + 12, head.begin() + 16), "ds64");
    EXPECT_EQ(Le64(head, 20), fs::file_size(file) - 8);
    EXPECT_EQ(Le64(head, 28), dataBytes);
    EXPECT_EQ(Le64(head, 36), kFrames);

    // libsndfile: every frame, and the blocks around the 4 GiB mark and at the end where they belong.
    SF_INFO info{};
    SNDFILE* handle = sf_open(file.c_str(), SFM_READ, &info);
    ASSERT_NE(handle, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.frames, static_cast<sf_count_t>(kFrames));
    const uint64_t past4GiB = (uint64_t{1} << 32) / 4 / kBlockFrames;
    for (const uint64_t b : {past4GiB - 1, past4GiB, kBlocks - 1}) {
        SCOPED_TRACE("block " + std::to_string(b));
        std::vector<int16_t> samples(kBlockFrames * 2);
        ASSERT_EQ(sf_seek(handle, static_cast<sf_count_t>(b * kBlockFrames), SEEK_SET),
                  static_cast<sf_count_t>(b * kBlockFrames));
        ASSERT_EQ(sf_readf_short(handle, samples.data(), kBlockFrames),
                  static_cast<sf_count_t>(kBlockFrames));
        EXPECT_TRUE(samples == Expected(b));
    }
    sf_close(handle);

    // FFmpeg: the stream's length, and a decode of the last block from its exact start.
    EXPECT_EQ(ProbeStream(file)["duration_ts"], std::to_string(kFrames));
    // Decoding from a whole second (an exact sample) before the last block to the end.
    const uint64_t lastStart = (kBlocks - 1) * kBlockFrames;
    const uint64_t second = lastStart / kRate;
    const auto decoded =
        testsupport::RunCommand("ffmpeg -nostdin -v error -ss " + std::to_string(second) + " -i " +
                                testsupport::ShellQuote(file.string()) + " -f s16le -");
    ASSERT_EQ(decoded.out.size(), (kFrames - second * kRate) * 4);
    const std::vector<int16_t> expected = Expected(kBlocks - 1);
    EXPECT_EQ(std::memcmp(decoded.out.data() + (lastStart - second * kRate) * 4, expected.data(),
                          expected.size() * 2),
              0);
}

}  // namespace
