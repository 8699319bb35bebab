// The decoding steps below the host, driven directly: partial delivery out of the sample buffer, the end
// flag of the stream procedure, the 16-bit path, and the integer-to-float factors.
#include <gtest/gtest.h>

#include <cstring>

#include "ffdeck/ffdeck.h"
#include "ffdeck_fixtures.h"

using namespace ffdecktest;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

// A stream instance opened by FFmpeg itself (no host file), so the stream procedure can be called alone.
struct OpenedStream {
    explicit OpenedStream(const std::filesystem::path& file, DWORD flags) {
        instance.decoder = std::make_unique<ffdeck::DecoderState>();
        opened = ffdeck::OpenDecoder(*instance.decoder, file.c_str(), nullptr);
        instance.floatOutput = flags & BASS_SAMPLE_FLOAT;
        instance.prescan = flags & BASS_STREAM_PRESCAN;
    }
    ~OpenedStream() { ffdeck::CloseDecoder(*instance.decoder); }
    ffdeck::StreamInstance instance;
    bool opened = false;
};

class DecodeUnit : public testing::Test {
  protected:
    void SetUp() override { EnsureHost(); }
    testsupport::TempDir dir_;
};

TEST_F(DecodeUnit, ShortRequestKeepsTheRestOfTheDecodedBatch) {
    // 1250-sample FLAC blocks in stereo decode to batches of 10000 float bytes.
    PcmSpec spec{44100, 2, SampleKind::S16};
    auto wav = MakeNoiseWav(dir_ / "s.wav", spec, 1250 * 8);
    auto flac = dir_ / "s.flac";
    FfmpegConvert(wav, "-c:a flac -frame_size 1250", flac);
    auto expected = testsupport::FfmpegDecode(flac, "f32le");

    OpenedStream s(flac, BASS_SAMPLE_FLOAT);
    ASSERT_TRUE(s.opened);
    std::vector<uint8_t> got(20000);
    EXPECT_EQ(ffdeck::ReadFloat(s.instance.decoder.get(), got.data(), 4096), 4096);
    EXPECT_EQ(ffdeck::ReadFloat(s.instance.decoder.get(), got.data() + 4096, 20000 - 4096), 5904);
    EXPECT_EQ(std::memcmp(got.data(), expected.data(), 10000), 0);
    // The next call decodes the following block.
    EXPECT_EQ(ffdeck::ReadFloat(s.instance.decoder.get(), got.data() + 10000, 10000), 10000);
    EXPECT_EQ(std::memcmp(got.data(), expected.data(), 20000), 0);
}

TEST_F(DecodeUnit, StreamProcedureEndsWithTheEndFlagAndKnowsTheTotal) {
    PcmSpec spec{8000, 1, SampleKind::S16};
    auto wav = MakeNoiseWav(dir_ / "e.wav", spec, 1000);
    auto file = dir_ / "e.au";
    FfmpegConvert(wav, "-c:a pcm_s16be", file);

    OpenedStream s(file, BASS_SAMPLE_FLOAT);
    ASSERT_TRUE(s.opened);
    std::vector<uint8_t> buffer(3000);
    DWORD delivered = 0;
    DWORD answer;
    while ((answer = ffdeck::StreamProc(1, buffer.data(), 3000, &s.instance)) != BASS_STREAMPROC_END) {
        ASSERT_LE(answer, 3000u);
        delivered += answer;
    }
    EXPECT_EQ(delivered, 4000u);
    EXPECT_EQ(ffdeck::StreamProc(1, buffer.data(), 3000, &s.instance), BASS_STREAMPROC_END);
    EXPECT_EQ(ffdeck::GetLength(&s.instance, BASS_POS_BYTE), 4000u);
}

TEST_F(DecodeUnit, SixteenBitPathConvertsThroughTheHost) {
    // A constant 0.5 in double precision: the host's conversion gives 16384.
    auto file = dir_ / "half.w64";
    auto r = testsupport::RunCommand(
        "ffmpeg -nostdin -v error -y -f lavfi -i aevalsrc=0.5:s=8000:d=1 -c:a pcm_f64le " +
        testsupport::ShellQuote(file.string()));
    ASSERT_EQ(r.status, 0);
    OpenedStream s(file, 0);
    ASSERT_TRUE(s.opened);
    std::vector<int16_t> out(2048, 0);
    DWORD answer = ffdeck::StreamProc(1, out.data(), 4096, &s.instance);
    EXPECT_EQ(answer, 4096u);
    for (int16_t v : out) ASSERT_EQ(v, 16384);
}

struct FactorCase {
    AVSampleFormat format;
    std::vector<uint8_t> element;
    float expected;
};

template <typename T>
std::vector<uint8_t> Bytes(T v) {
    std::vector<uint8_t> b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

TEST(SampleToFloat, UsesPowerOfTwoFactors) {
    const FactorCase cases[] = {
        {AV_SAMPLE_FMT_U8, {0}, -1.0f},
        {AV_SAMPLE_FMT_U8, {128}, 0.0f},
        {AV_SAMPLE_FMT_U8P, {255}, 127.0f / 128},
        {AV_SAMPLE_FMT_S16, Bytes<int16_t>(-32768), -1.0f},
        {AV_SAMPLE_FMT_S16P, Bytes<int16_t>(16384), 0.5f},
        {AV_SAMPLE_FMT_S32, Bytes<int32_t>(INT32_MIN), -1.0f},
        {AV_SAMPLE_FMT_S32P, Bytes<int32_t>(0x40000000), 0.5f},
        {AV_SAMPLE_FMT_S64, Bytes<int64_t>(INT64_MIN), -1.0f},
        {AV_SAMPLE_FMT_S64P, Bytes<int64_t>(INT64_C(0x4000000000000000)), 0.5f},
        {AV_SAMPLE_FMT_FLT, Bytes<float>(0.25f), 0.25f},
        {AV_SAMPLE_FMT_DBL, Bytes<double>(-0.125), -0.125f},
    };
    AVCodecContext context{};
    for (const auto& c : cases) {
        context.sample_fmt = c.format;
        EXPECT_EQ(ffdeck::SampleToFloat(&context, c.element.data(), 0), c.expected)
            << av_get_sample_fmt_name(c.format);
    }
}

}  // namespace
