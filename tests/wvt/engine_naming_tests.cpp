// Output naming and the overwrite policy: where outputs go, what each policy does with an existing output,
// the common base folder of the keep-folders mode, and the replacement of a source by its own conversion.
#include "engine_support.h"

namespace enginetest {
namespace {

struct BaseCase {
    const char* name;
    std::vector<std::string> paths;
    std::string base;
};

class BasePathTest : public ::testing::TestWithParam<BaseCase> {};

TEST_P(BasePathTest, CommonFolderOfTheList) {
    EXPECT_EQ(getbasepath(GetParam().paths), GetParam().base);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, BasePathTest,
    ::testing::Values(BaseCase{"single", {"/music/a/x.wav"}, "/music/a/"},
                      BaseCase{"siblings", {"/music/a/1.flac", "/music/b/2.flac"}, "/music/"},
                      BaseCase{"same_folder", {"/m/a/1.wav", "/m/a/2.wav", "/m/a/3.wav"}, "/m/a/"},
                      // A folder name that is a prefix of another is not a common folder.
                      BaseCase{"name_prefix", {"/music/ab/1.wav", "/music/abc/2.wav"}, "/music/"},
                      BaseCase{"case_differs", {"/Music/a/1.wav", "/music/a/2.wav"}, "/"},
                      BaseCase{"deeper_second", {"/m/a/1.wav", "/m/a/b/c/2.wav"}, "/m/a/"},
                      BaseCase{"relative_disagree", {"a/1.wav", "b/2.wav"}, ""},
                      BaseCase{"empty_list", {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// One existing output out/x.wav (and out/x_1.wav where a case says so), one naming step.
struct PolicyCase {
    const char* name;
    int overwrite;
    int answer;                       // the overwrite question's button, when asked
    std::optional<std::string> save;  // the save dialog's answer, relative to out/
    bool alsoNumbered;                // out/x_1.wav exists too
    bool proceed;
    std::string outputName;  // relative to out/
    std::string finalName;   // empty: no replacement pending
    int asks;
};

class NamingPolicyTest : public EngineTest, public ::testing::WithParamInterface<PolicyCase> {};

TEST_P(NamingPolicyTest, ExistingOutput) {
    const PolicyCase& c = GetParam();
    Wav16(Out("x.wav"));
    if (c.alsoNumbered) Wav16(Out("x_1.wav"));
    Config.overwrite = c.overwrite;
    frontEnd.overwriteAnswers = {c.answer};
    frontEnd.saveNames = {c.save ? std::optional<std::string>(Out(*c.save)) : std::nullopt};
    OverwriteState state;
    NamingOutcome n = NamingStep(Src("x.flac"), Config, "", encoders.Item(Config.codec), state, frontEnd);

    EXPECT_EQ(n.proceed, c.proceed);
    EXPECT_EQ(frontEnd.asked, c.asks);
    if (c.proceed) {
        EXPECT_EQ(n.outputName, Out(c.outputName));
        EXPECT_EQ(n.replacePending, !c.finalName.empty());
        if (!c.finalName.empty()) {
            EXPECT_EQ(n.finalOutputName, Out(c.finalName));
        }
    }
    if (c.answer == OVERWRITE_NEW_NAME) {
        EXPECT_EQ(frontEnd.saveFolder, Config.output);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Policies, NamingPolicyTest,
    ::testing::Values(
        PolicyCase{"overwrite", 0, 0, {}, false, true, "x_1.wav", "x.wav", 0},
        PolicyCase{"overwrite_past_numbered", 0, 0, {}, true, true, "x_2.wav", "x.wav", 0},
        PolicyCase{"skip", 1, 0, {}, false, false, "", "", 0},
        PolicyCase{"rename", 3, 0, {}, false, true, "x_1.wav", "", 0},
        PolicyCase{"rename_past_numbered", 3, 0, {}, true, true, "x_2.wav", "", 0},
        PolicyCase{"ask_yes", 2, OVERWRITE_YES, {}, false, true, "x_1.wav", "x.wav", 1},
        PolicyCase{"ask_no", 2, OVERWRITE_NO, {}, false, false, "", "", 1},
        PolicyCase{"ask_new_name_cancelled", 2, OVERWRITE_NEW_NAME, std::nullopt, false, false, "", "", 1},
        PolicyCase{"ask_new_name_free", 2, OVERWRITE_NEW_NAME, "other.wav", false, true, "other.wav", "", 1},
        // Choosing a file that exists goes through a temporary name, so a failure cannot lose it.
        PolicyCase{"ask_new_name_existing", 2, OVERWRITE_NEW_NAME, "x.wav", true, true, "x_2.wav", "x.wav",
                   1},
        // The writer stores under its own extension, so that is the name the step must hand on.
        PolicyCase{"ask_new_name_upper_case", 2, OVERWRITE_NEW_NAME, "other.WAV", false, true, "other.wav",
                   "", 1},
        PolicyCase{"ask_new_name_other_extension_existing", 2, OVERWRITE_NEW_NAME, "x.mp3", false, true,
                   "x_1.wav", "x.wav", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, NoExistingOutputIsNeverAsked) {
    Config.overwrite = 2;
    OverwriteState state;
    NamingOutcome n =
        NamingStep(Src("Song.Live.flac"), Config, "", encoders.Item(Config.codec), state, frontEnd);
    EXPECT_TRUE(n.proceed);
    EXPECT_EQ(n.outputName, Out("Song.Live.wav"));
    EXPECT_FALSE(n.replacePending);
    EXPECT_EQ(frontEnd.asked, 0);
}

TEST_F(EngineTest, KeepFoldersRecreatesTheTreeBelowTheOutputFolder) {
    std::vector<std::string> list = {(dir / "Music/A/1.flac").string(), (dir / "Music/B/2.flac").string()};
    std::string base = getbasepath(list);
    ASSERT_EQ(base, (dir / "Music").string() + "/");
    Config.keepfolder = true;
    Config.output = (dir / "Out").string();  // no trailing delimiter: the step adds it
    fs::create_directories(dir / "Out");
    OverwriteState state;
    for (const auto& [source, expected] :
         {std::pair{list[0], "Out/A/1.wav"}, std::pair{list[1], "Out/B/2.wav"}}) {
        NamingOutcome n = NamingStep(source, Config, base, encoders.Item(Config.codec), state, frontEnd);
        EXPECT_EQ(n.outputName, (dir / expected).string());
        EXPECT_EQ(n.outputFolder, (dir / expected).parent_path().string() + "/");
        EXPECT_TRUE(fs::is_directory((dir / expected).parent_path()));
    }
    EXPECT_EQ(Config.output, (dir / "Out").string() + "/");

    // Keep-folders without a base folder for the run writes into the output folder, never beside the source.
    NamingOutcome flat = NamingStep(list[0], Config, "", encoders.Item(Config.codec), state, frontEnd);
    EXPECT_EQ(flat.outputName, (dir / "Out" / "1.wav").string());
}

// The whole road: the source x.wav is converted to mono under x_1.wav, which then takes the source's name.
TEST_F(EngineTest, SameFolderOverwriteReplacesTheSourceWithItsConversion) {
    std::string source = Wav16(dir / "A" / "x.wav", 2);
    Config.samefolder = true;
    Config.overwrite = 0;
    Config.wavmode = 2;  // mono, so the replacement is visible
    Transcoder t(decoders, encoders, frontEnd);
    ASSERT_EQ(t.Convert({{source, 1, true}}, false), Transcoder::Refusal::None);
    ASSERT_TRUE(frontEnd.WaitEnded());
    t.Join();
    EXPECT_EQ(frontEnd.FinalStatus(1), STATUS_DONE);
    EXPECT_EQ(ProbeStream(source, "channels"), "1");
    EXPECT_EQ(FilesIn(dir / "A"), std::vector<std::string>{"x.wav"});
}

// The output takes the writer's own extension whatever the source's is; a dot in a folder name is no
// extension. Writers write exactly the name they are given.
TEST_F(EngineTest, OutputTakesTheWritersExtension) {
    struct Case {
        const char* source;
        const char* writer;  // extension of the writer
        const char* output;
    };
    Config.samefolder = true;
    for (const Case& c : {Case{"song.WAV", "wav", "song.wav"}, Case{"song.mp3", "wav", "song.wav"},
                          Case{"a.b/song", "wav", "a.b/song.wav"}, Case{"song.aif", "aiff", "song.aiff"},
                          Case{"song.wav", "gsm", "song.gsm"}}) {
        SCOPED_TRACE(c.source);
        Config.codec = Codec(c.writer);
        OverwriteState state;
        NamingOutcome n = NamingStep(Src(c.source), Config, "", encoders.Item(Config.codec), state, frontEnd);
        EXPECT_TRUE(n.proceed);
        EXPECT_EQ(n.outputName, Src(c.output));
    }
}

// "Enter new name" naming the source itself: the source is read whole before it is replaced.
TEST_F(EngineTest, NewNameThatIsTheSourceReplacesItOnlyAfterConverting) {
    std::string source = Wav16(Src("x.wav"), 2, 44100);
    Wav16(Out("x.wav"));
    Config.overwrite = 2;
    Config.wavmode = 2;
    frontEnd.overwriteAnswers = {OVERWRITE_NEW_NAME};
    frontEnd.saveNames = {source};
    auto before = testsupport::FfmpegDecode(source, "f32le");
    Transcoder t(decoders, encoders, frontEnd);
    ASSERT_EQ(t.Convert({{source, 1, true}}, false), Transcoder::Refusal::None);
    ASSERT_TRUE(frontEnd.WaitEnded());
    t.Join();
    EXPECT_EQ(frontEnd.FinalStatus(1), STATUS_DONE);
    EXPECT_EQ(ProbeStream(source, "channels"), "1");
    // Mono of the whole source: as many frames as it had, half the bytes of the stereo decode.
    EXPECT_EQ(testsupport::FfmpegDecode(source, "f32le").size(), before.size() / 2);
    EXPECT_EQ(FilesIn(dir / "src"), std::vector<std::string>{"x.wav"});
}

}  // namespace
}  // namespace enginetest
