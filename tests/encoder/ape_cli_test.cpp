// Monkey's Audio end to end through wavetrove-cli: integer sources come back bit-identical, float sources as
// 24-bit holding the same samples, each setting reaches the file, tags and the front cover travel both
// ways, and every failure (an unwritable folder, a disk full mid-file or while the file is finished, a
// source with more channels than the format holds) exits with status 2 and leaves no .ape.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <optional>

#include "encoder_test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PcmSpec;
using testsupport::RunCommand;
using testsupport::SampleKind;
using testsupport::ShellQuote;
using testsupport::TempDir;

// Converts `source` into `out` with the given extra options; answers the exit status and the output.
testsupport::CommandResult Convert(const TempDir& dir, const fs::path& source, const fs::path& out,
                                   const std::string& options = "") {
    fs::create_directories(dir / "cfg");
    fs::create_directories(out);
    return RunCommand("XDG_CONFIG_HOME=" + ShellQuote((dir / "cfg").string()) + " " +
                      ShellQuote((testsupport::BinDir() / "wavetrove-cli").string()) + " -j 1 -f ape -o " +
                      ShellQuote(out.string()) + " " + options + " " + ShellQuote(source.string()) + " 2>&1");
}

fs::path WriteWav(const TempDir& dir, const std::string& name, const PcmSpec& spec,
                  const std::vector<uint8_t>& pcm) {
    const fs::path path = dir / name;
    testsupport::WriteBytes(path, testsupport::WavFile(spec, pcm));
    return path;
}

std::map<std::string, std::string> Probe(const fs::path& file, const std::string& entries) {
    const auto r = RunCommand("ffprobe -v error -show_entries " + entries + " -of default=nw=1 " +
                              ShellQuote(file.string()));
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        const std::string line = r.out.substr(start, end - start);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            std::string key = line.substr(0, eq);
            const size_t colon = key.find(':');  // "TAG:title", "DISPOSITION:attached_pic"
            if (colon != std::string::npos) key = key.substr(colon + 1);
            for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            values[key] = line.substr(eq + 1);
        }
        start = end + 1;
    }
    return values;
}

// The compression level in the file's header (after the 52-byte descriptor).
int HeaderLevel(const fs::path& file) {
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(file);
    return bytes.size() < 54 ? -1 : bytes[52] | bytes[53] << 8;
}

std::string AttachedPictureMd5(const fs::path& file) {
    const auto r = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(file.string()) +
                              " -map 0:v:0 -c copy -f image2pipe -");
    return r.out.empty() ? "" : testsupport::Md5Hex(r.out.data(), r.out.size());
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
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const fs::path wav = WriteWav(dir, "plain.wav", spec, testsupport::SinePcm(spec, 44100));
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
                   " -metadata album=Album -metadata track=7 -metadata date=1999 -metadata genre=Jazz " +
                   ShellQuote(source.string()))
            .status,
        0);
    const std::string coverMd5 = testsupport::Md5Hex(testsupport::ReadBytes(cover));

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

    fs::create_directories(dir / "flac");
    r = RunCommand("XDG_CONFIG_HOME=" + ShellQuote((dir / "cfg").string()) + " " +
                   ShellQuote((testsupport::BinDir() / "wavetrove-cli").string()) + " -j 1 -f flac -o " +
                   ShellQuote((dir / "flac").string()) + " " + ShellQuote(ape.string()) + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(AttachedPictureMd5(dir / "flac" / "Song.flac"), coverMd5);
}

// ---- failures ------------------------------------------------------------------------------------------

// A tmpfs of `size` mounted on a fresh folder (read-only when asked) for the life of the object.
class SmallDisk {
  public:
    SmallDisk(const fs::path& where, const std::string& size, bool readOnly = false) : where_(where) {
        fs::create_directories(where);
        mounted_ =
            mount("tmpfs", where.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount(where_.c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

  private:
    fs::path where_;
    bool mounted_ = false;
};

bool HasApeFile(const fs::path& folder) {
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().extension() == ".ape") return true;
    return false;
}

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
    std::optional<SmallDisk> disk;
    if (c.diskSize) {
        if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
        disk.emplace(out, c.diskSize, c.readOnly);
        if (!disk->mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    const auto r = Convert(dir, source, out);
    EXPECT_EQ(r.status, 2) << r.out;
    if (fs::exists(out)) {
        EXPECT_FALSE(HasApeFile(out));
    }
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
