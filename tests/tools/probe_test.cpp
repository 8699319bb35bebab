// wavetrove-probe as a user runs it: the per-file report, the PCM digest against FFmpeg's decode, the
// open-file filter, and the exit codes.
#include <gtest/gtest.h>

#include "support/audio_fixtures.h"

using testsupport::PcmSpec;
using testsupport::RunCommand;
using testsupport::SampleKind;
using testsupport::ShellQuote;

namespace {

std::string Probe(const std::string& arguments) {
    return (testsupport::BinDir() / "wavetrove-probe").string() + " " + arguments;
}

class ProbeTool : public ::testing::Test {
  protected:
    void SetUp() override {
        const PcmSpec spec{48000, 2, SampleKind::S24};
        pcm_ = testsupport::SinePcm(spec, 48000 * 3 + 100);
        testsupport::WriteBytes(wav_, testsupport::WavFile(spec, pcm_));
    }
    testsupport::TempDir dir_;
    std::filesystem::path wav_ = dir_ / "Probe Me.wav";
    std::vector<uint8_t> pcm_;
};

TEST_F(ProbeTool, ReportsEveryFieldOfAValidFile) {
    const auto r = RunCommand(Probe(ShellQuote(wav_.string())));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "file: " + wav_.string() +
                         "\n"
                         "class: TWAVReader\n"
                         "valid: true\n"
                         "format: WAV 48000 Hz/2 Ch\n"
                         "duration: 3\n"
                         "codec: WAV\n"
                         "rate: 48000\n"
                         "channels: 2\n"
                         "bits: 24\n"
                         "sampleformat: 16\n"
                         "formattag: 1\n"
                         "title: \n"
                         "artist: \n"
                         "album: \n"
                         "track: 0\n"
                         "year: 0\n"
                         "genre: \n");
}

TEST_F(ProbeTool, PcmDigestMatchesFfmpegsDecode) {
    const auto r = RunCommand(Probe("--pcm-md5 " + ShellQuote(wav_.string())));
    ASSERT_EQ(r.status, 0);
    const auto reference = testsupport::FfmpegDecode(wav_, "f32le");
    EXPECT_NE(r.out.find("\npcm-bytes: " + std::to_string(reference.size()) + "\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\npcm-md5: " + testsupport::Md5Hex(reference) + "\n"), std::string::npos) << r.out;
}

TEST_F(ProbeTool, UnsupportedAndInvalidFilesFailTheRunButAreStillReported) {
    const auto zip = dir_ / "archive.zip";
    const auto broken = dir_ / "broken.flac";
    testsupport::WriteBytes(zip, {1, 2, 3});
    testsupport::WriteBytes(broken, {'f', 'L', 'a', 'C'});
    const auto r = RunCommand(Probe("--pcm-md5 " + ShellQuote(zip.string()) + " " +
                                    ShellQuote(wav_.string()) + " " + ShellQuote(broken.string())));
    EXPECT_EQ(r.status, 1);
    // Three blocks separated by single blank lines, in argument order.
    const auto first = r.out.find("\n\n");
    const auto second = r.out.find("\n\n", first + 2);
    ASSERT_NE(second, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\n\n", second + 2), std::string::npos);
    EXPECT_EQ(r.out.substr(0, first + 1), "file: " + zip.string() + "\nclass: none\nvalid: false\n");
    const std::string middle = r.out.substr(first + 2, second - first - 1);
    EXPECT_EQ(middle.rfind("file: " + wav_.string() + "\nclass: TWAVReader\nvalid: true\n", 0), 0u) << middle;
    EXPECT_NE(middle.find("pcm-md5: "), std::string::npos);
    const std::string last = r.out.substr(second + 2);
    EXPECT_EQ(last.rfind("file: " + broken.string() + "\nclass: TFLACReader\nvalid: false\n", 0), 0u) << last;
    EXPECT_EQ(last.find("pcm-md5"), std::string::npos);
}

TEST(ProbeToolUsage, OpenFilterAndUsageErrors) {
    const auto filter = RunCommand(Probe("--open-filter"));
    EXPECT_EQ(filter.status, 0);
    EXPECT_EQ(filter.out.rfind("All Supported Formats|", 0), 0u);
    const std::string tail = "*.s3m|PLS Audio Playlist (*.pls)|*.pls|M3U Audio Playlist (*.m3u)|*.m3u\n";
    ASSERT_GE(filter.out.size(), tail.size());
    EXPECT_EQ(filter.out.substr(filter.out.size() - tail.size()), tail);

    // The problem in one line, a pointer to --help, exit 2 and nothing on standard output.
    const std::string hint = "Try 'wavetrove-probe --help' for more information.\n";
    const std::pair<const char*, std::string> bad[] = {
        {"", "wavetrove-probe: no files given\n"},
        {"--pcm-md5", "wavetrove-probe: no files given\n"},
        {"--bogus x.wav", "wavetrove-probe: unrecognized option '--bogus'\n"},
        {"-x x.wav", "wavetrove-probe: invalid option -- 'x'\n"},
        {"--pcm-md5=yes x.wav", "wavetrove-probe: option '--pcm-md5' doesn't allow an argument\n"},
        {"--open-filter x.wav", "wavetrove-probe: --open-filter takes no files and no other option\n"},
    };
    for (const auto& [arguments, message] : bad) {
        const auto r = RunCommand(Probe(arguments) + " 2>/dev/null");
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.out, "") << arguments;
        EXPECT_EQ(RunCommand(Probe(arguments) + " 2>&1 >/dev/null").out, message + hint) << arguments;
    }
    const auto help = RunCommand(Probe("--help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: wavetrove-probe ", 0), 0u) << help.out;
    EXPECT_EQ(RunCommand(Probe("--version")).out.rfind("wavetrove-probe (Wavetrove) ", 0), 0u);
    // "--" ends the options, so a file named like an option can still be probed.
    EXPECT_EQ(RunCommand(Probe("-- --not-an-option.zip")).status, 1);
}

}  // namespace
