// Temporary output names and the removal of stale ones: the names are hidden, in the output's folder and
// never shared; only temporary files of processes that are gone, and old enough, are ever removed.
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>

#include "engine_support.h"
#include "wvt/partial.h"

namespace enginetest {
namespace {

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}
std::string BaseOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

TEST(PartialName, HiddenBesideTheOutputAndNeverShared) {
    std::string longName = "/o/" + std::string(121, 'a');
    for (int i = 0; i < 60; ++i) longName += "\xC3\xA9";  // a two-byte character
    longName += ".mp3";
    for (const std::string& finalName : {std::string("/music/out/a.mp3"), std::string("x.flac"), longName}) {
        SCOPED_TRACE(finalName);
        const std::string first = PartialName(finalName);
        EXPECT_NE(PartialName(finalName), first);
        EXPECT_EQ(FolderOf(first), FolderOf(finalName));
        const std::string base = BaseOf(first);
        EXPECT_EQ(base[0], '.');
        EXPECT_LE(base.size(), 255u);
        EXPECT_EQ(base.substr(base.size() - 8), ".partial");
        long owner = 0;
        EXPECT_TRUE(IsPartialName(base, owner));
        EXPECT_EQ(owner, static_cast<long>(getpid()));
        if (finalName != longName) {
            EXPECT_EQ(base.rfind("." + BaseOf(finalName) + ".wvt-", 0), 0u) << base;
        } else {
            // Cut on a character boundary: the last byte before the mark ends a character.
            EXPECT_EQ(base[base.rfind(".wvt-") - 1], '\xA9') << base;
        }
    }
}

TEST(PartialName, OnlyItsOwnNamesAreRecognised) {
    long owner = 0;
    EXPECT_TRUE(IsPartialName(".a.mp3.wvt-12-3.partial", owner));
    EXPECT_EQ(owner, 12);
    for (const char* name :
         {"a.mp3.wvt-12-3.partial", ".a.mp3.partial", ".a.mp3.wvt-12.partial", ".a.mp3.wvt-x-3.partial",
          ".a.mp3.wvt-12-3.partial.mp3", ".wvt-12-3.partial", ".a.mp3.wvt--3.partial", "a.mp3"}) {
        EXPECT_FALSE(IsPartialName(name, owner)) << name;
    }
}

// The id of a process that has ended.
long EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

TEST_F(EngineTest, OnlyStaleTemporaryFilesOfEndedProcessesAreRemoved) {
    const std::string gone = std::to_string(EndedProcess());
    const std::string mine = std::to_string(getpid());
    struct Case {
        std::string name;
        bool old;
        bool removed;
    };
    const Case cases[] = {
        {".a.mp3.wvt-" + gone + "-1.partial", true, true},
        {".b.mp3.wvt-" + gone + "-2.partial", false, false},  // young: maybe a run on another machine
        {".c.mp3.wvt-" + mine + "-3.partial", true, false},   // this process is still writing it
        {".d.mp3.wvt-1-4.partial", true, false},              // process 1 is running
        {"e.mp3.wvt-" + gone + "-5.partial", true, false},    // not ours: not hidden
        {".f.mp3.partial", true, false},
        {"g.mp3", true, false},
    };
    const time_t old = std::time(nullptr) - 3600;
    for (const Case& c : cases) {
        Wav16(Out(c.name));
        if (c.old) {
            const utimbuf times{old, old};
            ASSERT_EQ(utime(Out(c.name).c_str(), &times), 0);
        }
    }
    fs::create_directories(Out(".h.mp3.wvt-" + gone + "-6.partial"));  // a folder is never removed

    EXPECT_EQ(RemoveStalePartials((dir / "out").string(), 300), 1);
    for (const Case& c : cases) EXPECT_EQ(fs::exists(Out(c.name)), !c.removed) << c.name;
    EXPECT_TRUE(fs::is_directory(Out(".h.mp3.wvt-" + gone + "-6.partial")));
}

// Outputs still being written have no file under their final name yet: the naming step must count their
// names as taken, or two files of one run would get the same name.
TEST_F(EngineTest, NamesOfOutputsInFlightCountAsExisting) {
    const NamesInFlight inFlight = {Out("x.wav"), Out("x_1.wav")};
    OverwriteState state;
    Config.overwrite = 3;  // numbered names
    NamingOutcome n =
        NamingStep(Src("x.flac"), Config, "", encoders.Item(Config.codec), state, frontEnd, &inFlight);
    EXPECT_EQ(n.outputName, Out("x_2.wav"));
    Config.overwrite = 0;  // replace
    n = NamingStep(Src("x.flac"), Config, "", encoders.Item(Config.codec), state, frontEnd, &inFlight);
    EXPECT_TRUE(n.replacePending);
    EXPECT_EQ(n.finalOutputName, Out("x.wav"));
}

}  // namespace
}  // namespace enginetest
