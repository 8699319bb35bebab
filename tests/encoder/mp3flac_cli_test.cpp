// End to end through wavetrove-cli: a tagged FLAC source converted to MP3 and to FLAC arrives with its six
// tags and its exact length, as FFmpeg reads the outputs.
#include <gtest/gtest.h>

#include "cli_support.h"
#include "encoder_test_support.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;
using testsupport::TempDir;

std::map<std::string, std::string> FormatTags(const std::filesystem::path& file) {
    return clitest::Probe(file, "format_tags");
}

class CliTags : public testing::TestWithParam<const char*> {};

TEST_P(CliTags, SixTagsAndLengthArrive) {
    const std::string format = GetParam();
    TempDir dir;
    const testsupport::PcmSpec spec{44100, 2, testsupport::SampleKind::S16};
    const int64_t frames = 44100 * 2 + 777;
    testsupport::WriteBytes(dir / "src.wav", testsupport::WavFile(spec, testsupport::SinePcm(spec, frames)));
    const auto source = dir / "Song.flac";
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote((dir / "src.wav").string()) +
                         " -metadata title='Tïtle One' -metadata artist=Artist -metadata album=Album"
                         " -metadata track=7 -metadata date=1999 -metadata genre=Jazz " +
                         ShellQuote(source.string()))
                  .status,
              0);
    std::filesystem::create_directories(dir / "out");
    std::filesystem::create_directories(dir / "cfg");
    const auto r =
        RunCommand("XDG_CONFIG_HOME=" + ShellQuote((dir / "cfg").string()) + " " +
                   ShellQuote((testsupport::BinDir() / "wavetrove-cli").string()) + " -j 1 -f " + format +
                   " -o " + ShellQuote((dir / "out").string()) + " " + ShellQuote(source.string()));
    ASSERT_EQ(r.status, 0) << r.out;
    const auto output = dir / "out" / ("Song." + format);
    ASSERT_TRUE(std::filesystem::exists(output)) << r.out;

    auto tags = FormatTags(output);
    EXPECT_EQ(tags["title"], "Tïtle One");
    EXPECT_EQ(tags["artist"], "Artist");
    EXPECT_EQ(tags["album"], "Album");
    EXPECT_EQ(tags["track"], "7");
    EXPECT_EQ(tags["date"], "1999");
    EXPECT_EQ(tags["genre"], "Jazz");
    const auto decoded = testsupport::FfmpegDecode(output, "s16le");
    EXPECT_EQ(static_cast<int64_t>(decoded.size()), frames * 4);
    if (format == "flac") {
        EXPECT_EQ(decoded, testsupport::SinePcm(spec, frames));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CliTags, testing::Values("mp3", "flac"));

}  // namespace
