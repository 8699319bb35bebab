// Every writer of the registry against one contract: an uncreatable output raises and leaves no file, a
// full device fails the file, the file written is the file named, tags read back where the class copies
// them, a missing run-time library fails only its writer. Then one round-trip table decoded by FFmpeg:
// bit-exact wherever the writer is lossless, the length within the codec's delay and padding otherwise.
// Adding a writer is a row in kWriters and rows in kRoundTrips; a writer's own tests keep what is special
// to it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bindings/libflac.h"
#include "bindings/taglib.h"
#include "bindings/unavorbisapi.h"
#include "bindings/wavpackdll.h"
#include "encoder/manager.h"
#include "encoder/writer_class.h"
#include "encoder_test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PcmSpec;
using testsupport::SampleKind;
using testsupport::TempDir;

// What a writer's library looks like in this build.
enum class Build { Works, LibraryMissing };

// The contract's facts of one writer beyond its class facts.
struct WriterRow {
    const char* name;  // EncoderClass::Name()
    Build build;
    const char* createError = nullptr;    // raised for an output that cannot be created
    const char* fullDiskError = nullptr;  // raised for a full device, when the writer has a text of its own
    // Hides and restores the writer's run-time library (null: linked when the program is built).
    void (*hideLibrary)() = nullptr;
    void (*restoreLibrary)() = nullptr;
    const char* missingError = kEncoderLibraryMissing;  // raised while the library is hidden
};

// Whether `text` begins with `start`: a writer's message may go on with a file name or the system's text.
bool StartsWith(const char* text, const char* start) {
    return std::string_view(text).starts_with(start);
}

void HideLibFlac() {
    libflac::Free();
    libflac::Load("libFLAC.so.0-not-installed");
}
void RestoreLibFlac() {
    libflac::Free();  // the next FLAC writer loads the real library again
}
void HideLibWavpack() {
    wavpackdll::UseSoname("libwavpack.so.0-not-installed");
}
void RestoreLibWavpack() {
    wavpackdll::UseSoname(wavpackdll::kSoname);
}

// libvorbis unloaded down to no reference and then asked for under a name that does not exist; restored
// with as many references as it had.
int gVorbisReferences = 0;
void HideLibVorbis() {
    gVorbisReferences = unavorbisapi::State(unavorbisapi::Library::Vorbis);
    for (int i = 0; i < gVorbisReferences; ++i) unavorbisapi::Unload(unavorbisapi::Library::Vorbis);
    unavorbisapi::Load(unavorbisapi::Library::Vorbis, "libvorbis.so.0-not-installed");
}
void RestoreLibVorbis() {
    for (int i = 0; i < gVorbisReferences; ++i) unavorbisapi::Load(unavorbisapi::Library::Vorbis);
}

const WriterRow kWriters[] = {
    {"MP3writer", Build::Works, kMp3CreateFailed, kDataWriteError},
    {"WMAwriter", Build::LibraryMissing},
    {"OGGwriter", Build::Works, kOggCreateFailed, kDataWriteError, HideLibVorbis, RestoreLibVorbis},
    {"WAVwriter", Build::Works, kSndfileCreateFailed},
    {"AMRwriter", Build::LibraryMissing},
    {"FLACwriter", Build::Works, kFlacInitFailed, kFlacEncoderFailed, HideLibFlac, RestoreLibFlac},
    {"APEwriter", Build::Works, kApeStartFailed, kApeCompressorFailed},
#if WAVETROVE_HAVE_FDKAAC
    {"AACwriter", Build::Works, kMp4CreateFailed, kDataWriteError},
#else
    {"AACwriter", Build::LibraryMissing},
#endif
    {"GSMwriter", Build::Works, kSndfileCreateFailed},
    {"ALACwriter", Build::Works, kMp4CreateFailed, kDataWriteError},
    {"AIFwriter", Build::Works, kSndfileCreateFailed},
    {"Opuswriter", Build::Works, kOpusInitFailed, kDataWriteError},
    {"WVwriter", Build::Works, kWavpackCreateFailed, kWavpackWriteFailed, HideLibWavpack, RestoreLibWavpack,
     kWavpackLoadFailed},
};

const WriterRow* RowOf(const EncoderClass& writer) {
    for (const WriterRow& row : kWriters)
        if (std::strcmp(row.name, writer.Name()) == 0) return &row;
    return nullptr;
}

std::vector<const EncoderClass*> RegisteredWriters() {
    // One registry for the whole run, as in the program: it holds the run-time libraries it loads.
    static const TEncManager registry;
    std::vector<const EncoderClass*> writers;
    for (size_t i = 0; i < registry.Count(); ++i) writers.push_back(&registry.Item(i));
    return writers;
}

// The registered writers whose row says `build` (a writer without a row fails EveryWriterHasAContractRow).
std::vector<const EncoderClass*> RegisteredWriters(Build build) {
    std::vector<const EncoderClass*> writers;
    for (const EncoderClass* writer : RegisteredWriters()) {
        const WriterRow* row = RowOf(*writer);
        if (row && row->build == build) writers.push_back(writer);
    }
    return writers;
}

const EncoderClass& WriterNamed(const std::string& name) {
    for (const EncoderClass* writer : RegisteredWriters())
        if (name == writer->Name()) return *writer;
    throw std::runtime_error("no writer " + name);
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory()) names.push_back(fs::relative(entry.path(), folder).string());
    return names;
}

int BitsOf(SampleKind kind) {
    return testsupport::BytesPerSample(kind) * 8;
}

// Signed integer value of sample `i` of integer PCM in `kind` (8-bit PCM is unsigned, as in WAV).
int32_t SampleAt(const std::vector<uint8_t>& pcm, SampleKind kind, size_t i) {
    switch (kind) {
        case SampleKind::U8:
            return int32_t{pcm[i]} - 128;
        case SampleKind::S16:
            return static_cast<int16_t>(uint16_t(pcm[2 * i] | pcm[2 * i + 1] << 8));
        case SampleKind::S24: {
            const uint32_t v =
                uint32_t{pcm[3 * i]} | uint32_t{pcm[3 * i + 1]} << 8 | uint32_t{pcm[3 * i + 2]} << 16;
            return static_cast<int32_t>(v << 8) >> 8;
        }
        default:
            ADD_FAILURE() << "sources here are 8-, 16- or 24-bit integer PCM";
            return 0;
    }
}

// Integer PCM of `kind` as the blocks a writer with input format `input` receives: the same bytes at the
// same depth, or floats on the 2^(bits-1) scale the sources and libsndfile use.
std::vector<uint8_t> AsInput(const std::vector<uint8_t>& pcm, SampleKind kind, const WAVEFORMATEX& input) {
    if (input.wFormatTag == WAVE_FORMAT_PCM) {
        EXPECT_EQ(input.wBitsPerSample, BitsOf(kind)) << "the writer changes the depth";
        return pcm;
    }
    EXPECT_EQ(input.wBitsPerSample, 32);
    const size_t samples = pcm.size() / testsupport::BytesPerSample(kind);
    const float scale = static_cast<float>(1 << (BitsOf(kind) - 1));
    std::vector<uint8_t> out(samples * sizeof(float));
    for (size_t i = 0; i < samples; ++i) {
        const float value = static_cast<float>(SampleAt(pcm, kind, i)) / scale;
        std::memcpy(out.data() + i * sizeof(float), &value, sizeof value);
    }
    return out;
}

// Hands `pcm` to the writer in blocks of at most 8192 bytes of whole frames, as the pipeline does.
void WriteBlocks(Tencoder& writer, const std::vector<uint8_t>& pcm) {
    const size_t frame = writer.InputFormat().nBlockAlign;
    const size_t block = 8192 / frame * frame;
    for (size_t at = 0; at < pcm.size(); at += block)
        writer.Write(pcm.data() + at, static_cast<uint32_t>(std::min(block, pcm.size() - at)));
}

// Writes `frames` of noise from a 16-bit stereo 44.1 kHz source to `name` and finishes the file.
void WriteNoise(const EncoderClass& writerClass, const fs::path& name, int64_t frames) {
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16);
    auto writer = writerClass.Create(name.string(), source);
    const WAVEFORMATEX& input = writer->InputFormat();
    const PcmSpec spec{static_cast<int>(input.nSamplesPerSec), input.nChannels, SampleKind::S16};
    WriteBlocks(*writer, AsInput(testsupport::NoisePcm(spec, frames), SampleKind::S16, input));
    writer->Finish();
}

class WriterContract : public testing::TestWithParam<const EncoderClass*> {
  protected:
    void SetUp() override {
        row_ = RowOf(*GetParam());
        ASSERT_NE(row_, nullptr) << GetParam()->Name() << " needs a row in kWriters";
    }
    const EncoderClass& writer() const { return *GetParam(); }
    std::string Ext() const { return "." + writer().GetExtension(); }

    ConfigGuard guard_;
    TempDir dir_;
    const WriterRow* row_ = nullptr;
};

// A writer without its library fails cleanly before any output exists, and takes the source's format.
class MissingLibraryWriter : public WriterContract {};

TEST_P(MissingLibraryWriter, FailsBeforeAnyOutput) {
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16);
    try {
        writer().Create((dir_ / ("out" + Ext())).string(), source);
        FAIL() << "Create did not raise";
    } catch (const EEncoderError& error) {
        EXPECT_STREQ(error.what(), kEncoderLibraryMissing);
    }
    EXPECT_TRUE(fs::is_empty(dir_.path()));
    const WAVEFORMATEX wanted = writer().GetInputFormat(source);
    EXPECT_EQ(std::memcmp(&wanted, &source, sizeof source), 0);
}

TEST_P(WriterContract, UncreatableOutputRaisesAndLeavesNoFile) {
    const fs::path target = dir_ / "missing" / ("out" + Ext());
    try {
        writer().Create(target.string(), MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
        FAIL() << "Create did not raise";
    } catch (const EEncoderError& error) {
        EXPECT_TRUE(StartsWith(error.what(),
                               row_->build == Build::Works ? row_->createError : kEncoderLibraryMissing))
            << error.what();
    }
    EXPECT_TRUE(FilesIn(dir_.path()).empty());
}

// A full device refuses every byte: whether the writer sees it when it opens, while it writes or only when
// it completes the file (a short file that fits the buffers), the file must fail. `frames` is the length.
class WriterFullDevice : public WriterContract {
  protected:
    void ExpectFailure(int64_t frames) {
        if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
        const fs::path target = dir_ / ("full" + Ext());
        fs::create_symlink("/dev/full", target);
        try {
            WriteNoise(writer(), target, frames);
            ADD_FAILURE() << "a full device went unnoticed";
        } catch (const EEncoderError& error) {
            if (row_->build == Build::LibraryMissing) {
                EXPECT_STREQ(error.what(), kEncoderLibraryMissing);
            } else if (row_->fullDiskError && !StartsWith(error.what(), row_->createError)) {
                EXPECT_TRUE(StartsWith(error.what(), row_->fullDiskError)) << error.what();
            }
        }
    }
};

TEST_P(WriterFullDevice, TwoSecondsFail) {
    ExpectFailure(88200);
}

TEST_P(WriterFullDevice, AFewFramesFailWhenTheFileIsCompleted) {
    ExpectFailure(100);
}

// Writers whose library is part of this build.
class WorkingWriter : public WriterContract {};

// The naming step chose the name, extension included: the writer writes exactly that file and no other.
TEST_P(WorkingWriter, WritesTheFileItIsNamed) {
    for (const std::string& name : {std::string("out") + Ext(), std::string("Other Name.bin")}) {
        SCOPED_TRACE(name);
        TempDir dir;
        const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16);
        auto created = writer().Create((dir / name).string(), source);
        EXPECT_EQ(created->GetFileName(), (dir / name).string());
        // A little audio: not every format can hold none (a Monkey's Audio file has at least one frame).
        const WAVEFORMATEX& input = created->InputFormat();
        const PcmSpec spec{static_cast<int>(input.nSamplesPerSec), input.nChannels, SampleKind::S16};
        WriteBlocks(*created, AsInput(testsupport::NoisePcm(spec, 100), SampleKind::S16, input));
        created->Finish();
        created.reset();
        EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{name});
    }
}

// The base WriteTags goes through the tag library; a format without tags is left untouched.
TEST_P(WorkingWriter, TagsReadBackWhereTheClassCopiesThem) {
    ASSERT_TRUE(taglib::Load());
    const fs::path file = dir_ / ("tagged" + Ext());
    WriteNoise(writer(), file, 44100);
    const auto before = testsupport::ReadBytes(file);
    const TagFrame tags = {"Title", "Artist", "Album", "7", "1999", "Rock"};
    EXPECT_TRUE(writer().WriteTags(file.string(), tags));
    if (!writer().CanCopyTags()) {
        EXPECT_EQ(testsupport::ReadBytes(file), before);
        return;
    }
    taglib::TagLib_File* tagged = taglib::taglib_file_newu(file.string().c_str());
    ASSERT_NE(tagged, nullptr);
    taglib::TagLib_Tag* tag = taglib::taglib_file_tag(tagged);
    ASSERT_NE(tag, nullptr);
    EXPECT_STREQ(taglib::taglib_tag_title(tag), "Title");
    EXPECT_STREQ(taglib::taglib_tag_artist(tag), "Artist");
    EXPECT_STREQ(taglib::taglib_tag_album(tag), "Album");
    EXPECT_EQ(taglib::taglib_tag_track(tag), 7u);
    EXPECT_EQ(taglib::taglib_tag_year(tag), 1999u);
    EXPECT_STREQ(taglib::taglib_tag_genre(tag), "Rock");
    taglib::taglib_tag_free_strings();
    taglib::taglib_file_free(tagged);
}

// The pipeline writes every output under a hidden temporary name that ends in ".partial", tags it there and
// then renames it: the writer, its tags and the file must not depend on the name's extension.
TEST_P(WorkingWriter, WorksUnderATemporaryName) {
    ASSERT_TRUE(taglib::Load());
    const fs::path partial = dir_ / (".song" + Ext() + ".wvt-1-1.partial");
    WriteNoise(writer(), partial, 44100);
    const TagFrame tags = {"Title", "Artist", "Album", "7", "1999", "Rock"};
    EXPECT_TRUE(writer().WriteTags(partial.string(), tags));
    const fs::path done = dir_ / ("song" + Ext());
    fs::rename(partial, done);
    EXPECT_EQ(FilesIn(dir_.path()), std::vector<std::string>{"song" + Ext()});
    const auto decoded =
        testsupport::RunCommand("ffmpeg -nostdin -v error " + std::string(Ext() == ".gsm" ? "-f gsm " : "") +
                                "-i " + testsupport::ShellQuote(done.string()) + " -f s16le -");
    EXPECT_EQ(decoded.status, 0);
    EXPECT_GT(decoded.out.size(), 44100u) << "the renamed file does not decode";
    if (!writer().CanCopyTags() || (writer().Facts() && !writer().Facts()->writesTags)) return;
    taglib::TagLib_File* tagged = taglib::taglib_file_newu(done.string().c_str());
    ASSERT_NE(tagged, nullptr);
    taglib::TagLib_Tag* tag = taglib::taglib_file_tag(tagged);
    ASSERT_NE(tag, nullptr);
    EXPECT_STREQ(taglib::taglib_tag_title(tag), "Title");
    EXPECT_EQ(taglib::taglib_tag_track(tag), 7u);
    taglib::taglib_tag_free_strings();
    taglib::taglib_file_free(tagged);
}

std::string WriterName(const testing::TestParamInfo<const EncoderClass*>& info) {
    return info.param->Name();
}

INSTANTIATE_TEST_SUITE_P(Registry, WriterContract, testing::ValuesIn(RegisteredWriters()), WriterName);
INSTANTIATE_TEST_SUITE_P(Registry, WriterFullDevice, testing::ValuesIn(RegisteredWriters()), WriterName);
INSTANTIATE_TEST_SUITE_P(Registry, WorkingWriter, testing::ValuesIn(RegisteredWriters(Build::Works)),
                         WriterName);
INSTANTIATE_TEST_SUITE_P(Registry, MissingLibraryWriter,
                         testing::ValuesIn(RegisteredWriters(Build::LibraryMissing)), WriterName);

TEST(WriterRegistry, EveryWriterHasAContractRow) {
    for (const EncoderClass* writer : RegisteredWriters())
        EXPECT_NE(RowOf(*writer), nullptr) << writer->Name() << " needs a row in kWriters";
}

// Without its run-time library a writer fails cleanly, and every other writer still writes.
TEST(WriterRegistry, AMissingRuntimeLibraryFailsOnlyItsWriter) {
    ConfigGuard guard;
    for (const WriterRow& hidden : kWriters) {
        if (!hidden.hideLibrary) continue;
        SCOPED_TRACE(hidden.name);
        TempDir dir;
        hidden.hideLibrary();
        for (const EncoderClass* writer : RegisteredWriters()) {
            const WriterRow* row = RowOf(*writer);
            if (!row || row->build != Build::Works) continue;
            const fs::path target = dir / (std::string(writer->Name()) + "." + writer->GetExtension());
            if (row == &hidden) {
                try {
                    writer->Create(target.string(), MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
                    ADD_FAILURE() << "no exception";
                } catch (const EEncoderError& error) {
                    EXPECT_STREQ(error.what(), hidden.missingError);
                }
                EXPECT_FALSE(fs::exists(target));
            } else {
                EXPECT_NO_THROW(WriteNoise(*writer, target, 4410)) << writer->Name();
                EXPECT_TRUE(fs::exists(target)) << writer->Name();
            }
        }
        hidden.restoreLibrary();
        EXPECT_NO_THROW(WriteNoise(WriterNamed(hidden.name),
                                   dir / ("back." + WriterNamed(hidden.name).GetExtension()), 4410));
    }
}

// ---- round trips ------------------------------------------------------------------------------------------

// How a decoded file must compare with its source.
enum class Compare {
    Exact,        // every sample bit-identical, same length
    Tolerance,    // length within `slack` frames; a 1 kHz tone stays a 1 kHz tone
    Unavailable,  // the writer's library is not part of this build: Create fails cleanly
};

struct RoundTrip {
    const char* writer;
    PcmSpec source;
    std::function<void(config&)> settings;  // null: the defaults
    Compare compare;
    int64_t slack = 0;  // Tolerance: frames the codec may add or drop (delay, padding, frame size)
};

std::string RoundTripName(const testing::TestParamInfo<RoundTrip>& info) {
    const RoundTrip& r = info.param;
    std::string name = std::string(r.writer) + "_" + std::to_string(r.source.rate) + "_" +
                       std::to_string(r.source.channels) + "ch_" + std::to_string(BitsOf(r.source.kind)) +
                       "bit";
    return name + "_" + std::to_string(info.index);
}

const char* FfmpegFormat(SampleKind kind) {
    switch (kind) {
        case SampleKind::U8:
            return "u8";
        case SampleKind::S16:
            return "s16le";
        default:
            return "s24le";
    }
}

class WriterRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(WriterRoundTrip, DecodesBackToTheSource) {
    const RoundTrip& r = GetParam();
    ConfigGuard guard;
    TempDir dir;
    if (r.settings) r.settings(Config);
    const EncoderClass& writerClass = WriterNamed(r.writer);
    const fs::path file = dir / ("trip." + writerClass.GetExtension());
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, static_cast<uint32_t>(r.source.rate),
                                               static_cast<uint16_t>(r.source.channels),
                                               static_cast<uint16_t>(BitsOf(r.source.kind)));
    if (r.compare == Compare::Unavailable) {
        EXPECT_THROW(writerClass.Create(file.string(), source), EEncoderError);
        EXPECT_FALSE(fs::exists(file));
        return;
    }
    auto writer = writerClass.Create(file.string(), source);
    const WAVEFORMATEX input = writer->InputFormat();
    const PcmSpec spec{static_cast<int>(input.nSamplesPerSec), input.nChannels, r.source.kind};
    const int64_t frames = spec.rate * 3 / 2;
    const auto pcm = r.compare == Compare::Exact ? testsupport::NoisePcm(spec, frames)
                                                 : testsupport::SinePcm(spec, frames);
    WriteBlocks(*writer, AsInput(pcm, r.source.kind, input));
    writer->Finish();
    writer.reset();

    auto probe = ProbeStream(file, writerClass.GetExtension() == "gsm" ? "-f gsm" : "");
    EXPECT_EQ(probe["sample_rate"], std::to_string(spec.rate));
    EXPECT_EQ(probe["channels"], std::to_string(spec.channels));
    if (r.compare == Compare::Exact) {
        const auto decoded = testsupport::FfmpegDecode(file, FfmpegFormat(r.source.kind));
        ASSERT_EQ(decoded.size(), pcm.size());
        EXPECT_TRUE(decoded == pcm) << "samples differ";
        return;
    }
    const std::string gsm = writerClass.GetExtension() == "gsm" ? "-f gsm " : "";
    const auto result = testsupport::RunCommand("ffmpeg -nostdin -v error " + gsm + "-i " +
                                                testsupport::ShellQuote(file.string()) + " -f f32le -");
    ASSERT_EQ(result.status, 0);
    std::vector<float> decoded(result.out.size() / sizeof(float));
    std::memcpy(decoded.data(), result.out.data(), decoded.size() * sizeof(float));
    const int64_t decodedFrames = static_cast<int64_t>(decoded.size()) / spec.channels;
    EXPECT_LE(std::llabs(decodedFrames - frames), r.slack) << decodedFrames << " frames for " << frames;
    EXPECT_NEAR(testsupport::EstimateFrequency(decoded, spec.channels, spec.rate), 1000.0, 10.0);
}

const RoundTrip kRoundTrips[] = {
    // Lossless: every sample back as it went in.
    {"WAVwriter", {44100, 2, SampleKind::S16}, nullptr, Compare::Exact},
    {"WAVwriter", {48000, 1, SampleKind::S24}, [](config& c) { c.wavbps = 0; }, Compare::Exact},
    {"WAVwriter", {22050, 2, SampleKind::U8}, [](config& c) { c.wavbps = 1; }, Compare::Exact},
    {"AIFwriter", {44100, 2, SampleKind::S16}, nullptr, Compare::Exact},
    {"AIFwriter", {96000, 1, SampleKind::S24}, [](config& c) { c.aifbps = 3; }, Compare::Exact},
    {"FLACwriter", {44100, 2, SampleKind::S16}, nullptr, Compare::Exact},
    {"FLACwriter", {96000, 2, SampleKind::S24}, nullptr, Compare::Exact},
    {"FLACwriter", {8000, 1, SampleKind::U8}, [](config& c) { c.flaccompression = 8; }, Compare::Exact},
    {"APEwriter", {44100, 2, SampleKind::S16}, nullptr, Compare::Exact},
    {"APEwriter", {96000, 1, SampleKind::S24}, [](config& c) { c.apecompression = 5; }, Compare::Exact},
    {"APEwriter", {22050, 2, SampleKind::U8}, [](config& c) { c.apecompression = 1; }, Compare::Exact},
    {"ALACwriter", {44100, 2, SampleKind::S16}, nullptr, Compare::Exact},
    {"ALACwriter", {96000, 1, SampleKind::S24}, [](config& c) { c.alacfastmode = true; }, Compare::Exact},
    {"WVwriter", {44100, 2, SampleKind::S16}, nullptr, Compare::Exact},
    {"WVwriter", {96000, 1, SampleKind::S24}, [](config& c) { c.wvcompression = 2; }, Compare::Exact},
    {"WVwriter", {22050, 2, SampleKind::U8}, [](config& c) { c.wvcompression = 0; }, Compare::Exact},
    // Lossy: the length within the codec's delay and padding, the tone kept.
    {"MP3writer", {44100, 2, SampleKind::S16}, nullptr, Compare::Tolerance, 1152},
    {"MP3writer", {22050, 1, SampleKind::S16}, [](config& c) { c.mp3vbr = true; }, Compare::Tolerance, 576},
    {"GSMwriter", {8000, 1, SampleKind::S16}, nullptr, Compare::Tolerance, 160},
    {"OGGwriter", {44100, 2, SampleKind::S16}, nullptr, Compare::Tolerance, 1024},
    {"OGGwriter", {22050, 1, SampleKind::U8}, [](config& c) { c.oggquality = 0; }, Compare::Tolerance, 1024},
    {"Opuswriter", {48000, 2, SampleKind::S16}, nullptr, Compare::Tolerance, 960},
    {"Opuswriter",
     {48000, 1, SampleKind::S24},
     [](config& c) { c.opusvbrmode = 0; },
     Compare::Tolerance,
     960},
// Gapless: FFmpeg decodes the last packet whole.
#if WAVETROVE_HAVE_FDKAAC
    {"AACwriter", {44100, 2, SampleKind::S16}, nullptr, Compare::Tolerance, 1023},
    {"AACwriter", {22050, 1, SampleKind::S16}, [](config& c) { c.aacbitrate = 8; }, Compare::Tolerance, 1023},
#else
    {"AACwriter", {44100, 2, SampleKind::S16}, nullptr, Compare::Unavailable},
#endif
    // Writers whose library is not part of this build yet.
    {"AMRwriter", {8000, 1, SampleKind::S16}, nullptr, Compare::Unavailable},
};

INSTANTIATE_TEST_SUITE_P(Table, WriterRoundTrip, testing::ValuesIn(kRoundTrips), RoundTripName);

// Every registered writer takes part in the round trips.
TEST(WriterRegistry, EveryWriterHasARoundTrip) {
    for (const EncoderClass* writer : RegisteredWriters()) {
        bool found = false;
        for (const RoundTrip& r : kRoundTrips) found = found || writer->Name() == std::string(r.writer);
        EXPECT_TRUE(found) << writer->Name() << " needs a row in kRoundTrips";
    }
}

}  // namespace
