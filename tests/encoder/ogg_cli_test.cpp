// The Ogg Vorbis and Opus writers end to end through wavetrove-cli: tags and a cover picture from FLAC and
// MP3 sources, lengths as FFmpeg and the reference decoders read them, resampled lengths, and failures that
// must exit with status 2 and leave no output (an unwritable folder, a full disk early and at the last
// pages, an Opus set-up libopus refuses).
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <string>

#include "encoder_test_support.h"
#include "ogg_pages.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunCommand;
using testsupport::ShellQuote;
using testsupport::TempDir;

testsupport::CommandResult Cli(const TempDir& dir, const std::string& args) {
    fs::create_directories(dir / "cfg");
    return RunCommand("XDG_CONFIG_HOME=" + ShellQuote((dir / "cfg").string()) + " " +
                      ShellQuote((testsupport::BinDir() / "wavetrove-cli").string()) + " -j 1 " + args +
                      " 2>&1");
}

// A WAV source of a tone, `frames` long at 44.1 kHz stereo 16-bit.
fs::path WavSource(const TempDir& dir, int64_t frames, const std::string& name = "src.wav") {
    const testsupport::PcmSpec spec{44100, 2, testsupport::SampleKind::S16};
    testsupport::WriteBytes(dir / name, testsupport::WavFile(spec, testsupport::SinePcm(spec, frames)));
    return dir / name;
}

// The comments of a Vorbis or Opus stream's comment header as KEY=value texts.
std::vector<std::string> Comments(const fs::path& file) {
    const oggtest::Stream stream = oggtest::Parse(testsupport::ReadBytes(file));
    std::vector<std::string> comments;
    if (stream.packets.size() < 2) return comments;
    const auto& packet = stream.packets[1].data;
    const size_t magic = packet.size() > 8 && packet[0] == 'O' ? 8 : 7;  // "OpusTags" or "\x03vorbis"
    size_t at = magic;
    const auto next = [&]() -> uint32_t {
        if (at + 4 > packet.size()) return 0;
        const uint32_t v = oggtest::Le32(&packet[at]);
        at += 4;
        return v;
    };
    at += next();
    const uint32_t count = next();
    for (uint32_t i = 0; i < count && at < packet.size(); ++i) {
        const uint32_t length = next();
        if (at + length > packet.size()) break;
        comments.emplace_back(packet.begin() + static_cast<std::ptrdiff_t>(at),
                              packet.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return comments;
}

bool HasComment(const std::vector<std::string>& comments, const std::string& text) {
    for (const std::string& c : comments)
        if (c.size() >= text.size() && strncasecmp(c.c_str(), text.c_str(), text.size()) == 0) return true;
    return false;
}

struct TagCase {
    const char* format;  // ogg, opus
    const char* source;  // flac, mp3
};

class OggCliTags : public testing::TestWithParam<TagCase> {};

TEST_P(OggCliTags, SixFieldsAndTheCoverArrive) {
    const TagCase& c = GetParam();
    TempDir dir;
    const int64_t frames = 44100 * 2 + 777;
    const fs::path wav = WavSource(dir, frames);
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -f lavfi -i color=red:s=16x16 -frames:v 1 " +
                         ShellQuote((dir / "cover.png").string()))
                  .status,
              0);
    const fs::path source = dir / (std::string("Song.") + c.source);
    const std::string codec = std::string(c.source) == "mp3" ? " -c:a libmp3lame -id3v2_version 3" : "";
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(wav.string()) + " -i " +
                         ShellQuote((dir / "cover.png").string()) + " -map 0 -map 1" + codec +
                         " -c:v copy -disposition:v attached_pic -metadata:s:v comment='Cover (front)'"
                         " -metadata title='Tïtle One' -metadata artist=Artist -metadata album=Album"
                         " -metadata track=7 -metadata date=1999 -metadata genre=Jazz " +
                         ShellQuote(source.string()))
                  .status,
              0);
    fs::create_directories(dir / "out");
    const auto r = Cli(dir, std::string("-f ") + c.format + " -o " + ShellQuote((dir / "out").string()) +
                                " " + ShellQuote(source.string()));
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path output = dir / "out" / (std::string("Song.") + c.format);
    ASSERT_TRUE(fs::exists(output));

    const auto comments = Comments(output);
    for (const char* field : {"TITLE=Tïtle One", "ARTIST=Artist", "ALBUM=Album", "TRACKNUMBER=7", "DATE=1999",
                              "GENRE=Jazz", "METADATA_BLOCK_PICTURE="})
        EXPECT_TRUE(HasComment(comments, field)) << field;
    const std::string info = std::string(c.format) == "ogg" ? "ogginfo" : "opusinfo";
    const auto checked = RunCommand(info + " " + ShellQuote(output.string()) + " 2>&1");
    EXPECT_EQ(checked.status, 0) << checked.out;

    if (std::string(c.source) != "flac") return;  // an MP3 source's own length is not exact
    // FFmpeg's decode: exact for Vorbis at the source's rate, within a sample for Opus at 48 kHz.
    const auto decoded = testsupport::FfmpegDecode(output, "s16le");
    const int64_t decodedFrames = static_cast<int64_t>(decoded.size()) / 4;
    if (std::string(c.format) == "ogg") {
        EXPECT_EQ(decodedFrames, frames);
        const auto oggdec = RunCommand("oggdec -Q -R -o - " + ShellQuote(output.string()) + " | wc -c");
        EXPECT_EQ(std::stoll(oggdec.out), frames * 4);
    } else {
        EXPECT_LE(std::llabs(decodedFrames - frames * 48000 / 44100), 1) << decodedFrames;
        const auto opusdec = RunCommand("opusdec --quiet --rate 48000 " + ShellQuote(output.string()) + " " +
                                        ShellQuote((dir / "back.wav").string()));
        EXPECT_EQ(opusdec.status, 0);
        EXPECT_LE(std::llabs(static_cast<int64_t>(fs::file_size(dir / "back.wav")) - 44 -
                             frames * 48000 / 44100 * 4),
                  4);
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, OggCliTags,
                         testing::Values(TagCase{"ogg", "flac"}, TagCase{"opus", "flac"},
                                         TagCase{"ogg", "mp3"}, TagCase{"opus", "mp3"}),
                         [](const auto& info) {
                             return std::string(info.param.format) + "_" + info.param.source;
                         });

// Resampled by the pipeline: the last granule within a frame of the source's length at the new rate.
TEST(OggCli, ResampledLengthIsWithinAFrame) {
    for (const auto& [index, rate] : {std::pair{4, 48000}, std::pair{12, 8000}}) {
        SCOPED_TRACE(rate);
        TempDir dir;
        const int64_t frames = 44100 * 3 / 2 + 123;
        const fs::path wav = WavSource(dir, frames);
        const auto r = Cli(dir, "-f ogg --set oggsrate=" + std::to_string(index) + " -o " +
                                    ShellQuote(dir.path().string()) + " " + ShellQuote(wav.string()));
        ASSERT_EQ(r.status, 0) << r.out;
        const oggtest::Stream stream = oggtest::Parse(testsupport::ReadBytes(dir / "src.ogg"));
        ASSERT_TRUE(stream.error.empty()) << stream.error;
        const double expected = static_cast<double>(frames) * rate / 44100.0;
        EXPECT_LE(std::abs(static_cast<double>(stream.pages.back().granule) - expected), 1.0);
    }
}

// ---- failures --------------------------------------------------------------------------------------------

// A small tmpfs, or a read-only one that even root cannot write to (CI runs as root); the tests skip where
// mounting is not allowed.
class SmallDisk {
  public:
    SmallDisk(const fs::path& where, const char* size, bool readOnly = false) : path_(where) {
        fs::create_directories(path_);
        mounted_ = mount("tmpfs", path_.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0,
                         (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount(path_.c_str());
    }
    bool mounted() const { return mounted_; }

  private:
    fs::path path_;
    bool mounted_ = false;
};

struct FailCase {
    const char* name;
    const char* format;
    int64_t frames;
    const char* diskSize;  // null: no small disk
    bool readOnly;         // the disk is mounted read-only
    const char* extra;     // further options
};

class OggCliFailure : public testing::TestWithParam<FailCase> {};

TEST_P(OggCliFailure, ExitsWithStatusTwoAndLeavesNoOutput) {
    const FailCase& c = GetParam();
    TempDir dir;
    const fs::path wav = WavSource(dir, c.frames);
    fs::path out = dir / "out";
    std::unique_ptr<SmallDisk> disk;
    if (c.diskSize) {
        disk = std::make_unique<SmallDisk>(out, c.diskSize, c.readOnly);
        if (!disk->mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    } else {
        fs::create_directories(out);
    }
    const auto r = Cli(dir, std::string("-f ") + c.format + " " + c.extra + " -o " +
                                ShellQuote(out.string()) + " " + ShellQuote(wav.string()));
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_FALSE(fs::exists(out / (std::string("src.") + c.format))) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OggCliFailure,
    testing::Values(FailCase{"OggUnwritableFolder", "ogg", 4410, "64k", true, ""},
                    FailCase{"OpusUnwritableFolder", "opus", 4410, "64k", true, ""},
                    FailCase{"OggDiskFullMidStream", "ogg", 44100 * 20, "64k", false, ""},
                    FailCase{"OpusDiskFullMidStream", "opus", 44100 * 20, "64k", false, ""},
                    // A short file: the Vorbis headers fill the disk; libopusenc writes everything after its
                    // headers while the file is finished.
                    FailCase{"OggDiskFullAtTheLastPages", "ogg", 44100, "4k", false, ""},
                    FailCase{"OpusDiskFullAtTheLastPages", "opus", 44100, "8k", false, ""},
                    FailCase{"OpusSetUpRefused", "opus", 4410, nullptr, false, "--set opusvbrmode=2"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
