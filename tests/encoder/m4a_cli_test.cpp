// The AAC and ALAC writers end to end through wavetrove-cli: lossless sources bit-identical in ALAC, the
// depth conversions of 8-bit and float sources, tags, a custom key and a cover from FLAC into both, the
// AAC file's one gapless item after the tag transfer, and failures that must exit with status 2 and leave
// no output.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "cli_support.h"
#include "encoder_test_support.h"
#include "mp4_boxes.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PcmSpec;
using testsupport::RunCommand;
using testsupport::SampleKind;
using testsupport::ShellQuote;
using testsupport::TempDir;

using clitest::AttachedPictureMd5;
using clitest::Convert;
using clitest::WriteWav;

std::map<std::string, std::string> Tags(const fs::path& file) {
    return clitest::Probe(file, "format_tags");
}

// ---- ALAC samples ----------------------------------------------------------------------------------------

// 16- and 24-bit WAV and FLAC sources come back bit-identical with their exact length.
TEST(M4aCli, LosslessSourcesDecodeBitIdenticalFromAlac) {
    for (const SampleKind kind : {SampleKind::S16, SampleKind::S24}) {
        for (const char* container : {"wav", "flac"}) {
            const int bits = kind == SampleKind::S16 ? 16 : 24;
            SCOPED_TRACE(std::to_string(bits) + "-bit " + container);
            TempDir dir;
            const PcmSpec spec{48000, 2, kind};
            const auto pcm = testsupport::NoisePcm(spec, 48000 + 4097);
            fs::path source = WriteWav(dir, "src.wav", spec, pcm);
            if (std::string(container) == "flac") {
                ASSERT_EQ(RunCommand("flac -s -o " + ShellQuote((dir / "src.flac").string()) + " " +
                                     ShellQuote(source.string()))
                              .status,
                          0);
                fs::remove(source);
                source = dir / "src.flac";
            }
            const auto r = Convert(dir, "alac", source, dir / "out");
            ASSERT_EQ(r.status, 0) << r.out;
            const auto decoded =
                testsupport::FfmpegDecode(dir / "out" / "src.m4a", bits == 16 ? "s16le" : "s24le");
            ASSERT_EQ(decoded.size(), pcm.size());
            EXPECT_TRUE(decoded == pcm) << "samples differ";
        }
    }
}

// 8-bit sources are widened to 16 bits; 32-bit float sources become 24 bits, each sample x·2^23 rounded
// and clipped.
TEST(M4aCli, EightBitAndFloatSourcesInAlac) {
    TempDir dir;
    const int64_t frames = 22050;
    const PcmSpec u8{22050, 1, SampleKind::U8};
    const auto bytes = testsupport::NoisePcm(u8, frames);
    ASSERT_EQ(Convert(dir, "alac", WriteWav(dir, "eight.wav", u8, bytes), dir / "out").status, 0);
    EXPECT_EQ(ProbeStream(dir / "out" / "eight.m4a")["bits_per_raw_sample"], "16");
    const auto wide = testsupport::FfmpegDecode(dir / "out" / "eight.m4a", "s16le");
    ASSERT_EQ(wide.size(), bytes.size() * 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int16_t value = static_cast<int16_t>(uint16_t(wide[2 * i] | wide[2 * i + 1] << 8));
        ASSERT_EQ(value, (int{bytes[i]} - 128) * 256) << i;
    }

    // Floats over the whole range, a little beyond it, and the values just around rounding points.
    const PcmSpec f32{44100, 2, SampleKind::F32};
    std::vector<float> floats;
    for (int i = 0; i < 40000; ++i) floats.push_back(static_cast<float>(std::sin(i * 0.01) * 1.2));
    for (float f : {1.0f, -1.0f, 0.5f / 8388608.0f, -0.5f / 8388608.0f, 1.5f / 8388608.0f, 0.99999994f})
        floats.push_back(f);
    if (floats.size() % 2) floats.push_back(0.0f);
    std::vector<uint8_t> raw(floats.size() * 4);
    std::memcpy(raw.data(), floats.data(), raw.size());
    ASSERT_EQ(Convert(dir, "alac", WriteWav(dir, "float.wav", f32, raw), dir / "out").status, 0);
    EXPECT_EQ(ProbeStream(dir / "out" / "float.m4a")["bits_per_raw_sample"], "24");
    const auto deep = testsupport::FfmpegDecode(dir / "out" / "float.m4a", "s32le");
    ASSERT_EQ(deep.size(), floats.size() * 4);
    for (size_t i = 0; i < floats.size(); ++i) {
        int32_t value;
        std::memcpy(&value, &deep[4 * i], 4);
        const double expected =
            std::clamp(std::nearbyint(double{floats[i]} * 8388608.0), -8388608.0, 8388607.0);
        ASSERT_EQ(value >> 8, static_cast<int32_t>(expected)) << i << ": " << floats[i];
    }
}

// ---- tags ------------------------------------------------------------------------------------------------

// A tagged FLAC's six fields, a custom key and its cover reach both M4A files. The AAC file carries one
// iTunSMPB, its own (the length of this source), after the tag transfer and with tags off; converting
// that file on, the item describing it reaches neither a FLAC nor a new AAC file as a second item.
TEST(M4aCli, TagsCustomKeyCoverAndOneGaplessItem) {
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const int64_t frames = 44100 + 555;
    const fs::path wav = WriteWav(dir, "plain.wav", spec, testsupport::SinePcm(spec, frames));
    const fs::path cover = dir / "cover.png";
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -f lavfi -i color=c=red:s=16x16 -frames:v 1 " +
                         ShellQuote(cover.string()))
                  .status,
              0);
    const fs::path source = dir / "Song.flac";
    ASSERT_EQ(
        RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(wav.string()) + " -i " +
                   ShellQuote(cover.string()) +
                   " -map 0 -map 1 -c:a flac -c:v copy -disposition:v attached_pic"
                   " -metadata:s:v comment='Cover (front)' -metadata title='Tïtle' -metadata artist=Artist"
                   " -metadata album=Album -metadata track=7 -metadata date=1999 -metadata genre=Jazz"
                   " -metadata WAVETROVE_CUSTOM='custom välue' " +
                   ShellQuote(source.string()))
            .status,
        0);
    const std::string coverMd5 = testsupport::Md5Hex(testsupport::ReadBytes(cover));
    for (const char* format : {"aac", "alac"}) {
        SCOPED_TRACE(format);
        const fs::path out = dir / format;
        const auto r = Convert(dir, format, source, out);
        ASSERT_EQ(r.status, 0) << r.out;
        const fs::path file = out / "Song.m4a";
        auto tags = Tags(file);
        EXPECT_EQ(tags["title"], "Tïtle");
        EXPECT_EQ(tags["artist"], "Artist");
        EXPECT_EQ(tags["album"], "Album");
        EXPECT_EQ(tags["track"], "7");
        EXPECT_EQ(tags["date"], "1999");
        EXPECT_EQ(tags["genre"], "Jazz");
        EXPECT_EQ(tags["wavetrove_custom"], "custom välue");
        EXPECT_EQ(AttachedPictureMd5(file), coverMd5);
        int items = 0;
        const std::string smpb = mp4test::FreeformText(mp4test::Parse(testsupport::ReadBytes(file)),
                                                       "com.apple.iTunes:iTunSMPB", &items);
        if (std::string(format) == "alac") {
            EXPECT_EQ(items, 0);
            continue;
        }
        ASSERT_EQ(items, 1);
        ASSERT_GE(smpb.size(), 44u);
        EXPECT_EQ(std::stoll(smpb.substr(28, 16), nullptr, 16), frames) << smpb;
    }

    // With tags off the gapless item is still there; converted on, only the new file's own remains.
    const auto plain = Convert(dir, "aac", wav, dir / "untagged", "--set tags=false");
    ASSERT_EQ(plain.status, 0) << plain.out;
    int items = 0;
    mp4test::FreeformText(mp4test::Parse(testsupport::ReadBytes(dir / "untagged" / "plain.m4a")),
                          "com.apple.iTunes:iTunSMPB", &items);
    EXPECT_EQ(items, 1);
    EXPECT_EQ(Tags(dir / "untagged" / "plain.m4a").count("title"), 0u);

    const fs::path first = dir / "aac" / "Song.m4a";
    ASSERT_EQ(Convert(dir, "flac", first, dir / "again").status, 0);
    EXPECT_EQ(Tags(dir / "again" / "Song.flac").count("itunsmpb"), 0u);
    ASSERT_EQ(Convert(dir, "aac", first, dir / "twice").status, 0);
    const mp4test::Movie twice = mp4test::Parse(testsupport::ReadBytes(dir / "twice" / "Song.m4a"));
    int found = 0;
    for (const auto& [key, text] : twice.freeform)
        found += strcasecmp(key.c_str(), "com.apple.iTunes:iTunSMPB") == 0;
    EXPECT_EQ(found, 1);
    // It describes the new encoding: the first file as decoded, at most a frame longer than the source.
    const std::string smpb = mp4test::FreeformText(twice, "com.apple.iTunes:iTunSMPB");
    ASSERT_GE(smpb.size(), 44u);
    const int64_t length = std::stoll(smpb.substr(28, 16), nullptr, 16);
    EXPECT_GE(length, frames) << smpb;
    EXPECT_LT(length, frames + 1024) << smpb;
}

// ---- failures --------------------------------------------------------------------------------------------

// A tmpfs of `size` on a fresh folder (read-only when asked) for the life of the object.
class SmallDisk {
  public:
    SmallDisk(const fs::path& where, const std::string& size, bool readOnly) : where_(where) {
        fs::create_directories(where);
        mounted_ =
            mount("tmpfs", where.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount(where_.c_str());
    }
    bool mounted() const { return mounted_; }

  private:
    fs::path where_;
    bool mounted_ = false;
};

struct FailureCase {
    const char* name;
    const char* format;
    const char* diskSize;
    bool readOnly;
    int64_t frames;
};

class M4aCliFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(M4aCliFailure, ExitsWithStatusTwoAndLeavesNoFile) {
    const FailureCase& c = GetParam();
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const fs::path source = WriteWav(dir, "src.wav", spec, testsupport::NoisePcm(spec, c.frames));
    const fs::path out = dir / "out";
    SmallDisk disk(out, c.diskSize, c.readOnly);
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    const auto r = Convert(dir, c.format, source, out);
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_FALSE(fs::exists(out / "src.m4a")) << r.out;
}

// Noise: ALAC keeps it at about its PCM size (176 KB a second), AAC at 16 KB a second. The muxer buffers
// 32 KB, so the small files meet the full disk only when they are completed.
INSTANTIATE_TEST_SUITE_P(
    Cases, M4aCliFailure,
    testing::Values(FailureCase{"AlacUnwritableFolder", "alac", "1m", true, 44100},
                    FailureCase{"AacUnwritableFolder", "aac", "1m", true, 44100},
                    FailureCase{"AlacDiskFullMidFile", "alac", "512k", false, 44100 * 10},
                    FailureCase{"AacDiskFullMidFile", "aac", "128k", false, 44100 * 20},
                    FailureCase{"AlacDiskFullAtTheEnd", "alac", "16k", false, 44100 / 10},
                    FailureCase{"AacDiskFullAtTheEnd", "aac", "8k", false, 44100}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
