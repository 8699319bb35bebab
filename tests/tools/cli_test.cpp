// wavetrove-cli as a user runs it on real folders: lossless conversion checked against FFmpeg's decode,
// the writers' output types, naming and the overwrite policy, folders and playlists, parallel workers,
// exit codes and Ctrl+C.
#include "cli_fixture.h"

namespace {

using namespace clitest;

struct LosslessCase {
    const char* name;
    const char* file;
    SampleKind kind;
    const char* codec;  // of the WAV that comes out
};

class CliLossless : public Cli, public ::testing::WithParamInterface<LosslessCase> {};

// Same rate, channels and depth in and out: the samples come through bit for bit.
TEST_P(CliLossless, WavIsBitIdenticalToTheSource) {
    const LosslessCase& c = GetParam();
    const PcmSpec spec{44100, 2, c.kind};
    const auto pcm = testsupport::NoisePcm(spec, 30000);
    fs::path source = dir / "in" / c.file;
    const std::string ext = source.extension().string();
    if (ext == ".flac") {
        fs::path wav = dir / "flacsource.wav";
        testsupport::WriteBytes(wav, testsupport::WavFile(spec, pcm));
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + Q(wav) + " -c:a flac -y " + Q(source)).status,
                  0);
    } else {
        testsupport::WriteBytes(
            source, ext == ".aiff" ? testsupport::AiffFile(spec, pcm) : testsupport::WavFile(spec, pcm));
    }
    auto r = ToWav(Q(source));
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path out = Out(source.stem().string() + ".wav");
    ASSERT_TRUE(fs::exists(out)) << r.out;
    EXPECT_EQ(Probe(out, "codec_name"), c.codec);
    const auto expected = testsupport::FfmpegDecode(source, "s32le");
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(testsupport::FfmpegDecode(out, "s32le") == expected);
}

INSTANTIATE_TEST_SUITE_P(Sources, CliLossless,
                         ::testing::Values(LosslessCase{"wav16", "a16.wav", SampleKind::S16, "pcm_s16le"},
                                           LosslessCase{"wav24", "a24.wav", SampleKind::S24, "pcm_s24le"},
                                           LosslessCase{"aiff16", "b16.aiff", SampleKind::S16, "pcm_s16le"},
                                           LosslessCase{"aiff24", "b24.aiff", SampleKind::S24, "pcm_s24le"},
                                           LosslessCase{"flac16", "c16.flac", SampleKind::S16, "pcm_s16le"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TypeCase {
    const char* name;
    const char* arguments;
    const char* output;
    const char* codec;
    const char* rate;
    const char* channels;
};

class CliOutputType : public Cli, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(CliOutputType, HasTheWritersFormat) {
    const TypeCase& c = GetParam();
    fs::path source = Wav("x.wav", 2, 44100);
    auto r = Run(std::string(c.arguments) + " -o " + Q(dir / "out") + " " + Q(source));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(OutFiles(), std::vector<std::string>{c.output});
    EXPECT_EQ(Probe(Out(c.output), "codec_name"), c.codec);
    EXPECT_EQ(Probe(Out(c.output), "sample_rate"), c.rate);
    EXPECT_EQ(Probe(Out(c.output), "channels"), c.channels);
}

INSTANTIATE_TEST_SUITE_P(Writers, CliOutputType,
                         ::testing::Values(TypeCase{"wav_48k_mono", "-f wav --set wavsrate=4 --set wavmode=2",
                                                    "x.wav", "pcm_s16le", "48000", "1"},
                                           TypeCase{"wav_float", "-f wav --set wavbps=5", "x.wav",
                                                    "pcm_f32le", "44100", "2"},
                                           TypeCase{"aiff", "-f aiff", "x.aiff", "pcm_s16be", "44100", "2"},
                                           TypeCase{"gsm", "-f gsm", "x.gsm", "gsm", "8000", "1"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Cli, SixChannelSourceFailsWithoutOutput) {
    fs::path source = Wav("six.wav", 6);
    fs::path good = Wav("good.wav");
    auto r = ToWav(Q(source) + " " + Q(good));
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_TRUE(Has(r.out, "Conversion failed for: " + source.string() +
                               " (6 channels: only mono and stereo are converted)\n"))
        << r.out;
    EXPECT_TRUE(Has(r.out, "Failed to convert 1 file(s).")) << r.out;
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"good.wav"});
}

TEST_F(Cli, RenameNumbersEachNewOutput) {
    fs::path source = Wav("x.wav");
    for (int run = 0; run < 3; ++run) ASSERT_EQ(ToWav(Q(source), "--overwrite rename").status, 0);
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"x.wav", "x_1.wav", "x_2.wav"}));
}

TEST_F(Cli, OverwriteReplacesTheOutputOnlyWhenTheConversionSucceeds) {
    fs::path source = Wav("x.wav", 2, 22050);
    testsupport::WriteBytes(Out("x.wav"), {'o', 'l', 'd'});
    ASSERT_EQ(ToWav(Q(source), "--overwrite overwrite").status, 0);
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"x.wav"});
    EXPECT_TRUE(testsupport::FfmpegDecode(Out("x.wav"), "s32le") ==
                testsupport::FfmpegDecode(source, "s32le"));

    // A source that fails (six channels) must leave the existing output as it was.
    const auto before = testsupport::ReadBytes(Out("x.wav"));
    Wav("x.wav", 6);
    auto r = ToWav(Q(source), "--overwrite overwrite");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"x.wav"});
    EXPECT_EQ(testsupport::ReadBytes(Out("x.wav")), before);
}

// Without a terminal nobody can answer the overwrite question: the file is skipped, which is no failure.
TEST_F(Cli, AskWithoutATerminalSkips) {
    fs::path source = Wav("x.wav");
    testsupport::WriteBytes(Out("x.wav"), {'o', 'l', 'd'});
    auto r = ToWav(Q(source), "--overwrite ask");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Conversion skipped for: " + source.string())) << r.out;
    EXPECT_TRUE(Has(r.out, "Skipped existing 1 file(s).")) << r.out;
    EXPECT_EQ(testsupport::ReadBytes(Out("x.wav")), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST_F(Cli, KeepFoldersRecreatesTheTree) {
    Wav("music/A/1.wav");
    Wav("music/B/C/2.wav");
    auto r =
        ToWav(Q(dir / "in" / "music" / "A" / "1.wav") + " " + Q(dir / "in" / "music" / "B" / "C" / "2.wav"),
              "--keep-folders");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"A/1.wav", "B/C/2.wav"}));
}

TEST_F(Cli, FoldersAndPlaylists) {
    Wav("top.wav");
    Wav("sub/deep.wav");
    testsupport::WriteBytes(dir / "in" / "notes.txt", {'h', 'i'});
    ASSERT_EQ(ToWav(Q(dir / "in")).status, 0);
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"deep.wav", "top.wav"}));

    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    ASSERT_EQ(ToWav(Q(dir / "in"), "--set recurse=0").status, 0);
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"top.wav"});

    // A playlist with a relative entry, a comment and an absolute entry.
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    const std::string m3u =
        "#EXTM3U\n#EXTINF:1,Deep\nsub/deep.wav\n" + (dir / "in" / "top.wav").string() + "\n";
    testsupport::WriteBytes(dir / "list.m3u", std::vector<uint8_t>(m3u.begin(), m3u.end()));
    fs::rename(dir / "list.m3u", dir / "in" / "list.m3u");
    ASSERT_EQ(ToWav(Q(dir / "in" / "list.m3u")).status, 0);
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"deep.wav", "top.wav"}));
}

TEST_F(Cli, TwoWorkersConvertEveryFile) {
    std::string inputs;
    for (int i = 0; i < 4; ++i) inputs += Q(Wav("f" + std::to_string(i) + ".wav", 2, 44100 * 2)) + " ";
    auto r = ToWav(inputs, "-j 2 --set wavsrate=4");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Processed 4 file(s).")) << r.out;
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"f0.wav", "f1.wav", "f2.wav", "f3.wav"}));
    for (const auto& f : OutFiles()) EXPECT_EQ(Probe(Out(f), "sample_rate"), "48000");
}

TEST_F(Cli, ExitCodesForBadCommandLines) {
    const std::string wav = Q(Wav("x.wav"));
    const std::string out = " -o " + Q(dir / "out") + " ";
    for (const std::string& args :
         {std::string("--no-such-option ") + wav, out, "-f nosuchformat" + out + wav,
          "--set nosuchfield=1" + out + wav, "-j 0" + out + wav, "--overwrite sometimes" + out + wav,
          out + Q(dir / "in" / "missing.wav")}) {
        auto r = Run(args);
        EXPECT_EQ(r.status, 1) << args << "\n" << r.out;
    }
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(Cli, ListsTheTwelveWriters) {
    auto r = RunCommand("XDG_CONFIG_HOME=" + Q(dir / "cfg") + " " +
                        Q(testsupport::BinDir() / "wavetrove-cli") + " --list-formats");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 12) << r.out;
    for (const char* ext : {"\tmp3\t", "\twav\t", "\tgsm\t", "\taiff\t", "\tflac\t", "\topus\t"})
        EXPECT_TRUE(Has(r.out, ext)) << ext;
}

// The stored settings are read, options change them for the run only, and nothing is written back.
TEST_F(Cli, StoredSettingsAreUsedAndNeverRewritten) {
    auto list = RunCommand("XDG_CONFIG_HOME=" + Q(dir / "cfg") + " " +
                           Q(testsupport::BinDir() / "wavetrove-cli") + " --list-formats");
    const size_t wavLine = list.out.find("\twav\t");
    ASSERT_NE(wavLine, std::string::npos);
    const std::string wavIndex =
        list.out.substr(list.out.rfind('\n', wavLine) + 1, wavLine - list.out.rfind('\n', wavLine) - 1);
    const std::string ini = "[Settings]\ncodec=" + wavIndex +
                            "\nwavmode=2\nwavsrate=12\noutput=" + (dir / "out").string() + "\noverwrite=3\n";
    fs::create_directories(dir / "cfg" / "Quillsound");
    testsupport::WriteBytes(dir / "cfg" / "Quillsound" / "wavetrove.ini",
                            std::vector<uint8_t>(ini.begin(), ini.end()));

    fs::path source = Wav("x.wav");
    ASSERT_EQ(Run(Q(source)).status, 0);
    EXPECT_EQ(Probe(Out("x.wav"), "channels"), "1");
    EXPECT_EQ(Probe(Out("x.wav"), "sample_rate"), "8000");
    ASSERT_EQ(Run("--set wavmode=0 --set wavsrate=0 -f aiff " + Q(source)).status, 0);
    EXPECT_EQ(Probe(Out("x.aiff"), "channels"), "2");
    auto stored = testsupport::ReadBytes(dir / "cfg" / "Quillsound" / "wavetrove.ini");
    EXPECT_EQ(std::string(stored.begin(), stored.end()), ini);
}

// Ctrl+C during a long conversion cancels it: exit 2 and nothing half-written left behind. The output is
// written under a hidden temporary name until it is complete: its appearance says the conversion runs.
TEST_F(Cli, InterruptCancelsWithoutPartialOutput) {
    fs::path source = Wav("long.wav", 2, 44100 * 240);
    const std::string script = Command("-f wav --set wavsrate=1 -o " + Q(dir / "out") + " " + Q(source)) +
                               " > " + Q(dir / "log.txt") + " & pid=$!; " +
                               "for i in $(seq 600); do [ -n \"$(ls -A " + Q(dir / "out") +
                               ")\" ] && break; sleep 0.05; done; " + "kill -INT $pid; wait $pid; echo $?";
    auto r = RunCommand("sh -c " + ShellQuote(script));
    const auto logBytes = testsupport::ReadBytes(dir / "log.txt");
    const std::string log(logBytes.begin(), logBytes.end());
    EXPECT_EQ(r.out, "2\n") << log;
    EXPECT_TRUE(Has(log, "Conversion canceled for: " + source.string())) << log;
    EXPECT_TRUE(OutFiles().empty());
}

}  // namespace
