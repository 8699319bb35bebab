// The per-file pipeline on its own: open, convert, release and finish for one file, with the failures that
// must leave no output, the unchanged copy of a matching source, tags, file times and the progress share.
#include <algorithm>
#include <cstring>

#include "engine_support.h"

namespace enginetest {
namespace {

class PipelineTest : public EngineTest {
  protected:
    // Runs the four steps for `source` into `output` as a worker with item count k would.
    int RunFile(const std::string& source, const std::string& output, int k = 1) {
        return RunFile(source, output, encoders, k);
    }
    int RunFile(const std::string& source, const std::string& output, TEncManager& writers, int k = 1) {
        PipelineContext ctx{decoders, writers, frontEnd, namingLock, cancel, filesQueued, integerRoad};
        FileConversion file(ctx);
        file.sourceName = source;
        file.outputName = output;
        file.failed = !file.Open();
        tookIntegerRoad = file.IntegerRoad();
        if (!file.failed) file.Convert(k, progress, buffer.data());
        file.Release();
        const int status = file.Finish(failedCount);
        reason = file.failReason;
        return status;
    }

    std::mutex namingLock;
    std::atomic<bool> cancel{false};
    std::atomic<double> progress{0.0};
    std::atomic<int> failedCount{0};
    int filesQueued = 1;
    std::string reason;  // the last file's failure reason
    bool integerRoad = true;
    bool tookIntegerRoad = false;  // the last file's blocks went as integers
    std::vector<uint8_t> buffer = std::vector<uint8_t>(WORK_BUFFER_SIZE);
};

enum class Source { Scripted, UnknownExtension, EmptyWav };

struct FailureCase {
    const char* name;
    Source kind;
    std::function<void(Script&, std::atomic<bool>&)> setup;
    const char* writer;
    int status;
    const char* reason;          // what the log line shows in parentheses
    bool missingFolder = false;  // the output goes into a folder that does not exist
};

class PipelineFailureTest : public PipelineTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PipelineFailureTest, LeavesNoOutput) {
    const FailureCase& c = GetParam();
    Config.codec = Codec(c.writer);
    std::string source;
    switch (c.kind) {
        case Source::UnknownExtension:
            source = Wav16(Src("x.nosuchformat"));
            break;
        case Source::EmptyWav:
            source = Wav16(Src("x.wav"), 2, 0);
            break;
        case Source::Scripted: {
            Script s;
            if (c.setup) c.setup(s, cancel);
            source = Scripted("x.fake", s);
            break;
        }
    }
    const std::string output = (dir / "out" / (c.missingFolder ? "missing/x." : "x.")).string() + c.writer;
    const int status = RunFile(source, output);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(failedCount.load(), c.status == STATUS_FAILED ? 1 : 0);
    EXPECT_EQ(reason.substr(0, std::strlen(c.reason)), c.reason);
    if (c.status == STATUS_FAILED) {
        EXPECT_FALSE(reason.empty());
    }
    EXPECT_TRUE(FilesIn(dir / "out").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PipelineFailureTest,
    ::testing::Values(
        FailureCase{"no_source_class", Source::UnknownExtension, nullptr, "wav", STATUS_FAILED,
                    "not a readable audio file"},
        FailureCase{"invalid_source", Source::Scripted, [](Script& s, auto&) { s.valid = false; }, "wav",
                    STATUS_FAILED, "not a readable audio file"},
        FailureCase{"six_channels", Source::Scripted, [](Script& s, auto&) { s.channels = 6; }, "wav",
                    STATUS_FAILED, "6 channels: only mono and stereo are converted"},
        FailureCase{"no_channels", Source::Scripted, [](Script& s, auto&) { s.channels = 0; }, "wav",
                    STATUS_FAILED, "not a readable audio file"},
        // The WAV writer raises when it cannot create its file.
        FailureCase{"writer_raises", Source::Scripted, nullptr, "wav", STATUS_FAILED,
                    "Can not create SNDLIB compressor", true},
        // A rate the converter refuses fails the file even though the blocks would bypass it.
        FailureCase{"converter_refuses_bypassed_rate", Source::Scripted,
                    [](Script& s, auto&) { s.rate = 4000; }, "wav", STATUS_FAILED,
                    "cannot convert 4000 Hz/2 Ch to 4000 Hz/2 Ch"},
        FailureCase{"first_read_ends", Source::Scripted, [](Script& s, auto&) { s.blocks = 0; }, "wav",
                    STATUS_FAILED, "no audio in the file"},
        FailureCase{"empty_wav", Source::EmptyWav, nullptr, "wav", STATUS_FAILED,
                    "not a readable audio file"},
        FailureCase{"read_raises", Source::Scripted, [](Script& s, auto&) { s.throwAt = 3; }, "wav",
                    STATUS_FAILED, "read error"},
        FailureCase{"cancel_during_loop", Source::Scripted,
                    [](Script& s, std::atomic<bool>& cancel) {
                        s.onBlock = [&cancel](int i) {
                            if (i == 2) cancel = true;
                        };
                    },
                    "wav", STATUS_CANCELED, ""},
        FailureCase{"cancel_during_last_block", Source::Scripted,
                    [](Script& s, std::atomic<bool>& cancel) {
                        s.onBlock = [&cancel, last = s.blocks - 1](int i) {
                            if (i == last) cancel = true;
                        };
                    },
                    "wav", STATUS_CANCELED, ""},
        // Every block written, then completing the file fails (a full disk at the last flush).
        FailureCase{"finishing_fails", Source::Scripted, [](Script&, auto&) { gWriterFinishFails = true; },
                    "scw", STATUS_FAILED, "trailer not written"},
        // Even a complete output goes when the cancel comes after the loop.
        FailureCase{"cancel_after_loop", Source::Scripted,
                    [](Script& s, std::atomic<bool>& cancel) { s.onEnd = [&cancel] { cancel = true; }; },
                    "wav", STATUS_CANCELED, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PipelineTest, MatchingSourceIsCopiedUnchanged) {
    Script s;
    s.blocks = 20;
    std::string source = Scripted("x.fake", s);
    ASSERT_EQ(RunFile(source, Out("x.wav")), STATUS_DONE);
    std::vector<float> pcm = ScriptPcm(s);
    auto decoded = testsupport::FfmpegDecode(Out("x.wav"), "f32le");
    ASSERT_EQ(decoded.size(), pcm.size() * sizeof(float));
    EXPECT_EQ(std::memcmp(decoded.data(), pcm.data(), decoded.size()), 0);
}

// Blocks far larger than the work buffer, bypassed and converted: nothing overruns and every frame arrives.
TEST_F(PipelineTest, BlocksLargerThanTheWorkBufferArriveWhole) {
    Script s;
    s.blocks = 2;
    s.framesPerBlock = 300000;  // 2.4 MB of stereo float per block
    const std::string source = Scripted("big.fake", s);
    const std::vector<float> pcm = ScriptPcm(s);
    for (int rateIndex : {0, 4}) {  // same rate (bypass), 48000 Hz
        SCOPED_TRACE(rateIndex);
        Config.wavsrate = rateIndex;
        const std::string out = Out("big" + std::to_string(rateIndex) + ".wav");
        ASSERT_EQ(RunFile(source, out), STATUS_DONE);
        auto decoded = testsupport::FfmpegDecode(out, "f32le");
        if (rateIndex == 0) {
            ASSERT_EQ(decoded.size(), pcm.size() * sizeof(float));
            EXPECT_EQ(std::memcmp(decoded.data(), pcm.data(), decoded.size()), 0);
        } else {
            const double frames = decoded.size() / 8.0, expected = 600000.0 * 48000 / 44100;
            EXPECT_NEAR(frames, expected, 1.0);
        }
    }
}

// Records the length of every Write (and writes nothing); it asks for 48000 Hz stereo float, so every block
// is converted.
std::vector<uint32_t> gWrites;

class RecordingWriter : public ScriptedWriter {
  public:
    using ScriptedWriter::ScriptedWriter;
    int Write(const uint8_t*, uint32_t length) override {
        gWrites.push_back(length);
        return 0;
    }
};

constexpr FormatRule kRecordingRule = {
    .formatTag = WAVE_FORMAT_IEEE_FLOAT, .fixedRate = 48000, .fixedChannels = 2, .bits = 32};
constexpr WriterFacts kRecordingFacts = {.name = "RecordingWriter",
                                         .description = "REC  - Recording writer",
                                         .extension = "rec",
                                         .filter = "Recorded (*.rec)|*.rec",
                                         .canCopyTags = false,
                                         .writesTags = false,
                                         .hasOptions = false,
                                         .format = &kRecordingRule};
const WriterClass<RecordingWriter> kRecordingClass(kRecordingFacts);

// The converter works in pieces of 8192 bytes; the writer still gets one Write per source block, unless the
// block's output cannot fit into the work buffer at once.
TEST_F(PipelineTest, ConvertedPiecesOfOneBlockReachTheWriterInOneWrite) {
    TEncManager writers{{&kRecordingClass}};
    Config.codec = 0;
    for (int framesPerBlock : {5000, 300000}) {  // 40000 bytes (5 pieces); 2.4 MB (293 pieces)
        SCOPED_TRACE(framesPerBlock);
        gWrites.clear();
        Script s;
        s.blocks = 3;
        s.framesPerBlock = framesPerBlock;
        ASSERT_EQ(RunFile(Scripted("x.fake", s), Out("x.rec"), writers), STATUS_DONE);
        uint64_t bytes = 0;
        for (uint32_t w : gWrites) {
            EXPECT_LE(w, WORK_BUFFER_SIZE);
            bytes += w;
        }
        EXPECT_NEAR(bytes / 8.0, 3.0 * framesPerBlock * 48000 / 44100, 2.0);
        // One Write per block and one for what the resampler held back at the end; the large blocks'
        // output (2.6 MB each) needs two.
        EXPECT_EQ(gWrites.size(), framesPerBlock == 5000 ? 4u : 7u);
    }
}

struct RoadCase {
    const char* name;
    testsupport::SampleKind kind;
    bool aiff;           // the source is an AIFF file, else a WAV file
    const char* writer;  // extension
    int bps;             // wavbps / aifbps for the WAV and AIFF writers
    bool road;           // the integer road is taken
    // 32-bit samples: the float road keeps 24 bits of them, the integer road every bit.
    bool floatRoadRounds = false;
};

class IntegerRoadTest : public PipelineTest, public ::testing::WithParamInterface<RoadCase> {};

// Integer sources into writers that keep at least their depth skip the float round trip, and the file
// that comes out is byte for byte the one the float road writes (a 32-bit copy keeps the low bits the
// float road rounds away); other pairs stay on the float road.
TEST_P(IntegerRoadTest, WritesWhatTheFloatRoadWrites) {
    const RoadCase& c = GetParam();
    Config.codec = Codec(c.writer);
    Config.wavbps = Config.aifbps = c.bps;
    Config.tags = false;
    const testsupport::PcmSpec spec{44100, 2, c.kind};
    const std::string source = Src(c.aiff ? "x.aiff" : "x.wav");
    const auto pcm = testsupport::NoisePcm(spec, 30000);
    testsupport::WriteBytes(source,
                            c.aiff ? testsupport::AiffFile(spec, pcm) : testsupport::WavFile(spec, pcm));

    std::vector<uint8_t> outputs[2];
    for (bool road : {true, false}) {
        integerRoad = road;
        const std::string out = Out(std::string(road ? "road." : "float.") + c.writer);
        ASSERT_EQ(RunFile(source, out), STATUS_DONE) << reason;
        EXPECT_EQ(tookIntegerRoad, road && c.road);
        outputs[road] = testsupport::ReadBytes(out);
        // libsndfile's PEAK chunk of a float file carries the time it was written (seconds): the two runs
        // may fall on either side of a second.
        for (size_t at = 12; at + 16 <= std::min<size_t>(outputs[road].size(), 256); ++at) {
            if (std::memcmp(outputs[road].data() + at, "PEAK", 4) != 0) continue;
            std::fill_n(outputs[road].begin() + static_cast<std::ptrdiff_t>(at + 12), 4, uint8_t{0});
            break;
        }
    }
    EXPECT_GT(outputs[0].size(), 1000u);
    if (!c.floatRoadRounds) {
        EXPECT_TRUE(outputs[0] == outputs[1]);
        return;
    }
    // The data chunk ends the file: the integer road's holds the source's samples, the float road's not.
    const auto endsWithSource = [&](const std::vector<uint8_t>& file) {
        return file.size() > pcm.size() && std::equal(pcm.rbegin(), pcm.rend(), file.rbegin());
    };
    EXPECT_TRUE(endsWithSource(outputs[1]));
    EXPECT_FALSE(endsWithSource(outputs[0]));
    EXPECT_EQ(outputs[0].size(), outputs[1].size());
}

using testsupport::SampleKind;
INSTANTIATE_TEST_SUITE_P(
    Pairs, IntegerRoadTest,
    ::testing::Values(
        RoadCase{"wav16_to_wav16", SampleKind::S16, false, "wav", 0, true},
        RoadCase{"wav8_to_wav8", SampleKind::U8, false, "wav", 0, true},
        RoadCase{"wav24_to_wav24", SampleKind::S24, false, "wav", 0, true},
        RoadCase{"wav32_to_wav32_keeps_every_bit", SampleKind::S32, false, "wav", 4, true, true},
        RoadCase{"wav16_to_wav24", SampleKind::S16, false, "wav", 3, true},
        RoadCase{"wav24_to_wav16_rounds_on_the_float_road", SampleKind::S24, false, "wav", 2, false},
        RoadCase{"wav16_to_float_wav", SampleKind::S16, false, "wav", 5, false},
        RoadCase{"float_wav_to_wav", SampleKind::F32, false, "wav", 3, false},
        RoadCase{"aiff16_to_aiff16", SampleKind::S16, true, "aiff", 0, true},
        RoadCase{"aiff8_to_wav16", SampleKind::U8, true, "wav", 2, true},
        RoadCase{"wav16_to_flac", SampleKind::S16, false, "flac", 0, true},
        RoadCase{"wav24_to_flac", SampleKind::S24, false, "flac", 0, true},
        RoadCase{"wav32_to_flac_narrows_on_the_float_road", SampleKind::S32, false, "flac", 0, false},
        RoadCase{"wav16_to_mp3", SampleKind::S16, false, "mp3", 0, true},
        RoadCase{"wav24_to_mp3_rounds_on_the_float_road", SampleKind::S24, false, "mp3", 0, false},
        RoadCase{"wav8_to_wv", SampleKind::U8, false, "wv", 0, true},
        RoadCase{"wav16_to_wv", SampleKind::S16, false, "wv", 0, true},
        RoadCase{"aiff24_to_wv", SampleKind::S24, true, "wv", 0, true},
        RoadCase{"wav16_to_gsm", SampleKind::S16, false, "gsm", 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PipelineTest, ProgressIsTheWorkersShareOfItsItems) {
    filesQueued = 10;
    Script s;
    s.blocks = 2;
    std::vector<double> seen;
    s.onBlock = [&](int i) {
        if (i == 1) seen.push_back(progress.load());
    };
    ASSERT_EQ(RunFile(Scripted("x.fake", s), Out("x.wav"), 3), STATUS_DONE);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_DOUBLE_EQ(seen[0], 25.0);  // k = 3, N = 10, 50 %
    EXPECT_DOUBLE_EQ(progress.load(), 30.0);
}

// A WAV with the six fields in its INFO chunk, made by ffmpeg.
std::string TaggedWav(const fs::path& path) {
    auto r = testsupport::RunCommand(
        "ffmpeg -nostdin -v error -f lavfi -i sine=frequency=500:duration=0.5 -ac 2 -c:a pcm_s16le "
        "-metadata title=Tango -metadata artist=Quartet -metadata album=Night -metadata track=7 "
        "-metadata date=1999 -metadata genre=Jazz -y " +
        testsupport::ShellQuote(path.string()));
    EXPECT_EQ(r.status, 0);
    return path.string();
}

TEST_F(PipelineTest, TagsArriveOnlyWhenSwitchedOnAndTheWriterTakesThem) {
    std::string source = TaggedWav(Src("tagged.wav"));
    ASSERT_EQ(ProbeTags(source)["title"], "Tango");

    Config.tags = true;
    ASSERT_EQ(RunFile(source, Out("on.wav")), STATUS_DONE);
    auto on = ProbeTags(Out("on.wav"));
    EXPECT_EQ(on["title"], "Tango");
    EXPECT_EQ(on["artist"], "Quartet");
    EXPECT_EQ(on["album"], "Night");
    EXPECT_EQ(on["track"], "7");
    EXPECT_EQ(on["date"], "1999");
    EXPECT_EQ(on["genre"], "Jazz");

    Config.tags = false;
    ASSERT_EQ(RunFile(source, Out("off.wav")), STATUS_DONE);
    EXPECT_TRUE(ProbeTags(Out("off.wav")).empty());

    // GSM files carry no tags at all, whatever the setting.
    Config.tags = true;
    Config.codec = Codec("gsm");
    ASSERT_EQ(RunFile(source, Out("x.gsm")), STATUS_DONE);
    auto bytes = testsupport::ReadBytes(Out("x.gsm"));
    EXPECT_EQ(std::search(bytes.begin(), bytes.end(), std::begin("Tango"), std::end("Tango") - 1),
              bytes.end());
}

TEST_F(PipelineTest, RetainDateCopiesAccessAndModificationTimes) {
    std::string source = TaggedWav(Src("x.wav"));
    struct timespec times[2] = {{981158400, 123456789}, {981244800, 987654321}};  // 2001-02-03 and -04
    ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    Config.tags = true;  // the times must survive the tag transfer
    for (bool retain : {true, false}) {
        Config.retaindate = retain;
        std::string out = Out(retain ? "kept.wav" : "new.wav");
        ASSERT_EQ(RunFile(source, out), STATUS_DONE);
        struct stat st {
        }, src{};
        ASSERT_EQ(stat(out.c_str(), &st), 0);
        ASSERT_EQ(stat(source.c_str(), &src), 0);  // reading the source may have moved its access time
        EXPECT_EQ(st.st_mtim.tv_sec == times[1].tv_sec && st.st_mtim.tv_nsec == times[1].tv_nsec, retain);
        EXPECT_EQ(st.st_atim.tv_sec == src.st_atim.tv_sec && st.st_atim.tv_nsec == src.st_atim.tv_nsec,
                  retain);
    }
}

}  // namespace
}  // namespace enginetest
