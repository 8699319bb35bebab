// The FLAC writer driven directly as the pipeline drives it, with the reference flac/metaflac tools and
// FFmpeg as judges: bit-identical samples and a true STREAMINFO, sample widening at the extremes, the
// format rules, settings that reach the encoder, failures and a missing library.
#include <gtest/gtest.h>

#include "encoder_test_support.h"
#include "bindings/libflac.h"
#include "encoder/writers.h"

namespace {

using testsupport::PcmSpec;
using testsupport::RunCommand;
using testsupport::SampleKind;
using testsupport::ShellQuote;
using testsupport::TempDir;

SampleKind KindOfBits(int bits) {
    return bits == 8 ? SampleKind::U8 : bits == 16 ? SampleKind::S16 : SampleKind::S24;
}

// Writes `pcm` (in the writer's input format) through a FLAC writer made for `source`, in blocks of
// `blockBytes`. Answers the name GetFileName reported.
std::filesystem::path EncodeFlac(const std::filesystem::path& target, const WAVEFORMATEX& source,
                                 const std::vector<uint8_t>& pcm, size_t blockBytes = 8192) {
    auto writer = FLACwriterClass.Create(target.string(), source);
    for (size_t at = 0; at < pcm.size(); at += blockBytes) {
        writer->Write(pcm.data() + at, static_cast<uint32_t>(std::min(blockBytes, pcm.size() - at)));
    }
    return writer->GetFileName();
}

std::string Metaflac(const std::filesystem::path& file, const std::string& option) {
    auto r = RunCommand("metaflac " + option + " " + ShellQuote(file.string()));
    while (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
    return r.out;
}

// The reference decoder's raw output: little-endian signed samples of the stream's own width.
std::vector<uint8_t> FlacDecodeRaw(const std::filesystem::path& file, const std::filesystem::path& raw) {
    const auto r = RunCommand("flac -s -d -f --force-raw-format --endian=little --sign=signed -o " +
                              ShellQuote(raw.string()) + " " + ShellQuote(file.string()));
    if (r.status != 0) return {};
    return testsupport::ReadBytes(raw);
}

// A source format and the stream the writer must make of it.
struct LosslessCase {
    int sourceBits;
    uint16_t sourceTag;
    int rate;
    uint16_t channels;
    int bits;  // written
};

class FlacLossless : public testing::TestWithParam<LosslessCase> {};

TEST_P(FlacLossless, SamplesAndStreamInfoMatchTheSource) {
    const LosslessCase& c = GetParam();
    ConfigGuard guard;
    TempDir dir;
    const WAVEFORMATEX source = MakeWaveFormat(c.sourceTag, static_cast<uint32_t>(c.rate), c.channels,
                                               static_cast<uint16_t>(c.sourceBits));
    EXPECT_EQ(FLACwriterClass.GetInputFormat(source).wBitsPerSample, c.bits);
    const int64_t frames = c.rate + 12345;  // a short last block
    const PcmSpec spec{c.rate, c.channels, KindOfBits(c.bits)};
    const auto pcm = testsupport::NoisePcm(spec, frames, static_cast<uint32_t>(c.rate + c.bits));
    const auto file = EncodeFlac(dir / "out.flac", source, pcm,
                                 4096 * c.channels * (c.bits / 8) + c.channels * (c.bits / 8));

    EXPECT_EQ(RunCommand("flac -s -t " + ShellQuote(file.string())).status, 0);
    EXPECT_EQ(Metaflac(file, "--show-sample-rate"), std::to_string(c.rate));
    EXPECT_EQ(Metaflac(file, "--show-channels"), std::to_string(c.channels));
    EXPECT_EQ(Metaflac(file, "--show-bps"), std::to_string(c.bits));
    EXPECT_EQ(Metaflac(file, "--show-total-samples"), std::to_string(frames));
    // FLAC's MD5 covers signed samples: 8-bit source bytes are unsigned.
    std::vector<uint8_t> signedPcm = pcm;
    if (c.bits == 8) {
        for (uint8_t& b : signedPcm) b ^= 0x80;
    }
    EXPECT_EQ(Metaflac(file, "--show-md5sum"), testsupport::Md5Hex(signedPcm));
    const auto decoded = FlacDecodeRaw(file, dir / "out.raw");
    ASSERT_EQ(decoded.size(), signedPcm.size());
    EXPECT_TRUE(decoded == signedPcm);
}

INSTANTIATE_TEST_SUITE_P(Table, FlacLossless,
                         testing::Values(LosslessCase{16, WAVE_FORMAT_PCM, 44100, 2, 16},
                                         LosslessCase{24, WAVE_FORMAT_PCM, 96000, 2, 24},
                                         LosslessCase{8, WAVE_FORMAT_PCM, 8000, 1, 8},
                                         LosslessCase{16, WAVE_FORMAT_PCM, 37800, 6, 16},
                                         LosslessCase{32, WAVE_FORMAT_IEEE_FLOAT, 48000, 2, 24}));

// The writer's choice of format from the source and the settings.
struct InputCase {
    uint32_t rate;
    uint16_t channels;
    uint16_t bits;
    int samplerate, mode;  // flacsamplerate, flacmode
    uint32_t wantRate;
    uint16_t wantChannels, wantBits;
};

class FlacInputFormat : public testing::TestWithParam<InputCase> {};

TEST_P(FlacInputFormat, FollowsSourceAndSettings) {
    const InputCase& c = GetParam();
    ConfigGuard guard;
    Config.flacsamplerate = c.samplerate;
    Config.flacmode = c.mode;
    const WAVEFORMATEX got =
        FLACwriterClass.GetInputFormat(MakeWaveFormat(c.bits == 32 ? 3 : 1, c.rate, c.channels, c.bits));
    EXPECT_EQ(got.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(got.nSamplesPerSec, c.wantRate);
    EXPECT_EQ(got.nChannels, c.wantChannels);
    EXPECT_EQ(got.wBitsPerSample, c.wantBits);
    EXPECT_EQ(got.nBlockAlign, c.wantChannels * c.wantBits / 8);
}

INSTANTIATE_TEST_SUITE_P(Table, FlacInputFormat,
                         testing::Values(InputCase{44100, 2, 16, 0, 0, 44100, 2, 16},
                                         InputCase{37800, 1, 12, 0, 0, 37800, 1, 8},   // tie goes to 8
                                         InputCase{22050, 2, 20, 0, 0, 22050, 2, 16},  // tie goes to 16
                                         InputCase{48000, 2, 32, 0, 0, 48000, 2, 24},
                                         InputCase{44100, 6, 24, 4, 1, 48000, 2, 24},
                                         InputCase{44100, 2, 16, 12, 2, 8000, 1, 16},
                                         InputCase{44100, 2, 16, 13, 0, 44100, 2, 16}));  // unknown index

// Explicit bytes at the extremes of each width and what the reference decoder must give back.
struct WideningCase {
    int bits;
    std::vector<uint8_t> bytes;
    std::vector<int32_t> values;
};

class FlacWidening : public testing::TestWithParam<WideningCase> {};

TEST_P(FlacWidening, ExtremesSurvive) {
    const WideningCase& c = GetParam();
    ConfigGuard guard;
    TempDir dir;
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 1, static_cast<uint16_t>(c.bits));
    const auto file = EncodeFlac(dir / "w.flac", source, c.bytes);
    const auto raw = FlacDecodeRaw(file, dir / "w.raw");
    const size_t width = static_cast<size_t>(c.bits / 8);
    ASSERT_EQ(raw.size(), c.values.size() * width);
    for (size_t i = 0; i < c.values.size(); ++i) {
        uint32_t u = 0;
        for (size_t b = 0; b < width; ++b) u |= uint32_t{raw[i * width + b]} << (8 * b);
        const int shift = 32 - c.bits;
        EXPECT_EQ(static_cast<int32_t>(u << shift) >> shift, c.values[i]) << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FlacWidening,
    testing::Values(WideningCase{8, {0x00, 0xFF, 0x80, 0x7F}, {-128, 127, 0, -1}},
                    WideningCase{16, {0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF}, {-32768, 32767, -1}},
                    WideningCase{24,
                                 {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00},
                                 {8388607, -8388608, -1, 1}}));

TEST(FlacWriter, CompressionLevelReachesTheEncoder) {
    ConfigGuard guard;
    TempDir dir;
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16);
    const auto pcm = testsupport::SinePcm({44100, 2, SampleKind::S16}, 44100 * 3, 440.0, 0.3);
    std::vector<uintmax_t> sizes;
    for (int level : {0, 5, 8}) {
        Config.flaccompression = level;
        const auto file = EncodeFlac(dir / ("l" + std::to_string(level) + ".flac"), source, pcm);
        // Level 0 uses 1152-sample blocks, the others 4096.
        EXPECT_EQ(Metaflac(file, "--show-max-blocksize"), level == 0 ? "1152" : "4096");
        EXPECT_EQ(RunCommand("flac -s -t " + ShellQuote(file.string())).status, 0);
        sizes.push_back(std::filesystem::file_size(file));
    }
    EXPECT_GT(sizes[0], sizes[1]);
    EXPECT_GE(sizes[1], sizes[2]);
}

TEST(FlacWriter, NonSubsetSettingAllowsRatesOutsideTheSubset) {
    // 700001 Hz cannot be stated in a subset frame header; only the non-subset setting lets libFLAC take it.
    ConfigGuard guard;
    TempDir dir;
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, 700001, 1, 16);
    const auto pcm = testsupport::SinePcm({700001, 1, SampleKind::S16}, 20000);

    Config.flacnonsubset = false;
    EXPECT_THROW(EncodeFlac(dir / "subset.flac", source, pcm), EEncoderError);
    EXPECT_FALSE(std::filesystem::exists(dir / "subset.flac"));

    Config.flacnonsubset = true;
    const auto file = EncodeFlac(dir / "free.flac", source, pcm);
    EXPECT_EQ(Metaflac(file, "--show-sample-rate"), "700001");
    EXPECT_EQ(FlacDecodeRaw(file, dir / "free.raw"), pcm);
}

TEST(FlacWriter, FailuresRaiseTheInitMessageAndLeaveNoFile) {
    ConfigGuard guard;
    TempDir dir;
    const struct {
        std::filesystem::path target;
        WAVEFORMATEX source;
    } cases[] = {
        {dir / "missing" / "a.flac", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16)},
        {dir / "nine.flac", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 9, 16)},
        {dir / "zero.flac", MakeWaveFormat(WAVE_FORMAT_PCM, 0, 2, 16)},
    };
    for (const auto& c : cases) {
        try {
            FLACwriterClass.Create(c.target.string(), c.source);
            ADD_FAILURE() << c.target << ": no exception";
        } catch (const EEncoderError& error) {
            EXPECT_STREQ(error.what(), "Can not initialize FLAC encoder") << c.target;
        }
        EXPECT_FALSE(std::filesystem::exists(c.target)) << c.target;
    }
}

}  // namespace
