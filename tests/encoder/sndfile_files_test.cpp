// Files written by the WAV, AIFF and GSM writers from float blocks as the pipeline delivers them, read back
// by FFmpeg: stream parameters, the WAV format tag, and bit-identical samples for integer sources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "encoder_test_support.h"
#include "encoder/writers.h"

namespace {

using testsupport::FfmpegDecode;
using testsupport::TempDir;

// Integer samples of an n-bit source and the floats the pipeline makes of them (x = v / 2^(n-1); 8-bit
// sources are unsigned, (b - 128) / 128), plus the integers a lossless writer must store. Every value
// range includes both extremes; out-of-range floats at the end must be clipped.
struct Samples {
    std::vector<float> floats;
    std::vector<int64_t> stored;
};

Samples IntegerSamples(int bits, bool exhaustive, size_t randomCount, int channels) {
    Samples s;
    const int64_t lo = -(int64_t{1} << (bits - 1));
    const int64_t hi = (int64_t{1} << (bits - 1)) - 1;
    auto add = [&](int64_t v) {
        s.stored.push_back(v);
        s.floats.push_back(static_cast<float>(std::ldexp(static_cast<double>(v), -(bits - 1))));
    };
    if (exhaustive) {
        for (int64_t v = lo; v <= hi; ++v) add(v);
    } else {
        add(lo);
        add(hi);
        add(0);
        std::mt19937_64 random(bits);
        // 32-bit values on the 24-bit grid: a float carries 24 bits, so only those survive the pipeline.
        const int shift = bits > 24 ? bits - 24 : 0;
        std::uniform_int_distribution<int64_t> value(lo >> shift, hi >> shift);
        for (size_t i = 0; i < randomCount; ++i) add(value(random) * (int64_t{1} << shift));
    }
    for (const auto& [x, v] : {std::pair{1.0f, hi}, std::pair{1.5f, hi}, std::pair{-1.5f, lo}}) {
        s.floats.push_back(x);
        s.stored.push_back(v);
    }
    while (s.floats.size() % static_cast<size_t>(channels) != 0) add(0);
    return s;
}

// FFmpeg's decode as little-endian integers (u8 as its signed value).
std::vector<int64_t> DecodeIntegers(const std::filesystem::path& file, int bits) {
    const char* format = bits == 8 ? "u8" : bits == 16 ? "s16le" : bits == 24 ? "s24le" : "s32le";
    const std::vector<uint8_t> bytes = FfmpegDecode(file, format);
    const size_t width = static_cast<size_t>(bits / 8);
    std::vector<int64_t> values;
    for (size_t i = 0; i + width <= bytes.size(); i += width) {
        if (bits == 8) {
            values.push_back(int64_t{bytes[i]} - 128);
            continue;
        }
        uint64_t u = 0;
        for (size_t b = 0; b < width; ++b) u |= uint64_t{bytes[i + b]} << (8 * b);
        const uint64_t sign = uint64_t{1} << (bits - 1);
        values.push_back(static_cast<int64_t>(u ^ sign) - static_cast<int64_t>(sign));
    }
    return values;
}

// wFormatTag of the "fmt " chunk of a RIFF/WAVE file, and for WAVE_FORMAT_EXTENSIBLE the tag inside its
// sub-format GUID; 0 when there is no such chunk.
std::pair<uint16_t, uint16_t> WavFormatTags(const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(file);
    auto le16 = [&](size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = le16(at + 4) | uint32_t{le16(at + 6)} << 16;
        if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && at + 8 + size <= bytes.size()) {
            const uint16_t tag = le16(at + 8);
            return {tag, tag == 0xFFFE && size >= 40 ? le16(at + 8 + 24) : uint16_t{0}};
        }
        at += 8 + size + (size & 1);
    }
    return {0, 0};
}

struct FileCase {
    const char* label;
    bool aiff;
    int bps;  // setting wavbps / aifbps
    uint16_t sourceBits;
    uint16_t sourceTag;
    uint32_t sourceRate;
    uint16_t sourceChannels;
    int srate;  // setting wavsrate / aifsrate
    int mode;   // setting wavmode / aifmode
    // What FFmpeg must see.
    const char* codec;
    int bits;  // stored depth; 0 = float
    uint32_t rate;
    int channels;
    uint16_t wavTag;     // WAV only: 1 = PCM, 0xFFFE = extensible
    uint16_t wavSubTag;  // inside the extensible format
    bool exhaustive;
};

void PrintTo(const FileCase& c, std::ostream* os) {
    *os << c.label;
}

class SndfileFile : public testing::TestWithParam<FileCase> {};

TEST_P(SndfileFile, StoresTheChosenFormatWithExactSamples) {
    const FileCase& c = GetParam();
    ConfigGuard guard;
    (c.aiff ? Config.aifbps : Config.wavbps) = c.bps;
    (c.aiff ? Config.aifsrate : Config.wavsrate) = c.srate;
    (c.aiff ? Config.aifmode : Config.wavmode) = c.mode;
    const EncoderClass& writerClass = c.aiff ? AIFwriterClass : WAVwriterClass;

    Samples samples;
    if (c.bits == 0) {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> value(-1.0f, 1.0f);
        for (int i = 0; i < 20000 * c.channels; ++i) samples.floats.push_back(value(random));
        samples.floats.insert(samples.floats.end(), {1.5f, -1.5f});  // floats are stored as they come
    } else {
        samples = IntegerSamples(c.bits, c.exhaustive, 1 << 20, c.channels);
    }

    TempDir dir;
    const auto output = dir / ("out." + writerClass.GetExtension());
    {
        const auto writer = writerClass.Create(
            output.string(), MakeWaveFormat(c.sourceTag, c.sourceRate, c.sourceChannels, c.sourceBits));
        ASSERT_EQ(writer->InputFormat().nSamplesPerSec, c.rate);
        ASSERT_EQ(writer->InputFormat().nChannels, c.channels);
        EXPECT_EQ(writer->GetFileName(), output.string());
        WriteFloats(*writer, samples.floats);
    }

    auto stream = ProbeStream(output);
    EXPECT_EQ(stream["codec_name"], c.codec);
    EXPECT_EQ(stream["sample_rate"], std::to_string(c.rate));
    EXPECT_EQ(stream["channels"], std::to_string(c.channels));
    EXPECT_EQ(stream["bits_per_sample"], std::to_string(c.bits == 0 ? 32 : c.bits));
    if (!c.aiff) {
        EXPECT_EQ(WavFormatTags(output), std::make_pair(c.wavTag, c.wavSubTag));
    }

    if (c.bits == 0) {
        const std::vector<uint8_t> decoded = FfmpegDecode(output, "f32le");
        ASSERT_EQ(decoded.size(), samples.floats.size() * sizeof(float));
        EXPECT_EQ(std::memcmp(decoded.data(), samples.floats.data(), decoded.size()), 0);
    } else {
        const std::vector<int64_t> decoded = DecodeIntegers(output, c.bits);
        ASSERT_EQ(decoded.size(), samples.stored.size());
        size_t mismatches = 0;
        for (size_t i = 0; i < decoded.size(); ++i) {
            if (decoded[i] != samples.stored[i] && ++mismatches <= 5) {
                ADD_FAILURE() << "sample " << i << ": stored " << decoded[i] << ", expected "
                              << samples.stored[i] << " from " << samples.floats[i];
            }
        }
        EXPECT_EQ(mismatches, 0u);
    }
}

constexpr uint16_t kPcm = 1, kFloat = 3, kExt = 0xFFFE;

INSTANTIATE_TEST_SUITE_P(Wav, SndfileFile,
                         testing::Values(FileCase{"Unsigned8", false, 1, 16, kPcm, 44100, 2, 0, 0, "pcm_u8",
                                                  8, 44100, 2, kPcm, 0, true},
                                         FileCase{"Unsigned8MonoOddLength", false, 0, 8, kPcm, 8000, 1, 0, 0,
                                                  "pcm_u8", 8, 8000, 1, kPcm, 0, true},
                                         FileCase{"Default16From24", false, 2, 24, kPcm, 44100, 2, 0, 0,
                                                  "pcm_s16le", 16, 44100, 2, kPcm, 0, true},
                                         FileCase{"Source16", false, 0, 16, kPcm, 44100, 1, 0, 0, "pcm_s16le",
                                                  16, 44100, 1, kPcm, 0, true},
                                         FileCase{"Source24Extensible", false, 0, 24, kPcm, 96000, 2, 0, 0,
                                                  "pcm_s24le", 24, 96000, 2, kExt, kPcm, false},
                                         FileCase{"Integer32", false, 4, 16, kPcm, 44100, 2, 0, 0,
                                                  "pcm_s32le", 32, 44100, 2, kExt, kPcm, false},
                                         FileCase{"Source32IsFloat", false, 0, 32, kPcm, 48000, 2, 0, 0,
                                                  "pcm_f32le", 0, 48000, 2, kExt, kFloat, false},
                                         FileCase{"Rate44100MonoFrom48000Stereo", false, 2, 16, kPcm, 48000,
                                                  2, 5, 2, "pcm_s16le", 16, 44100, 1, kPcm, 0, false}),
                         [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Aiff, SndfileFile,
    testing::Values(
        FileCase{"Unsigned8", true, 1, 16, kPcm, 44100, 2, 0, 0, "pcm_u8", 8, 44100, 2, 0, 0, true},
        // 259 samples: an odd-sized sound chunk, whose pad byte must not become a sample.
        FileCase{"Unsigned8MonoOddLength", true, 1, 8, kPcm, 8000, 1, 0, 0, "pcm_u8", 8, 8000, 1, 0, 0, true},
        FileCase{"Source16", true, 0, 16, kPcm, 44100, 2, 0, 0, "pcm_s16be", 16, 44100, 2, 0, 0, true},
        FileCase{"Source24", true, 0, 24, kPcm, 44100, 2, 0, 0, "pcm_s24be", 24, 44100, 2, 0, 0, false},
        FileCase{"Integer32", true, 4, 24, kPcm, 44100, 1, 0, 0, "pcm_s32be", 32, 44100, 1, 0, 0, false},
        FileCase{"Float", true, 5, 16, kPcm, 22050, 1, 8, 0, "pcm_f32be", 0, 22050, 1, 0, 0, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SndfileFile, ShortWriteIsReportedNotSwallowed) {
    TempDir dir;
    const auto writer = WAVwriterClass.Create((dir / "out.wav").string(), MakeWaveFormat(kPcm, 44100, 2, 16));
    const float block[3] = {0.1f, 0.2f, 0.3f};  // one and a half stereo frames: libsndfile writes nothing
    EXPECT_THROW(writer->Write(reinterpret_cast<const uint8_t*>(block), sizeof block), EEncoderError);
}

TEST(GsmFile, IsRawGsm610At8000HzMonoWhateverTheSource) {
    TempDir dir;
    const auto output = dir / "tone.gsm";
    const int frames = 160 * 50 + 100;  // 50 full GSM frames and a partial one
    std::vector<float> tone;
    for (int i = 0; i < frames; ++i)
        tone.push_back(static_cast<float>(0.5 * std::sin(2 * M_PI * 1000.0 * i / 8000)));
    {
        const auto writer = GSMwriterClass.Create(output.string(), MakeWaveFormat(kPcm, 44100, 2, 24));
        EXPECT_EQ(writer->InputFormat().nSamplesPerSec, 8000u);
        EXPECT_EQ(writer->InputFormat().nChannels, 1);
        WriteFloats(*writer, tone, 1000);
    }
    EXPECT_EQ(std::filesystem::file_size(output), 51u * 33u);

    auto stream = ProbeStream(output, "-f gsm");
    EXPECT_EQ(stream["codec_name"], "gsm");
    EXPECT_EQ(stream["sample_rate"], "8000");
    EXPECT_EQ(stream["channels"], "1");

    const std::vector<uint8_t> bytes = FfmpegDecode(output, "f32le");
    std::vector<float> decoded(bytes.size() / sizeof(float));
    std::memcpy(decoded.data(), bytes.data(), decoded.size() * sizeof(float));
    EXPECT_EQ(decoded.size(), 51u * 160u);
    EXPECT_NEAR(testsupport::EstimateFrequency(decoded, 1, 8000), 1000.0, 20.0);
}

}  // namespace
