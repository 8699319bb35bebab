// A run killed outright (a crash, an out-of-memory kill, a power cut) must never leave a truncated output
// under a name that looks finished. The tool is killed with SIGKILL at named moments of a two-worker run,
// with and without earlier outputs; afterwards every final name holds the earlier file untouched or a
// complete output, everything else is a hidden temporary file, and a re-run that skips existing outputs
// completes the batch and removes those temporary files.
#include <sys/stat.h>
#include <utime.h>

#include <ctime>

#include "cli_fixture.h"

namespace clitest {
namespace {

constexpr int64_t kFrames = 44100 * 4;  // long enough for many blocks per file
const std::vector<uint8_t> kOld = {'o', 'l', 'd'};

struct CrashCase {
    const char* point;  // "<point>:<n>": killed the n-th time any worker reaches <point>
    bool existing;      // earlier outputs are there and the policy replaces them
};

std::string CaseName(const testing::TestParamInfo<CrashCase>& info) {
    std::string name = info.param.point;
    for (char& c : name)
        if (c == ':') c = '_';
    return name + (info.param.existing ? "_replacing" : "_fresh");
}

bool IsHiddenPartial(const std::string& name) {
    return name.size() > 9 && name[0] == '.' && name.compare(name.size() - 8, 8, ".partial") == 0;
}

class CrashTest : public Cli, public testing::WithParamInterface<CrashCase> {
  protected:
    // The run: both sources to MP3 with two workers, killed at `point` when given.
    testsupport::CommandResult Convert(const std::string& policy, const std::string& point = "") {
        const std::string crash = point.empty() ? "" : "WAVETROVE_CRASH_AT=" + point + " ";
        return RunCommand(crash +
                          Command("-j 2 -f mp3 -o " + Q(dir / "out") + " --overwrite " + policy + " " +
                                  Q(a_) + " " + Q(b_)) +
                          "; echo \"exit status $?\"");
    }

    // A final name holds the earlier file, untouched, or an output that decodes to the source's length.
    void ExpectOldOrComplete(const std::string& name) {
        const fs::path file = Out(name);
        if (testsupport::ReadBytes(file) == kOld) return;
        const auto pcm = testsupport::FfmpegDecode(file, "s16le");
        const int64_t frames = static_cast<int64_t>(pcm.size()) / 4;
        EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(kFrames), 2 * 1152.0)
            << name << " is not a complete output";
    }

    fs::path a_ = Wav("a.wav", 2, kFrames);
    fs::path b_ = Wav("b.wav", 2, kFrames);
};

TEST_P(CrashTest, KilledRunLeavesOnlyCompleteOutputsAndARerunFinishes) {
#ifndef WAVETROVE_CRASH_POINTS
    GTEST_SKIP() << "this build has no crash points";
#endif
    const CrashCase& c = GetParam();
    if (c.existing) {
        testsupport::WriteBytes(Out("a.mp3"), kOld);
        testsupport::WriteBytes(Out("b.mp3"), kOld);
    }
    const auto killed = Convert("overwrite", c.point);
    ASSERT_TRUE(Has(killed.out, "exit status 137")) << "not killed at " << c.point << ":\n" << killed.out;

    std::vector<std::string> partials;
    for (const auto& e : fs::directory_iterator(dir / "out")) {
        const std::string name = e.path().filename().string();
        if (name == "a.mp3" || name == "b.mp3") {
            ExpectOldOrComplete(name);
        } else {
            EXPECT_TRUE(IsHiddenPartial(name)) << name << " left under a visible name";
            partials.push_back(name);
        }
    }
    if (c.existing) {
        // The earlier outputs are only ever replaced, never removed.
        EXPECT_TRUE(fs::exists(Out("a.mp3")));
        EXPECT_TRUE(fs::exists(Out("b.mp3")));
    }

    // The temporary files as they are found after a reboot: older than a run still writing them could be.
    const time_t old = std::time(nullptr) - 3600;
    for (const std::string& name : partials) {
        const utimbuf times{old, old};
        ASSERT_EQ(utime(Out(name).c_str(), &times), 0);
    }
    const auto rerun = Convert("skip");
    EXPECT_TRUE(Has(rerun.out, "exit status 0")) << rerun.out;
    EXPECT_EQ(Has(rerun.out, "left by an interrupted conversion in: " + (dir / "out").string()),
              !partials.empty())
        << rerun.out;
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"a.mp3", "b.mp3"}));
    for (const auto& e : fs::directory_iterator(dir / "out"))
        EXPECT_FALSE(IsHiddenPartial(e.path().filename()));
    ExpectOldOrComplete("a.mp3");
    ExpectOldOrComplete("b.mp3");
}

// Before the first write, mid-stream, while the writer finishes, between its finish and the tags, and
// between the flushed file and its rename (the second such moment: the first file is already done).
INSTANTIATE_TEST_SUITE_P(Moments, CrashTest,
                         testing::Values(CrashCase{"opened:1", false}, CrashCase{"opened:2", true},
                                         CrashCase{"written:5", false}, CrashCase{"written:5", true},
                                         CrashCase{"finishing:1", false}, CrashCase{"finishing:1", true},
                                         CrashCase{"finished:1", true}, CrashCase{"renaming:1", false},
                                         CrashCase{"renaming:2", true}),
                         CaseName);

}  // namespace
}  // namespace clitest
