// Encoded formats made with ffmpeg from a generated tone: MP3 and Ogg Vorbis through the built-in decoders
// (16-bit delivery), FLAC through the FFmpeg add-on (float delivery, exact samples, FFmpeg's codec name).
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/audio_fixtures.h"
#include "decoder_test_util.h"

using dectest::ReadAll;
using dectest::Registry;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

struct LossyCase {
    const char* extension;
    const char* ffmpegArguments;
    const char* className;
    const char* formatPrefix;
    bool floatOutput;
};

class LossyTone : public ::testing::TestWithParam<LossyCase> {};

TEST_P(LossyTone, DecodesToTheRightLengthAndFrequency) {
    const LossyCase& c = GetParam();
    testsupport::TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const int64_t frames = 44100 * 3 / 2;  // 1.5 s
    testsupport::WriteBytes(dir / "tone.wav",
                            testsupport::WavFile(spec, testsupport::SinePcm(spec, frames, 1000.0)));
    const auto encoded = dir / (std::string("tone.") + c.extension);
    dectest::FfmpegConvert(dir / "tone.wav", encoded, c.ffmpegArguments);

    auto source = Registry().OpenFile(encoded.string());
    ASSERT_NE(source, nullptr);
    EXPECT_STREQ(source->ClassName(), c.className);
    ASSERT_TRUE(source->IsValid());
    EXPECT_EQ(source->GetFormatText(), std::string(c.formatPrefix) + " 44100 Hz/2 Ch");
    EXPECT_EQ(source->GetDuration(), 1);
    EXPECT_EQ(source->GetSampleFormat(), c.floatOutput ? 16 : 2);
    if (!c.floatOutput) {
        EXPECT_EQ(source->GetBitsPerSample(), 16);
        EXPECT_EQ(source->GetFormatTag(), 1);
    }

    const auto read = ReadAll(*source);
    ASSERT_TRUE(read.ended);
    EXPECT_EQ(read.progress.back(), 100);
    const auto samples = c.floatOutput ? dectest::AsFloats(read.bytes) : dectest::S16AsFloats(read.bytes);
    const int64_t decodedFrames = static_cast<int64_t>(samples.size() / 2);
    const auto reference = testsupport::FfmpegDecode(encoded, "s16le");
    const int64_t referenceFrames = static_cast<int64_t>(reference.size() / 4);
    // Decoders may differ in how much encoder delay and padding they trim; one MP3 frame at most.
    EXPECT_LE(std::llabs(decodedFrames - referenceFrames), 1152)
        << decodedFrames << " vs " << referenceFrames;
    EXPECT_LE(std::llabs(decodedFrames - frames), 2400) << decodedFrames;
    EXPECT_NEAR(testsupport::EstimateFrequency(samples, 2, 44100), 1000.0, 5.0);
}

INSTANTIATE_TEST_SUITE_P(
    Ffmpeg, LossyTone,
    ::testing::Values(LossyCase{"mp3", "-c:a libmp3lame -b:a 192k", "TMP3Reader", "MP3", false},
                      LossyCase{"ogg", "-c:a libvorbis -q:a 5", "TOGGReader", "OGG", false}),
    [](const auto& info) { return std::string(info.param.extension); });

TEST(FfmpegAddon, FlacDecodesExactlyAndIsNamedByFfmpeg) {
    testsupport::TempDir dir;
    const PcmSpec spec{48000, 2, SampleKind::S24};
    testsupport::WriteBytes(dir / "n.wav", testsupport::WavFile(spec, testsupport::NoisePcm(spec, 30000)));
    dectest::FfmpegConvert(dir / "n.wav", dir / "n.flac", "-c:a flac");
    auto source = Registry().OpenFile((dir / "n.flac").string());
    ASSERT_NE(source, nullptr);
    ASSERT_TRUE(source->IsValid());
    EXPECT_EQ(source->GetCodecName(), "FLAC (Free Lossless Audio Codec)");
    EXPECT_EQ(source->GetFormatText(), "FLAC 48000 Hz/2 Ch");
    EXPECT_EQ(source->GetBitsPerSample(), 24);
    EXPECT_EQ(source->GetFormatTag(), 1);
    EXPECT_EQ(ReadAll(*source).bytes, testsupport::FfmpegDecode(dir / "n.flac", "f32le"));
}

}  // namespace
