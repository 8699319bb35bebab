// Converter tests: exact layout and channel conversion at equal rates, and, across rates, output length,
// the bound the pipeline's work buffer relies on, preserved frequency and the resampler's accuracy.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "support/audio_fixtures.h"
#include "platform/audiodsp/audiodsp.h"

namespace {

constexpr uint32_t kWorkBuffer = 2097152;  // the pipeline's work buffer
constexpr uint32_t kBlock = 8192;          // the largest block a source hands over

struct ConverterDeleter {
    void operator()(SRC2Converter* converter) const { DeleteSRC2(converter); }
};
using Converter = std::unique_ptr<SRC2Converter, ConverterDeleter>;

Converter Make(int inRate, int outRate, int inCh, int outCh, int inCode, int outCode) {
    return Converter(NewSRC2(inRate, outRate, inCh, outCh, inCode, outCode, 1));
}

int Width(int code) {
    return code == 1 ? 1 : code == 2 ? 2 : code == 4 ? 3 : 4;
}

// Raw stored values (the integer as stored, 0..255 for 8-bit, the float itself for code 16) ↔ bytes.
std::vector<uint8_t> Pack(int code, const std::vector<double>& values) {
    std::vector<uint8_t> bytes;
    for (double v : values) {
        uint8_t b[4];
        if (code == 16) {
            const float f = static_cast<float>(v);
            std::memcpy(b, &f, 4);
        } else {
            const auto i = static_cast<uint32_t>(static_cast<int64_t>(v));
            for (int k = 0; k < 4; ++k) b[k] = static_cast<uint8_t>(i >> (8 * k));
        }
        bytes.insert(bytes.end(), b, b + Width(code));
    }
    return bytes;
}

std::vector<double> Unpack(int code, const std::vector<uint8_t>& bytes) {
    std::vector<double> values;
    const int w = Width(code);
    for (size_t i = 0; i + w <= bytes.size(); i += w) {
        const uint8_t* p = &bytes[i];
        if (code == 16) {
            float f;
            std::memcpy(&f, p, 4);
            values.push_back(f);
        } else if (code == 1) {
            values.push_back(p[0]);
        } else {
            int64_t v = 0;
            for (int k = 0; k < w; ++k) v |= static_cast<int64_t>(p[k]) << (8 * k);
            if (v & (int64_t{1} << (8 * w - 1))) v -= int64_t{1} << (8 * w);
            values.push_back(static_cast<double>(v));
        }
    }
    return values;
}

// Whole conversion of `input` in blocks of `block` bytes plus the flush; every call's output is checked
// against the converter's own bound.
std::vector<uint8_t> Convert(SRC2Converter* converter, const std::vector<uint8_t>& input, size_t block) {
    std::vector<uint8_t> all, out;
    uint32_t length = 0;
    for (size_t pos = 0; pos < input.size(); pos += block) {
        const auto n = static_cast<uint32_t>(std::min(block, input.size() - pos));
        const uint32_t bound = SRC2_MaxOutputBytes(converter, n);
        out.assign(bound, 0);  // exactly the promised size: ASan sees any overrun
        SRC2_process(converter, input.data() + pos, n, out.data(), &length);
        EXPECT_LE(length, bound);
        all.insert(all.end(), out.begin(), out.begin() + length);
    }
    const uint32_t bound = SRC2_MaxOutputBytes(converter, 0);
    out.assign(bound, 0);
    SRC2_flush(converter, out.data(), &length);
    EXPECT_LE(length, bound);
    all.insert(all.end(), out.begin(), out.begin() + length);
    return all;
}

// ---- equal rates: exact values -------------------------------------------------------------------

struct ExactCase {
    int inCode, outCode;
    std::vector<double> in, expected;
};

void PrintTo(const ExactCase& c, std::ostream* os) {
    *os << c.inCode << " -> " << c.outCode;
}

class ExactLayout : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ExactLayout, ConvertsValuesExactlyWithRoundingAndClipping) {
    const ExactCase& c = GetParam();
    auto converter = Make(44100, 44100, 1, 1, c.inCode, c.outCode);
    ASSERT_NE(converter, nullptr);
    const auto out = Convert(converter.get(), Pack(c.inCode, c.in), kBlock);
    const auto values = Unpack(c.outCode, out);
    ASSERT_EQ(values.size(), c.expected.size());
    for (size_t i = 0; i < values.size(); ++i) {
        if (std::isnan(c.expected[i]))
            EXPECT_TRUE(std::isnan(values[i])) << "sample " << i;
        else
            EXPECT_EQ(values[i], c.expected[i]) << "sample " << i << " (input " << c.in[i] << ")";
    }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kMin32 = -2147483648.0, kMax32 = 2147483647.0;

INSTANTIATE_TEST_SUITE_P(
    Codes, ExactLayout,
    ::testing::Values(
        // widening is exact: 8-bit (b - 128) / 128, the rest by powers of two
        ExactCase{1, 2, {0, 128, 255, 1}, {-32768, 0, 32512, -32512}},
        ExactCase{1, 16, {0, 128, 255, 192}, {-1.0, 0.0, 127.0 / 128, 0.5}},
        ExactCase{2, 4, {-32768, 32767, -1, 1}, {-8388608, 8388352, -256, 256}},
        ExactCase{2, 8, {-32768, 32767, 1}, {kMin32, 32767.0 * 65536, 65536}},
        ExactCase{2, 16, {-32768, 32767, 16384, -1}, {-1.0, 32767.0 / 32768, 0.5, -1.0 / 32768}},
        ExactCase{
            4, 16, {-8388608, 8388607, 1, -3}, {-1.0, 8388607.0 / 8388608, 1.0 / 8388608, -3.0 / 8388608}},
        ExactCase{4, 8, {-8388608, 8388607, -1}, {kMin32, 8388607.0 * 256, -256}},
        // same layout: untouched, floats beyond full scale included
        ExactCase{2, 2, {-32768, 32767, 0, 12345}, {-32768, 32767, 0, 12345}},
        ExactCase{8, 8, {kMin32, kMax32, 1, -1}, {kMin32, kMax32, 1, -1}},
        ExactCase{16, 16, {1.5, -2.0, 0.25, kNaN}, {1.5, -2.0, 0.25, kNaN}},
        // narrowing rounds to nearest (ties to even) and clips
        ExactCase{4, 2, {128, 384, 383, 8388607, -8388608, -129}, {0, 2, 1, 32767, -32768, -1}},
        ExactCase{8, 2, {kMax32, kMin32, 65536, 98304}, {32767, -32768, 1, 2}},
        ExactCase{2, 1, {-32768, 32767, 256, 127, 129}, {0, 255, 129, 128, 129}},
        // float → integer: full scale and beyond clip, NaN gives silence
        ExactCase{16,
                  2,
                  {1.0, -1.0, 1.5, -1.5, 0.5, kNaN, 1.0 / 65536 * 3},
                  {32767, -32768, 32767, -32768, 16384, 0, 2}},
        ExactCase{16, 1, {1.0, -1.0, 0.0, 2.0}, {255, 0, 128, 255}},
        ExactCase{16, 4, {0.5, 2.0, -2.0}, {4194304, 8388607, -8388608}},
        ExactCase{16, 8, {1.0, -1.0, 0.25, -1.25}, {kMax32, kMin32, 536870912, kMin32}}));

// Integer samples through a wider or float layout and back come out unchanged, every 16-bit value and a
// dense sweep of 24-bit ones.
struct RoundTrip {
    int code, via;
};

void PrintTo(const RoundTrip& c, std::ostream* os) {
    *os << c.code << " via " << c.via;
}

class ExactRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(ExactRoundTrip, IntegersSurviveTheTrip) {
    const auto [code, via] = GetParam();
    std::vector<double> values;
    const int64_t half = int64_t{1} << (8 * Width(code) - 1);
    const int64_t step = code == 4 ? 61 : 1;
    for (int64_t v = -half; v < half; v += step)
        values.push_back(code == 1 ? static_cast<double>(v + 128) : v);
    values.push_back(code == 1 ? 255 : static_cast<double>(half - 1));

    auto there = Make(48000, 48000, 2, 2, code, via);
    auto back = Make(48000, 48000, 2, 2, via, code);
    if (values.size() % 2) values.push_back(0);
    const auto input = Pack(code, values);
    const auto result = Convert(back.get(), Convert(there.get(), input, kBlock), kBlock);
    EXPECT_TRUE(result == input);
}

INSTANTIATE_TEST_SUITE_P(Codes, ExactRoundTrip,
                         ::testing::Values(RoundTrip{2, 16}, RoundTrip{2, 4}, RoundTrip{2, 8},
                                           RoundTrip{4, 16}, RoundTrip{4, 8}, RoundTrip{1, 16},
                                           RoundTrip{1, 2}),
                         [](const auto& info) {
                             return std::to_string(info.param.code) + "_via_" +
                                    std::to_string(info.param.via);
                         });

// ---- channels ----------------------------------------------------------------------------------

TEST(Channels, MonoIsCopiedToBothAndStereoIsAveraged) {
    struct Case {
        int inCh, outCh, inCode, outCode;
        std::vector<double> in, expected;
    };
    const Case cases[] = {
        {1, 2, 2, 2, {100, -7, -32768}, {100, 100, -7, -7, -32768, -32768}},
        {2, 1, 2, 2, {100, 300, -32768, -32768, 32767, 32765, -5, 5}, {200, -32768, 32766, 0}},
        {2, 1, 16, 2, {0.5, 0.25, 1.0, 1.0}, {12288, 32767}},
        {1, 2, 1, 16, {192, 0}, {0.5, 0.5, -1.0, -1.0}},
        {2, 1, 4, 16, {8388607, -8388608}, {-0.5 / 8388608}},
    };
    for (const Case& c : cases) {
        auto converter = Make(32000, 32000, c.inCh, c.outCh, c.inCode, c.outCode);
        ASSERT_NE(converter, nullptr);
        EXPECT_EQ(Unpack(c.outCode, Convert(converter.get(), Pack(c.inCode, c.in), kBlock)), c.expected)
            << c.inCh << "ch code " << c.inCode << " -> " << c.outCh << "ch code " << c.outCode;
    }
}

// Blocks that end inside a frame lose nothing: the partial frame is completed by the next block.
TEST(Blocks, SplitFramesGiveTheSameOutputAsWholeBlocks) {
    const testsupport::PcmSpec spec{44100, 2, testsupport::SampleKind::S24};
    const auto pcm = testsupport::NoisePcm(spec, 3000);
    auto whole = Make(44100, 44100, 2, 2, 4, 16);
    auto split = Make(44100, 44100, 2, 2, 4, 16);
    const auto expected = Convert(whole.get(), pcm, pcm.size());
    EXPECT_EQ(expected.size(), 3000u * 8);
    EXPECT_TRUE(Convert(split.get(), pcm, 1001) == expected);
}

// ---- argument checks ---------------------------------------------------------------------------

TEST(Arguments, UnsupportedRatesChannelsAndCodesGiveNoConverter) {
    struct Case {
        int inRate, outRate, inCh, outCh, inCode, outCode;
    };
    const Case bad[] = {{7999, 44100, 2, 2, 2, 2},   {44100, 192001, 2, 2, 2, 2}, {0, 44100, 2, 2, 2, 2},
                        {-44100, 44100, 2, 2, 2, 2}, {44100, 44100, 0, 2, 2, 2},  {44100, 44100, 2, 3, 2, 2},
                        {44100, 48000, 6, 2, 2, 2},  {44100, 44100, 2, 2, -1, 2}, {44100, 44100, 2, 2, 2, 3},
                        {44100, 44100, 2, 2, 32, 2}, {44100, 48000, 2, 2, 2, 0}};
    for (const Case& c : bad)
        EXPECT_EQ(NewSRC2(c.inRate, c.outRate, c.inCh, c.outCh, c.inCode, c.outCode, 1), nullptr)
            << c.inRate << " " << c.outRate << " " << c.inCh << " " << c.outCh << " " << c.inCode << " "
            << c.outCode;
    for (int in : {1, 2, 4, 8, 16})
        for (int out : {1, 2, 4, 8, 16})
            for (auto [a, b] : {std::pair{8000, 192000}, std::pair{44100, 44100}})
                EXPECT_NE(Make(a, b, 1, 2, in, out), nullptr);
    DeleteSRC2(nullptr);
}

TEST(Arguments, ProcessWithoutConverterOrBufferRaises) {
    uint8_t block[4] = {}, out[64];
    uint32_t length = 0;
    EXPECT_ANY_THROW(SRC2_process(nullptr, block, 4, out, &length));
    EXPECT_ANY_THROW(SRC2_flush(nullptr, out, &length));
    auto converter = Make(44100, 48000, 2, 2, 2, 2);
    EXPECT_ANY_THROW(SRC2_process(converter.get(), nullptr, 4, out, &length));
    EXPECT_ANY_THROW(SRC2_process(converter.get(), block, 4, nullptr, &length));
    EXPECT_ANY_THROW(SRC2_process(converter.get(), block, 4, out, nullptr));
    SRC2_process(converter.get(), nullptr, 0, out, &length);  // an empty block is not an error
    EXPECT_EQ(length, 0u);
}

// ---- across rates ------------------------------------------------------------------------------

struct LengthCase {
    int inRate, outRate, inCh, outCh, inCode, outCode;
    size_t block;  // bytes per call; 0 = one frame
};

void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.inRate << "->" << c.outRate << " " << c.inCh << "->" << c.outCh << "ch code " << c.inCode << "->"
        << c.outCode << " block " << c.block;
}

class ResampledLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(ResampledLength, TotalWithFlushMatchesRateRatioWithinOneFrame) {
    const LengthCase& c = GetParam();
    const int64_t frames = c.block == 0 ? c.inRate / 10 : c.inRate / 2 + 17;
    const auto kind = c.inCode == 16 ? testsupport::SampleKind::F32 : testsupport::SampleKind::S16;
    const auto pcm = testsupport::SinePcm({c.inRate, c.inCh, kind}, frames, 440.0);
    const size_t inFrame = static_cast<size_t>(Width(c.inCode) * c.inCh);
    auto converter = Make(c.inRate, c.outRate, c.inCh, c.outCh, c.inCode, c.outCode);
    ASSERT_NE(converter, nullptr);
    const auto out = Convert(converter.get(), pcm, c.block == 0 ? inFrame : c.block);
    const size_t outFrame = static_cast<size_t>(Width(c.outCode) * c.outCh);
    ASSERT_EQ(out.size() % outFrame, 0u);
    const double expected = static_cast<double>(frames) * c.outRate / c.inRate;
    EXPECT_NEAR(static_cast<double>(out.size() / outFrame), expected, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, ResampledLength,
                         ::testing::Values(LengthCase{44100, 48000, 2, 2, 2, 2, kBlock},
                                           LengthCase{48000, 44100, 2, 2, 2, 16, 4096},
                                           LengthCase{96000, 44100, 2, 1, 2, 2, kBlock},
                                           LengthCase{8000, 192000, 1, 2, 2, 16, kBlock},
                                           LengthCase{192000, 8000, 2, 2, 16, 2, kBlock},
                                           LengthCase{22050, 44100, 1, 1, 2, 4, 1000},
                                           LengthCase{11025, 8000, 2, 2, 16, 8, 1002},
                                           LengthCase{44100, 48000, 2, 2, 2, 2, 0},
                                           LengthCase{48000, 8000, 1, 1, 16, 1, 0},
                                           LengthCase{8000, 96000, 1, 2, 2, 2, 0}));

// The worst block the pipeline can hand over: 8192 bytes of 8-bit mono at 8000 Hz become float stereo at
// 192000 Hz, 8192 × 24 frames × 8 bytes = 1572864 bytes, plus what the resampler held back.
TEST(Bound, WorstCaseBlockFitsTheWorkBuffer) {
    auto converter = Make(8000, 192000, 1, 2, 1, 16);
    ASSERT_NE(converter, nullptr);
    EXPECT_LE(SRC2_MaxOutputBytes(converter.get(), kBlock), kWorkBuffer);
    EXPECT_LE(SRC2_MaxOutputBytes(converter.get(), 0), kWorkBuffer);
    const auto pcm = testsupport::NoisePcm({8000, 1, testsupport::SampleKind::U8}, 8 * kBlock);
    std::vector<uint8_t> work(kWorkBuffer);  // exactly the pipeline's size: ASan sees any overrun
    uint32_t length = 0, largest = 0;
    uint64_t total = 0;
    for (size_t pos = 0; pos < pcm.size(); pos += kBlock) {
        SRC2_process(converter.get(), pcm.data() + pos, kBlock, work.data(), &length);
        largest = std::max(largest, length);
        total += length;
    }
    SRC2_flush(converter.get(), work.data(), &length);
    largest = std::max(largest, length);
    total += length;
    EXPECT_LE(largest, kWorkBuffer);
    EXPECT_GE(largest, 1572864u);
    EXPECT_NEAR(static_cast<double>(total / 8), 8.0 * kBlock * 24, 1.0);
}

// A sine resampled against the analytic sine at the new rate: the frequency stays, and the error is far
// below what linear interpolation (about 3e-2 for 5 kHz at 44.1 kHz) or a dropped/doubled sample gives.
struct SineCase {
    int inRate, outRate;
    double frequency;
};

void PrintTo(const SineCase& c, std::ostream* os) {
    *os << c.frequency << " Hz at " << c.inRate << "->" << c.outRate;
}

class ResampledSine : public ::testing::TestWithParam<SineCase> {};

TEST_P(ResampledSine, KeepsFrequencyAndMatchesTheAnalyticSine) {
    const auto [inRate, outRate, frequency] = GetParam();
    const int frames = inRate;  // one second
    const double amplitude = 0.5;
    std::vector<float> input(frames);
    for (int i = 0; i < frames; ++i)
        input[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * frequency * i / inRate));
    std::vector<uint8_t> bytes(input.size() * 4);
    std::memcpy(bytes.data(), input.data(), bytes.size());

    auto converter = Make(inRate, outRate, 1, 1, 16, 16);
    ASSERT_NE(converter, nullptr);
    const auto out = Convert(converter.get(), bytes, kBlock);
    std::vector<float> output(out.size() / 4);
    std::memcpy(output.data(), out.data(), out.size());
    ASSERT_NEAR(static_cast<double>(output.size()), static_cast<double>(outRate), 1.0);

    EXPECT_NEAR(testsupport::EstimateFrequency(output, 1, outRate), frequency, frequency * 1e-3);
    double worst = 0;
    const size_t edge = static_cast<size_t>(outRate / 20);  // the filter's run-in and run-out
    for (size_t i = edge; i + edge < output.size(); ++i) {
        const double expected = amplitude * std::sin(2 * std::numbers::pi * frequency * i / outRate);
        worst = std::max(worst, std::abs(output[i] - expected));
    }
    EXPECT_LT(worst, 1e-4) << "largest deviation from the analytic sine";
}

INSTANTIATE_TEST_SUITE_P(Rates, ResampledSine,
                         ::testing::Values(SineCase{44100, 48000, 1000}, SineCase{44100, 48000, 5000},
                                           SineCase{96000, 44100, 1000}, SineCase{96000, 44100, 5000},
                                           SineCase{8000, 192000, 440}));

}  // namespace
