// WavPack end to end through wavetrove-cli: integer sources come back bit-identical with their true
// length, float sources as 32-bit integers holding the same samples, each setting reaches the file, tags
// and the front cover arrive, every failure exits with status 2 and leaves no .wv, and without libwavpack
// only WavPack fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "cli_support.h"
#include "encoder_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::Convert;
using clitest::Probe;
using clitest::WriteWav;
using testsupport::PcmSpec;
using testsupport::RunCommand;
using testsupport::SampleKind;
using testsupport::ShellQuote;
using testsupport::TempDir;

std::string Unpacked(const fs::path& file, const char* option) {
    return RunCommand(std::string("wvunpack ") + option + " " + ShellQuote(file.string()) + " 2>&1").out;
}

struct SampleCase {
    SampleKind kind;
    int channels;
};

class WvCliSamples : public testing::TestWithParam<SampleCase> {};

TEST_P(WvCliSamples, IntegerSourcesComeBackBitIdenticalWithTheirLength) {
    const SampleCase& c = GetParam();
    TempDir dir;
    const PcmSpec spec{44100, c.channels, c.kind};
    const int64_t frames = 44100 + 333;
    const std::vector<uint8_t> pcm = testsupport::NoisePcm(spec, frames);
    const fs::path source = WriteWav(dir, "src.wav", spec, pcm);
    const auto r = Convert(dir, "wv", source, dir / "out");
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path output = dir / "out" / "src.wv";
    const char* format = c.kind == SampleKind::U8 ? "u8" : c.kind == SampleKind::S16 ? "s16le" : "s24le";
    EXPECT_TRUE(testsupport::FfmpegDecode(output, format) == pcm) << "samples differ";
    const auto stream = Probe(output, "stream=channels,duration_ts");
    EXPECT_EQ(stream.at("channels"), std::to_string(c.channels));
    EXPECT_EQ(stream.at("duration_ts"), std::to_string(frames));
    EXPECT_NE(Unpacked(output, "-v").find("verified"), std::string::npos) << Unpacked(output, "-v");
}

INSTANTIATE_TEST_SUITE_P(Depths, WvCliSamples,
                         testing::Values(SampleCase{SampleKind::U8, 1}, SampleCase{SampleKind::U8, 2},
                                         SampleCase{SampleKind::S16, 1}, SampleCase{SampleKind::S16, 2},
                                         SampleCase{SampleKind::S24, 1}, SampleCase{SampleKind::S24, 2}),
                         [](const auto& info) {
                             const int bits = testsupport::BytesPerSample(info.param.kind) * 8;
                             return std::to_string(bits) + "bit" +
                                    (info.param.channels == 1 ? "Mono" : "Stereo");
                         });

// Float samples arrive as 32-bit integers: each source value times 2^31.
TEST(WvCli, FloatSourcesGive32BitWithTheSameSamples) {
    TempDir dir;
    const PcmSpec spec{48000, 2, SampleKind::F32};
    const std::vector<uint8_t> pcm = testsupport::NoisePcm(spec, 30000);
    const fs::path source = WriteWav(dir, "float.wav", spec, pcm);
    const auto r = Convert(dir, "wv", source, dir / "out");
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path output = dir / "out" / "float.wv";
    EXPECT_EQ(Probe(output, "stream=bits_per_raw_sample")["bits_per_raw_sample"], "32");
    const std::vector<uint8_t> decoded = testsupport::FfmpegDecode(output, "s32le");
    ASSERT_EQ(decoded.size(), pcm.size());
    for (size_t i = 0; i < pcm.size() / 4; ++i) {
        float value;
        int32_t sample;
        std::memcpy(&value, pcm.data() + 4 * i, 4);
        std::memcpy(&sample, decoded.data() + 4 * i, 4);
        ASSERT_EQ(sample, static_cast<int32_t>(static_cast<double>(value) * 2147483648.0)) << "sample " << i;
    }
}

TEST(WvCli, EachSettingReachesTheFile) {
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const fs::path source = WriteWav(dir, "tone.wav", spec, testsupport::SinePcm(spec, 44100));
    struct Case {
        const char* set;
        const char* rate;
        const char* channels;
        const char* modality;
    };
    for (const Case& c :
         {Case{"", "44100", "2", "high"}, Case{"--set wvcompression=0", "44100", "2", "fast"},
          Case{"--set wvcompression=2", "44100", "2", "very high"},
          Case{"--set wvsamplerate=2", "88200", "2", "high"},
          Case{"--set wvsamplerate=12", "8000", "2", "high"}, Case{"--set wvmode=2", "44100", "1", "high"}}) {
        SCOPED_TRACE(c.set);
        const fs::path out = dir / "out";
        fs::remove_all(out);
        const auto r = Convert(dir, "wv", source, out, c.set);
        ASSERT_EQ(r.status, 0) << r.out;
        const fs::path output = out / "tone.wv";
        auto stream = Probe(output, "stream=sample_rate,channels");
        EXPECT_EQ(stream["sample_rate"], c.rate);
        EXPECT_EQ(stream["channels"], c.channels);
        const std::string info = Unpacked(output, "-ss");
        EXPECT_NE(info.find(std::string("lossless, ") + c.modality + "\n"), std::string::npos) << info;
    }
}

TEST(WvCli, TagsAndFrontCoverArrive) {
    TempDir dir;
    std::string coverMd5;
    const fs::path source = clitest::TaggedFlac(dir, coverMd5);
    ASSERT_FALSE(source.empty());
    const auto r = Convert(dir, "wv", source, dir / "wv");
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path wv = dir / "wv" / "Song.wv";
    auto tags = Probe(wv, "format_tags");
    EXPECT_EQ(tags["title"], "Tïtle");
    EXPECT_EQ(tags["artist"], "Artist");
    EXPECT_EQ(tags["album"], "Album");
    EXPECT_EQ(tags["track"], "7");
    EXPECT_EQ(tags["year"].empty() ? tags["date"] : tags["year"], "1999");
    EXPECT_EQ(tags["genre"], "Jazz");
    EXPECT_EQ(clitest::AttachedPictureMd5(wv), coverMd5);
}

struct FailureCase {
    const char* name;
    const char* diskSize;  // null: no disk of its own
    bool readOnly;
    int channels;
    int64_t frames;
};

class WvCliFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(WvCliFailure, ExitsWithStatusTwoAndLeavesNoFile) {
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
    const auto r = Convert(dir, "wv", source, out);
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_FALSE(clitest::HasFileEnding(out, ".wv"));
}

// Every block is written as it is packed: 12 s of stereo noise (about 2 MB packed) fill a 512 KiB disk
// after many blocks, 2 s (about 350 KB) a 256 KiB one near the end.
INSTANTIATE_TEST_SUITE_P(Cases, WvCliFailure,
                         testing::Values(FailureCase{"UnwritableFolder", "1m", true, 2, 44100},
                                         FailureCase{"DiskFullMidFile", "512k", false, 2, 44100 * 12},
                                         FailureCase{"DiskFullNearTheEnd", "256k", false, 2, 44100 * 2},
                                         FailureCase{"SixChannels", nullptr, false, 6, 44100}),
                         [](const auto& info) { return std::string(info.param.name); });

// With libwavpack unreadable (an empty file mounted over it in a private mount namespace) a WavPack
// conversion fails with status 2 and no file, and FLAC still converts.
TEST(WvCli, WithoutTheLibraryOnlyWavPackFails) {
    if (geteuid() != 0) GTEST_SKIP() << "a private mount namespace needs root";
    const auto found = RunCommand("ldconfig -p | awk '/libwavpack\\.so\\.1 .*x86-64/ { print $NF; exit }'");
    std::string library = found.out.substr(0, found.out.find('\n'));
    if (library.empty()) GTEST_SKIP() << "libwavpack.so.1 is not installed";
    if (RunCommand("unshare -m true").status != 0) GTEST_SKIP() << "cannot make a mount namespace here";
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const fs::path source = WriteWav(dir, "src.wav", spec, testsupport::SinePcm(spec, 44100));
    const std::string hide = "unshare -m sh -c 'mount --bind /dev/null " + library + " && exec \"$@\"' hide";
    const auto wv = Convert(dir, "wv", source, dir / "wv", "", hide);
    EXPECT_EQ(wv.status, 2) << wv.out;
    EXPECT_FALSE(clitest::HasFileEnding(dir / "wv", ".wv"));
    const auto flac = Convert(dir, "flac", source, dir / "flac", "", hide);
    EXPECT_EQ(flac.status, 0) << flac.out;
    EXPECT_TRUE(fs::exists(dir / "flac" / "src.flac"));
}

}  // namespace
