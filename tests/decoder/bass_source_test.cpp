// TBASSReaderu through the WAV and AIFF sources over files generated in code: format facts, block sizes,
// progress, rewinding and samples compared byte for byte with FFmpeg's decode.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/audio_fixtures.h"
#include "decoder_test_util.h"
#include "decoder/sources.h"

using dectest::ReadAll;
using dectest::Registry;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

struct PcmCase {
    const char* container;  // "wav" or "aiff"
    SampleKind kind;
    int channels;
    int bits;
    uint16_t formatTag;
};

std::string CaseName(const ::testing::TestParamInfo<PcmCase>& info) {
    static const char* kinds[] = {"u8", "s16", "s24", "s32", "f32"};
    return std::string(info.param.container) + "_" + kinds[static_cast<int>(info.param.kind)] + "_" +
           std::to_string(info.param.channels) + "ch";
}

class PcmFileSource : public ::testing::TestWithParam<PcmCase> {
  protected:
    std::filesystem::path Write(const PcmSpec& spec, int64_t frames) {
        const auto pcm = testsupport::SinePcm(spec, frames, 997.0, 0.7);
        const bool wav = std::string(GetParam().container) == "wav";
        const auto path = dir_ / (std::string("tone.") + GetParam().container);
        testsupport::WriteBytes(path,
                                wav ? testsupport::WavFile(spec, pcm) : testsupport::AiffFile(spec, pcm));
        return path;
    }
    testsupport::TempDir dir_;
};

TEST_P(PcmFileSource, ReportsTheFormatAndDeliversFfmpegsSamples) {
    const PcmCase& c = GetParam();
    const PcmSpec spec{44100, c.channels, c.kind};
    const auto path = Write(spec, 44100 * 2 + 30000);  // 2.68 s: duration truncates to 2
    auto source = Registry().OpenFile(path.string());
    ASSERT_NE(source, nullptr);
    const bool wav = std::string(c.container) == "wav";
    EXPECT_STREQ(source->ClassName(), wav ? "TWAVReader" : "TAIFFReader");
    ASSERT_TRUE(source->IsValid());
    EXPECT_EQ(source->GetFormatText(),
              std::string(wav ? "WAV" : "AIFF") + " 44100 Hz/" + std::to_string(c.channels) + " Ch");
    EXPECT_EQ(source->GetDuration(), 2);
    EXPECT_EQ(source->GetSampleRate(), 44100);
    EXPECT_EQ(source->GetChannels(), c.channels);
    EXPECT_EQ(source->GetBitsPerSample(), c.bits);
    EXPECT_EQ(source->GetSampleFormat(), SAMPLE_FORMAT_FLOAT);
    EXPECT_EQ(source->GetFormatTag(), c.formatTag);
    const WAVEFORMATEX f = source->GetWaveFormat();
    EXPECT_EQ(f.wFormatTag, c.formatTag);
    EXPECT_EQ(f.wBitsPerSample, c.bits);
    EXPECT_EQ(f.nChannels, c.channels);
    EXPECT_EQ(f.nBlockAlign, c.channels * c.bits / 8);
    EXPECT_EQ(source->GetProgress(), 0);

    const auto first = ReadAll(*source);
    ASSERT_TRUE(first.ended);
    EXPECT_LE(first.largestBlock, 8192u);
    EXPECT_EQ(first.bytes.size() % (4 * c.channels), 0u);
    ASSERT_FALSE(first.progress.empty());
    EXPECT_EQ(first.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(first.progress.begin(), first.progress.end()));
    EXPECT_EQ(first.bytes, testsupport::FfmpegDecode(path, "f32le"));

    source->Rewind();
    EXPECT_EQ(source->GetProgress(), 0);
    const auto second = ReadAll(*source);
    EXPECT_EQ(second.bytes, first.bytes);
    EXPECT_EQ(second.progress.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(
    Generated, PcmFileSource,
    ::testing::Values(PcmCase{"wav", SampleKind::U8, 1, 8, 1}, PcmCase{"wav", SampleKind::U8, 2, 8, 1},
                      PcmCase{"wav", SampleKind::S16, 1, 16, 1}, PcmCase{"wav", SampleKind::S16, 2, 16, 1},
                      PcmCase{"wav", SampleKind::S24, 2, 24, 1}, PcmCase{"wav", SampleKind::S32, 2, 32, 1},
                      PcmCase{"wav", SampleKind::F32, 1, 32, 3}, PcmCase{"wav", SampleKind::F32, 2, 32, 3},
                      PcmCase{"aiff", SampleKind::U8, 2, 8, 1}, PcmCase{"aiff", SampleKind::S16, 1, 16, 1},
                      PcmCase{"aiff", SampleKind::S16, 2, 16, 1}, PcmCase{"aiff", SampleKind::S24, 2, 24, 1},
                      PcmCase{"aiff", SampleKind::S32, 2, 32, 1}),
    CaseName);

TEST(BassSource, SixChannelFilesAreRefused) {
    testsupport::TempDir dir;
    struct SixCase {
        const char* name;
        SampleKind kind;
    };
    for (const SixCase& c : {SixCase{"six16.wav", SampleKind::S16}, SixCase{"six24.wav", SampleKind::S24},
                             SixCase{"sixf.wav", SampleKind::F32}, SixCase{"six16.aiff", SampleKind::S16},
                             SixCase{"six24.aiff", SampleKind::S24}}) {
        const PcmSpec spec{48000, 6, c.kind};
        const auto pcm = testsupport::SinePcm(spec, 4800);
        const bool wav = ExtractFileExt(c.name) == ".wav";
        testsupport::WriteBytes(dir / c.name,
                                wav ? testsupport::WavFile(spec, pcm) : testsupport::AiffFile(spec, pcm));
        auto source = Registry().OpenFile((dir / c.name).string());
        ASSERT_NE(source, nullptr);
        EXPECT_FALSE(source->IsValid()) << c.name;
        EXPECT_EQ(source->GetChannels(), 6) << c.name;
    }
}

// Float or 16-bit delivery decides what the source reports, whatever the file holds.
struct DeliveryCase {
    SampleKind kind;
    bool floatOutput;
    int bits;
    uint16_t formatTag;
    int sampleFormat;
};

class DeliveryChoice : public ::testing::TestWithParam<DeliveryCase> {};

TEST_P(DeliveryChoice, BitsTagAndSampleFormat) {
    const DeliveryCase& c = GetParam();
    testsupport::TempDir dir;
    const PcmSpec spec{44100, 2, c.kind};
    const auto pcm = testsupport::SinePcm(spec, 20000);
    testsupport::WriteBytes(dir / "in.wav", testsupport::WavFile(spec, pcm));
    auto source = TWAVReaderClass.Create((dir / "in.wav").string(), c.floatOutput);
    ASSERT_TRUE(source->IsValid());
    EXPECT_EQ(source->GetBitsPerSample(), c.bits);
    EXPECT_EQ(source->GetFormatTag(), c.formatTag);
    EXPECT_EQ(source->GetSampleFormat(), c.sampleFormat);
    const auto read = ReadAll(*source);
    EXPECT_EQ(read.bytes.size(), 20000u * 2 * (c.floatOutput ? 4 : 2));
    if (!c.floatOutput && c.kind == SampleKind::S16) {
        EXPECT_EQ(read.bytes, pcm);  // 16-bit passes untouched
    }
}

INSTANTIATE_TEST_SUITE_P(Wav, DeliveryChoice,
                         ::testing::Values(DeliveryCase{SampleKind::S24, true, 24, 1, 16},
                                           DeliveryCase{SampleKind::F32, true, 32, 3, 16},
                                           DeliveryCase{SampleKind::S32, true, 32, 1, 16},
                                           DeliveryCase{SampleKind::U8, true, 8, 1, 16},
                                           DeliveryCase{SampleKind::S24, false, 16, 1, 2},
                                           DeliveryCase{SampleKind::F32, false, 16, 1, 2},
                                           DeliveryCase{SampleKind::S16, false, 16, 1, 2}));

TEST(BassSource, ProgressRoundsHalvesToEven) {
    testsupport::TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::F32};
    // 131072 bytes of float output: each 8192-byte block adds exactly 6.25 %.
    testsupport::WriteBytes(dir / "p.wav", testsupport::WavFile(spec, testsupport::SinePcm(spec, 16384)));
    auto source = Registry().OpenFile((dir / "p.wav").string());
    ASSERT_TRUE(source->IsValid());
    const auto read = ReadAll(*source);
    const std::vector<int> expected = {6, 12, 19, 25, 31, 38, 44, 50, 56, 62, 69, 75, 81, 88, 94, 100};
    EXPECT_EQ(read.progress, expected);
    EXPECT_EQ(read.bytes.size(), 131072u);
}

TEST(BassSource, NameWithoutExtension) {
    testsupport::TempDir dir;
    const PcmSpec spec{22050, 1, SampleKind::S16};
    testsupport::WriteBytes(dir / "noext", testsupport::WavFile(spec, testsupport::SinePcm(spec, 22050)));
    auto source = TWAVReaderClass.CreateFromFile((dir / "noext").string());
    ASSERT_TRUE(source->IsValid());
    EXPECT_EQ(source->GetFormatText(), " 22050 Hz/1 Ch");
    EXPECT_EQ(source->GetCodecName(), "");
    EXPECT_EQ(source->GetDuration(), 1);
}

TEST(BassSource, MissingFileIsInvalidAndReadsNothing) {
    auto source = TWAVReaderClass.CreateFromFile("/nonexistent/none.wav");
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(source->IsValid());
    const uint8_t* data = reinterpret_cast<const uint8_t*>(1);
    uint32_t count = 99;
    EXPECT_EQ(source->ReadBlock(data, count), 1);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(count, 0u);
    source->Rewind();  // harmless on a source that never opened
}

}  // namespace
