// Audio CD images through the command-line tools as a user runs them: wavetrove-probe's report and PCM
// digest of every track, wavetrove-cli ripping to WAV (checked against the image bytes through FFmpeg),
// tags from a loopback CDDB server into FLAC and MP3, read errors, tracks that cannot be read, the
// same-folder mode, and the drive options on a machine without a drive.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "support/audio_fixtures.h"
#include "support/cd_image.h"
#include "support/cddb_server.h"

namespace {

namespace fs = std::filesystem;
using testsupport::CddbServer;
using testsupport::CdImage;
using testsupport::RunCommand;
using testsupport::ShellQuote;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CdTools : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir / "cfg");
        fs::create_directories(dir / "in");
        fs::create_directories(dir / "out");
        // Audio, pregapped audio, data, odd-length audio.
        image = testsupport::MakeCdImage(
            dir / "in", "My Disc",
            {{588 * 60 + 1}, {588 * 45, true, 20}, {588 * 30, false}, {588 * 33 + 77}});
    }
    // The tool with a CDDB server setting (empty: no lookups), stdin from /dev/null, stderr into stdout.
    std::string Tool(const std::string& tool, const std::string& arguments,
                     const std::string& server = "") const {
        return "XDG_CONFIG_HOME=" + ShellQuote((dir / "cfg").string()) +
               " WAVETROVE_CDDB_SERVER=" + ShellQuote(server) + " " +
               ShellQuote((testsupport::BinDir() / tool).string()) + " " + arguments + " </dev/null 2>&1";
    }
    testsupport::CommandResult Cli(const std::string& arguments, const std::string& server = "") const {
        return RunCommand(Tool("wavetrove-cli", arguments, server));
    }
    std::string Q(const fs::path& p) const { return ShellQuote(p.string()); }
    std::string OutOption() const { return "-o " + Q(dir / "out"); }
    static std::string Tag(const fs::path& file, const std::string& key) {
        auto r = RunCommand("ffprobe -v error -show_entries format_tags=" + key + " -of default=nw=1:nk=1 " +
                            ShellQuote(file.string()));
        while (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
        return r.out;
    }

    testsupport::TempDir dir;
    CdImage image;
};

TEST_F(CdTools, ProbeReportsEveryTrackAndItsExactPcm) {
    for (size_t t : {0u, 1u, 3u}) {
        const auto r = RunCommand(Tool("wavetrove-probe", "--pcm-md5 " + ShellQuote(image.TrackName(t))));
        EXPECT_EQ(r.status, 0) << r.out;
        const std::vector<uint8_t> slice = image.TrackBytes(t);
        for (const std::string line :
             {"class: TCDA2Reader", "valid: true", "format: Audio CD Track", "codec: CDA", "rate: 44100",
              "channels: 2", "bits: 16", "sampleformat: 2"})
            EXPECT_TRUE(Has(r.out, line + "\n")) << line << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, "pcm-bytes: " + std::to_string(slice.size()) + "\n")) << r.out;
        EXPECT_TRUE(Has(r.out, "pcm-md5: " + testsupport::Md5Hex(slice) + "\n")) << r.out;
    }
    const auto data = RunCommand(Tool("wavetrove-probe", ShellQuote(image.TrackName(2))));
    EXPECT_EQ(data.status, 1);
    EXPECT_TRUE(Has(data.out, "valid: false"));
}

TEST_F(CdTools, ProbeReportsAReadError) {
    fs::resize_file(image.bin, static_cast<uintmax_t>((image.index1[1] + 5) * 2352));
    const auto r = RunCommand(Tool("wavetrove-probe", "--pcm-md5 " + ShellQuote(image.TrackName(1))));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "pcm-bytes: " + std::to_string(5 * 2352) + "\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "pcm-error: read error")) << r.out;
    EXPECT_FALSE(Has(r.out, "pcm-md5")) << r.out;
}

TEST_F(CdTools, RipsTheAudioTracksOfAnImageToWav) {
    const auto r = Cli("-f wav --set wavbps=0 " + OutOption() + " " + Q(image.cue));
    EXPECT_EQ(r.status, 0) << r.out;
    const std::vector<std::pair<std::string, size_t>> outputs = {
        {"Track01.wav", 0}, {"Track02.wav", 1}, {"Track04.wav", 3}};
    for (const auto& [name, track] : outputs) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(fs::exists(dir / "out" / name));
        EXPECT_TRUE(testsupport::FfmpegDecode(dir / "out" / name, "s16le") == image.TrackBytes(track));
    }
    EXPECT_FALSE(fs::exists(dir / "out" / "Track03.wav"));  // the data track is left out
}

TEST_F(CdTools, TagsFromTheServerReachFlacAndMp3) {
    // The disc id is what the server is asked for; find it from the add-on's query in the first request.
    std::string discId;
    CddbServer server([&](const std::string& command) {
        testsupport::CddbReply reply;
        if (command.rfind("cddb query ", 0) == 0) {
            discId = command.substr(11, 8);
            reply.body = "200 jazz " + discId + " x\r\n";
        } else {
            reply.body =
                "210 jazz " + discId + "\r\n" +
                testsupport::CddbRecord(discId, "The Quartet / Live \xC3\xA0 Paris",
                                        {"Opening", "Guest / Second", "Data", "Closing"}, 1961, "Jazz") +
                ".\r\n";
        }
        return reply;
    });
    for (const char* format : {"flac", "mp3"}) {
        SCOPED_TRACE(format);
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        const auto r =
            Cli(std::string("-f ") + format + " " + OutOption() + " " + Q(image.cue), server.Address());
        ASSERT_EQ(r.status, 0) << r.out;
        const fs::path second = dir / "out" / (std::string("Track02.") + format);
        EXPECT_EQ(Tag(second, "title"), "Second");
        EXPECT_EQ(Tag(second, "artist"), "Guest");
        EXPECT_EQ(Tag(second, "album"), "Live \xC3\xA0 Paris");
        EXPECT_EQ(Tag(second, "track").substr(0, 1), "2");
        EXPECT_EQ(Tag(second, "date"), "1961");
        EXPECT_EQ(Tag(second, "genre"), "Jazz");
        EXPECT_EQ(Tag(dir / "out" / (std::string("Track04.") + format), "artist"), "The Quartet");
    }
    // One query and one read per disc and run.
    EXPECT_EQ(server.Requests(), 4);
}

TEST_F(CdTools, AHangingServerCostsOneTimeoutAndTheAudioStillConverts) {
    CddbServer server([](const std::string&) {
        testsupport::CddbReply reply;
        reply.kind = testsupport::CddbReply::Kind::Hang;
        return reply;
    });
    const auto start = std::chrono::steady_clock::now();
    const auto r = Cli("-f wav " + OutOption() + " " + Q(image.cue), server.Address());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(dir / "out" / "Track04.wav"));
    EXPECT_EQ(server.Requests(), 1);
    // The lookup's own limit is 10 s; three tracks must not cost three of them.
    EXPECT_LT(seconds, 18.0);
}

TEST_F(CdTools, UnreadableTracksFailAndLeaveNoOutput) {
    fs::resize_file(image.bin, static_cast<uintmax_t>((image.index1[1] + 5) * 2352));
    const auto r =
        Cli("-f wav " + OutOption() + " " + ShellQuote(image.TrackName(0)) + " " +
            ShellQuote(image.TrackName(1)) + " " + ShellQuote(image.cue.string() + "/Track09.cda"));
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_TRUE(Has(r.out, "Failed to convert 2 file(s).")) << r.out;
    EXPECT_TRUE(fs::exists(dir / "out" / "Track01.wav"));
    EXPECT_FALSE(fs::exists(dir / "out" / "Track02.wav"));  // cut short by a read error: removed
    EXPECT_FALSE(fs::exists(dir / "out" / "Track09.wav"));

    const auto missing =
        Cli("-f wav " + OutOption() + " " + ShellQuote((dir / "none.cue/Track01.cda").string()));
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Has(missing.out, "no such file")) << missing.out;
}

TEST_F(CdTools, SameFolderPutsAnImagesTracksBesideIt) {
    const auto r = Cli("-f wav --same-folder " + Q(image.cue));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(dir / "in" / "Track01.wav"));
    EXPECT_TRUE(fs::exists(dir / "in" / "Track04.wav"));
}

TEST_F(CdTools, DriveOptionsWithoutADrive) {
    const auto list = Cli("--list-drives");
    if (list.status == 0) GTEST_SKIP() << "this machine has a CD drive:\n" << list.out;
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.out, "No CD drive found.\n");
    const auto cd = Cli("-f wav " + OutOption() + " --cd");
    EXPECT_EQ(cd.status, 1);
    EXPECT_EQ(cd.out, "No CD drive found.\n");
}

}  // namespace
