// Monkey's Audio end to end through wavetrove-cli: integer sources come back bit-identical, float sources as
// 24-bit holding the same samples, each setting reaches the file, tags and the front cover travel both
// ways, and every failure (an unwritable folder, a disk full mid-file or while the file is finished, a
// source with more channels than the format holds) exits with status 2 and leaves no .ape.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "cli_support.h"
#include "encoder_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::AttachedPictureMd5;
using clitest::Probe;
using clitest::WriteWav;
using testsupport::PcmSpec;
using testsupport::SampleKind;
using testsupport::TempDir;

testsupport::CommandResult Convert(const TempDir& dir, const fs::path& source, const fs::path& out,
                                   const std::string& options = "") {
    return clitest::Convert(dir, "ape", source, out, options);
}

// The compression level in the file's header (after the 52-byte descriptor).
int HeaderLevel(const fs::path& file) {
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(file);
    return bytes.size() < 54 ? -1 : bytes[52] | bytes[53] << 8;
}

// ---- samples -------------------------------------------------------------------------------------------

struct SampleCase {
    SampleKind kind;
    int channels;
};

class ApeCliSamples : public testing::TestWithParam<SampleCase> {};

TEST_P(ApeCliSamples, IntegerSourcesComeBackBitIdentical) {
    const SampleCase& c = GetParam();
    TempDir dir;
    const PcmSpec spec{44100, c.channels, c.kind};
    const std::vector<uint8_t> pcm = testsupport::NoisePcm(spec, 44100 + 333);
    const fs::path source = WriteWav(dir, "src.wav", spec, pcm);
    const auto r = Convert(dir, source, dir / "out");
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path output = dir / "out" / "src.ape";
    const char* format = c.kind == SampleKind::U8 ? "u8" : c.kind == SampleKind::S16 ? "s16le" : "s24le";
    EXPECT_TRUE(testsupport::FfmpegDecode(output, format) == pcm) << "samples differ";
    EXPECT_EQ(Probe(output, "stream=channels")["channels"], std::to_string(c.channels));
}

INSTANTIATE_TEST_SUITE_P(Depths, ApeCliSamples,
                         testing::Values(SampleCase{SampleKind::U8, 1}, SampleCase{SampleKind::U8, 2},
                                         SampleCase{SampleKind::S16, 1}, SampleCase{SampleKind::S16, 2},
                                         SampleCase{SampleKind::S24, 1}, SampleCase{SampleKind::S24, 2}),
                         [](const auto& info) {
                             const int bits = testsupport::BytesPerSample(info.param.kind) * 8;
                             return std::to_string(bits) + "bit" +
                                    (info.param.channels == 1 ? "Mono" : "Stereo");
                         });

// Float samples on the 24-bit grid arrive as 24-bit integers holding exactly those values.
TEST(ApeCli, FloatSourcesGive24BitWithTheSameSamples) {
    TempDir dir;
    const PcmSpec spec{48000, 2, SampleKind::F32};
    const std::vector<uint8_t> pcm = testsupport::NoisePcm(spec, 30000);
    const fs::path source = WriteWav(dir, "float.wav", spec, pcm);
    const auto r = Convert(dir, source, dir / "out");
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path output = dir / "out" / "float.ape";
    EXPECT_EQ(Probe(output, "stream=bits_per_raw_sample")["bits_per_raw_sample"], "24");
    const std::vector<uint8_t> decoded = testsupport::FfmpegDecode(output, "s24le");
    ASSERT_EQ(decoded.size(), pcm.size() / 4 * 3);
    for (size_t i = 0; i < pcm.size() / 4; ++i) {
        float value;
        std::memcpy(&value, pcm.data() + 4 * i, 4);
        const uint32_t bytes = uint32_t{decoded[3 * i]} << 8 | uint32_t{decoded[3 * i + 1]} << 16 |
                               uint32_t{decoded[3 * i + 2]} << 24;
        ASSERT_EQ(static_cast<int32_t>(bytes) >> 8, static_cast<int32_t>(value * 8388608.0f))
            << "sample " << i;
    }
}

// ---- settings ------------------------------------------------------------------------------------------

TEST(ApeCli, EachSettingReachesTheFile) {
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const fs::path source = WriteWav(dir, "tone.wav", spec, testsupport::SinePcm(spec, 44100));
    struct Case {
        const char* set;
        const char* rate;
        const char* channels;
        int level;
    };
    for (const Case& c :
         {Case{"", "44100", "2", 2000}, Case{"--set apecompression=4", "44100", "2", 4000},
          Case{"--set apecompression=1", "44100", "2", 1000},
          Case{"--set apecompression=5", "44100", "2", 5000},
          Case{"--set apesamplerate=4", "48000", "2", 2000},
          Case{"--set apesamplerate=11", "11025", "2", 2000}, Case{"--set apemode=2", "44100", "1", 2000}}) {
        SCOPED_TRACE(c.set);
        const fs::path out = dir / "out";
        fs::remove_all(out);
        const auto r = Convert(dir, source, out, c.set);
        ASSERT_EQ(r.status, 0) << r.out;
        const fs::path output = out / "tone.ape";
        auto stream = Probe(output, "stream=sample_rate,channels");
        EXPECT_EQ(stream["sample_rate"], c.rate);
        EXPECT_EQ(stream["channels"], c.channels);
        EXPECT_EQ(HeaderLevel(output), c.level);
    }
}

// ---- tags ----------------------------------------------------------------------------------------------

// A FLAC source's six fields and front cover arrive in the .ape; converted on to FLAC, the .ape's cover
// arrives there.
TEST(ApeCli, TagsAndFrontCoverTravelBothWays) {
    TempDir dir;
    std::string coverMd5;
    const fs::path source = clitest::TaggedFlac(dir, coverMd5);
    ASSERT_FALSE(source.empty());

    auto r = Convert(dir, source, dir / "ape");
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path ape = dir / "ape" / "Song.ape";
    auto tags = Probe(ape, "format_tags");
    EXPECT_EQ(tags["title"], "Tïtle");
    EXPECT_EQ(tags["artist"], "Artist");
    EXPECT_EQ(tags["album"], "Album");
    EXPECT_EQ(tags["track"], "7");
    EXPECT_EQ(tags["year"].empty() ? tags["date"] : tags["year"], "1999");
    EXPECT_EQ(tags["genre"], "Jazz");
    EXPECT_EQ(Probe(ape, "stream_disposition=attached_pic")["attached_pic"], "1");
    EXPECT_EQ(AttachedPictureMd5(ape), coverMd5);

    r = clitest::Convert(dir, "flac", ape, dir / "flac");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(AttachedPictureMd5(dir / "flac" / "Song.flac"), coverMd5);
}

// ---- failures ------------------------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    const char* diskSize;  // null: no disk of its own
    bool readOnly;
    int channels;
    int64_t frames;
};

class ApeCliFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(ApeCliFailure, ExitsWithStatusTwoAndLeavesNoFile) {
    const FailureCase& c = GetParam();
    TempDir dir;
    const PcmSpec spec{44100, c.channels, SampleKind::S16};
    const fs::path source = WriteWav(dir, "src.wav", spec, testsupport::NoisePcm(spec, c.frames));
    const fs::path out = dir / "out";
    std::optional<clitest::SmallDisk> disk;
    if (c.diskSize) {
        if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
        disk.emplace(out, c.diskSize, c.readOnly);
        if (!disk->mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    const auto r = Convert(dir, source, out);
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_FALSE(clitest::HasFileEnding(out, ".ape"));
}

// The compressor buffers 1 MB before it writes: 12 s of stereo noise (about 2 MB coded) overflows a
// 512 KiB disk while frames are written; 2 s (about 340 KB) reaches the disk only when the file is
// finished, and 256 KiB cannot hold it.
INSTANTIATE_TEST_SUITE_P(Cases, ApeCliFailure,
                         testing::Values(FailureCase{"UnwritableFolder", "1m", true, 2, 44100},
                                         FailureCase{"DiskFullMidFile", "512k", false, 2, 44100 * 12},
                                         FailureCase{"DiskFullWhileFinishing", "256k", false, 2, 44100 * 2},
                                         FailureCase{"SixChannels", nullptr, false, 6, 44100}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
