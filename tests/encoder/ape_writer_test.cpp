// The Monkey's Audio writer beyond the contract every writer keeps: the format it asks for, the level that
// reaches the file (stored values outside the slider included), and the format's 4 GiB limit failing the
// file with its own text instead of wrapping its 32-bit counts.
#include <gtest/gtest.h>

#include <cstring>

#include "encoder/writer_class.h"
#include "encoder/writers.h"
#include "encoder_test_support.h"

namespace {

using testsupport::PcmSpec;
using testsupport::SampleKind;
using testsupport::TempDir;

// The compression level as the file's header states it (the first field after the 52-byte descriptor).
int HeaderLevel(const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(file);
    if (bytes.size() < 54) return -1;
    return bytes[52] | bytes[53] << 8;
}

struct FormatCase {
    const char* name;
    WAVEFORMATEX source;
    int samplerate;  // apesamplerate
    int mode;        // apemode
    uint32_t rate;   // wanted
    uint16_t channels;
    uint16_t bits;
};

class ApeInputFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(ApeInputFormat, FollowsTheSettingsAndTheNearestDepth) {
    const FormatCase& c = GetParam();
    config settings{};
    settings.apesamplerate = c.samplerate;
    settings.apemode = c.mode;
    const WAVEFORMATEX wanted = APEwriterClass.GetInputFormat(c.source, settings);
    EXPECT_EQ(wanted.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wanted.nSamplesPerSec, c.rate);
    EXPECT_EQ(wanted.nChannels, c.channels);
    EXPECT_EQ(wanted.wBitsPerSample, c.bits);
    EXPECT_EQ(wanted.nBlockAlign, c.channels * c.bits / 8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ApeInputFormat,
    testing::Values(
        FormatCase{"Defaults", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 0, 0, 44100, 2, 16},
        FormatCase{"FloatGives24", MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 48000, 2, 32), 0, 0, 48000, 2, 24},
        FormatCase{"EightStays", MakeWaveFormat(WAVE_FORMAT_PCM, 8000, 1, 8), 0, 0, 8000, 1, 8},
        FormatCase{"TieGoesToTheSmaller", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 20), 0, 0, 44100, 2, 16},
        FormatCase{"SixChannelsCappedAtTwo", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 6, 16), 0, 0, 44100, 2,
                   16},
        FormatCase{"StereoMode", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 1, 16), 0, 1, 44100, 2, 16},
        FormatCase{"MonoMode", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 24), 0, 2, 44100, 1, 24},
        FormatCase{"ModeOutsideTheListIsMono", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 0, 7, 44100, 1,
                   16},
        FormatCase{"RateFromTheList", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 4, 0, 48000, 2, 16},
        FormatCase{"LastRate", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 12, 0, 8000, 2, 16},
        FormatCase{"RateOutsideTheListKeepsTheSource", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 13, 0,
                   44100, 2, 16},
        FormatCase{"NegativeRateKeepsTheSource", MakeWaveFormat(WAVE_FORMAT_PCM, 22050, 2, 16), -1, 0, 22050,
                   2, 16}),
    [](const auto& info) { return std::string(info.param.name); });

// The slider position times 1000 reaches the file; a stored value outside 1 to 5 is taken as the slider
// shows it.
TEST(ApeWriter, TheLevelReachesTheFile) {
    ConfigGuard guard;
    TempDir dir;
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16);
    const std::vector<uint8_t> pcm = testsupport::NoisePcm({44100, 2, SampleKind::S16}, 4410);
    for (const auto& [stored, level] :
         {std::pair{1, 1000}, std::pair{2, 2000}, std::pair{3, 3000}, std::pair{4, 4000}, std::pair{5, 5000},
          std::pair{0, 1000}, std::pair{-3, 1000}, std::pair{9, 5000}}) {
        SCOPED_TRACE(stored);
        config settings{};
        settings.apecompression = stored;
        const auto file = dir / ("level" + std::to_string(stored) + ".ape");
        auto writer = APEwriterClass.Create(file.string(), source, settings);
        writer->Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
        writer->Finish();
        writer.reset();
        EXPECT_EQ(HeaderLevel(file), level);
        EXPECT_EQ(testsupport::FfmpegDecode(file, "s16le"), pcm);
    }
}

// The format counts audio bytes in 32 bits: the byte past 4294967295 fails the file with its own text,
// and nothing of it is left.
TEST(ApeWriter, AudioPastFourGigabytesFailsTheFile) {
    TempDir dir;
    const auto file = dir / "long.ape";
    auto writer = APEwriterClass.Create(file.string(), MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
    // Silence codes fastest; 4294967295 is 3 short of a whole number of 4-byte frames.
    const std::vector<uint8_t> silence(64u << 20, 0);
    uint64_t written = 0;
    const uint64_t limit = 4294967292;
    while (written + silence.size() <= limit) {
        writer->Write(silence.data(), static_cast<uint32_t>(silence.size()));
        written += silence.size();
    }
    writer->Write(silence.data(), static_cast<uint32_t>(limit - written));
    try {
        writer->Write(silence.data(), 4);
        FAIL() << "no error past the limit";
    } catch (const EEncoderError& error) {
        EXPECT_STREQ(error.what(), kApeTooLarge);
    }
    EXPECT_THROW(writer->Finish(), EEncoderError);
    writer.reset();
    EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
