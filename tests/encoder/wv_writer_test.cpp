// The WavPack writer beyond the contract every writer keeps: the format it asks for, blocks that end
// inside a frame, the mode and channel mask that reach the file, the true length written back at the end,
// and an output that cannot be created named in the error.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "encoder/writer_class.h"
#include "encoder/writers.h"
#include "encoder_test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PcmSpec;
using testsupport::RunCommand;
using testsupport::SampleKind;
using testsupport::ShellQuote;
using testsupport::TempDir;

struct FormatCase {
    const char* name;
    WAVEFORMATEX source;
    int samplerate;  // wvsamplerate
    int mode;        // wvmode
    uint32_t rate;   // wanted
    uint16_t channels;
    uint16_t bits;
};

class WvInputFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(WvInputFormat, FollowsTheSettingsAndTheNearestDepth) {
    const FormatCase& c = GetParam();
    config settings{};
    settings.wvsamplerate = c.samplerate;
    settings.wvmode = c.mode;
    const WAVEFORMATEX wanted = WVwriterClass.GetInputFormat(c.source, settings);
    EXPECT_EQ(wanted.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wanted.nSamplesPerSec, c.rate);
    EXPECT_EQ(wanted.nChannels, c.channels);
    EXPECT_EQ(wanted.wBitsPerSample, c.bits);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WvInputFormat,
    testing::Values(
        FormatCase{"Defaults", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 0, 0, 44100, 2, 16},
        FormatCase{"FloatGives32", MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 48000, 2, 32), 0, 0, 48000, 2, 32},
        FormatCase{"EightStays", MakeWaveFormat(WAVE_FORMAT_PCM, 8000, 1, 8), 0, 0, 8000, 1, 8},
        FormatCase{"TieGoesToTheSmaller", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 28), 0, 0, 44100, 2, 24},
        FormatCase{"SixChannelsKept", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 6, 16), 0, 0, 44100, 6, 16},
        FormatCase{"StereoMode", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 1, 16), 0, 1, 44100, 2, 16},
        FormatCase{"ModeOutsideTheListIsMono", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 24), 0, 5, 44100, 1,
                   24},
        FormatCase{"RateFromTheList", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 1, 0, 96000, 2, 16},
        FormatCase{"RateOutsideTheListKeepsTheSource", MakeWaveFormat(WAVE_FORMAT_PCM, 22050, 2, 16), 13, 0,
                   22050, 2, 16}),
    [](const auto& info) { return std::string(info.param.name); });

// Writes `pcm` through a new writer in pieces of `piece` bytes (the last one shorter) and finishes it.
void WritePieces(const fs::path& file, const WAVEFORMATEX& source, const std::vector<uint8_t>& pcm,
                 size_t piece, const config& settings = config{}) {
    auto writer = WVwriterClass.Create(file.string(), source, settings);
    for (size_t at = 0; at < pcm.size(); at += piece)
        writer->Write(pcm.data() + at, static_cast<uint32_t>(std::min(piece, pcm.size() - at)));
    writer->Finish();
}

std::string Unpacked(const fs::path& file, const char* option) {
    return RunCommand(std::string("wvunpack ") + option + " " + ShellQuote(file.string()) + " 2>&1").out;
}

// Every depth fed in pieces that split frames and samples: FFmpeg decodes the source bit for bit and
// knows the true length, and the library's own tool verifies the file.
struct PieceCase {
    SampleKind kind;
    int channels;
    size_t piece;
};

class WvPieces : public testing::TestWithParam<PieceCase> {};

TEST_P(WvPieces, DecodeToTheSourceWithTheTrueLength) {
    const PieceCase& c = GetParam();
    TempDir dir;
    const int bits = testsupport::BytesPerSample(c.kind) * 8;
    const PcmSpec spec{44100, c.channels, c.kind};
    const int64_t frames = 44100 + 777;
    const std::vector<uint8_t> pcm = testsupport::NoisePcm(spec, frames);
    const fs::path file = dir / "pieces.wv";
    WritePieces(file, MakeWaveFormat(WAVE_FORMAT_PCM, 44100, static_cast<uint16_t>(c.channels), bits), pcm,
                c.piece);
    const char* format = bits == 8 ? "u8" : bits == 16 ? "s16le" : bits == 24 ? "s24le" : "s32le";
    EXPECT_TRUE(testsupport::FfmpegDecode(file, format) == pcm) << "samples differ";
    const auto stream = ProbeStream(file);
    EXPECT_EQ(stream.at("duration_ts"), std::to_string(frames));
    EXPECT_EQ(stream.at("bits_per_raw_sample"), std::to_string(bits));
    EXPECT_NE(Unpacked(file, "-v").find("verified"), std::string::npos) << Unpacked(file, "-v");
}

INSTANTIATE_TEST_SUITE_P(
    Depths, WvPieces,
    testing::Values(PieceCase{SampleKind::U8, 1, 8191}, PieceCase{SampleKind::U8, 2, 4097},
                    PieceCase{SampleKind::S16, 2, 4099}, PieceCase{SampleKind::S16, 1, 1},
                    PieceCase{SampleKind::S24, 2, 8189}, PieceCase{SampleKind::S24, 1, 5},
                    PieceCase{SampleKind::S32, 2, 8191}),
    [](const auto& info) {
        return std::to_string(testsupport::BytesPerSample(info.param.kind) * 8) + "bit" +
               (info.param.channels == 1 ? "Mono" : "Stereo") + std::to_string(info.param.piece);
    });

// A block that ends inside a frame packs its whole frames and keeps the rest: 4099 bytes of 16-bit
// stereo are 1024 frames and 3 bytes; a block shorter than a frame packs nothing.
TEST(WvWriter, PartOfAFrameWaitsForTheNextBlock) {
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const std::vector<uint8_t> pcm = testsupport::NoisePcm(spec, 2000);
    const fs::path file = dir / "split.wv";
    auto writer = WVwriterClass.Create(file.string(), MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
    writer->Write(pcm.data(), 3);
    EXPECT_EQ(fs::file_size(file), 0u) << "a block shorter than a frame was packed";
    writer->Write(pcm.data() + 3, 4096);  // 4099 bytes so far
    writer->Write(pcm.data() + 4099, 1);  // completes frame 1025
    writer->Finish();
    writer.reset();
    const std::vector<uint8_t> decoded = testsupport::FfmpegDecode(file, "s16le");
    EXPECT_EQ(decoded.size(), 1025u * 4);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), pcm.begin())) << "samples differ";
}

// The frame counts of a WavPack file's blocks, read from their headers ("wvpk", size, ..., block_samples
// at byte 20); blocks without audio (a wrapper's trailer) are left out.
std::vector<uint32_t> BlockFrames(const std::vector<uint8_t>& file) {
    std::vector<uint32_t> frames;
    size_t at = 0;
    while (at + 32 <= file.size() && std::memcmp(file.data() + at, "wvpk", 4) == 0) {
        uint32_t size = 0;
        uint32_t samples = 0;
        std::memcpy(&size, file.data() + at + 4, 4);
        std::memcpy(&samples, file.data() + at + 20, 4);
        if (samples > 0) frames.push_back(samples);
        at += size + 8;
    }
    EXPECT_EQ(at, file.size()) << "the blocks do not tile the file";
    return frames;
}

// The pipeline hands over a few thousand frames per Write; the blocks in the file are still the library's
// own size, as `wavpack -h` writes them from the same samples (ending a block per Write made files about
// 5% larger).
TEST(WvWriter, BlocksAreTheLibrarysSizeWhateverTheWrites) {
    TempDir dir;
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const PcmSpec spec{44100, channels, SampleKind::S16};
        const std::vector<uint8_t> pcm = testsupport::NoisePcm(spec, 44100 * 3 + 500);
        const fs::path ours = dir / "ours.wv";
        WritePieces(ours, MakeWaveFormat(WAVE_FORMAT_PCM, 44100, static_cast<uint16_t>(channels), 16), pcm,
                    4099);
        const fs::path wav = dir / "source.wav";
        testsupport::WriteBytes(wav, testsupport::WavFile(spec, pcm));
        const fs::path theirs = dir / "theirs.wv";
        ASSERT_EQ(
            RunCommand("wavpack -q -y -h " + ShellQuote(wav.string()) + " -o " + ShellQuote(theirs.string()))
                .status,
            0);
        const std::vector<uint32_t> ourFrames = BlockFrames(testsupport::ReadBytes(ours));
        EXPECT_GE(ourFrames.size(), 2u);
        EXPECT_EQ(ourFrames, BlockFrames(testsupport::ReadBytes(theirs)));
    }
}

// The slider position chooses fast, high or very high (a stored value outside 0 to 2 as the slider shows
// it); the channel mask names the speakers: front centre for mono, front left and right for stereo.
TEST(WvWriter, ModeAndChannelMaskReachTheFile) {
    TempDir dir;
    struct Case {
        int stored;
        int channels;
        const char* modality;
        const char* layout;
    };
    for (const Case& c : {Case{0, 2, "lossless, fast", "stereo"}, Case{1, 1, "lossless, high", "mono"},
                          Case{2, 2, "lossless, very high", "stereo"}, Case{-2, 1, "lossless, fast", "mono"},
                          Case{7, 2, "lossless, very high", "stereo"}}) {
        SCOPED_TRACE(c.stored);
        config settings{};
        settings.wvcompression = c.stored;
        const PcmSpec spec{44100, c.channels, SampleKind::S16};
        const fs::path file = dir / ("mode" + std::to_string(c.stored) + ".wv");
        WritePieces(file, MakeWaveFormat(WAVE_FORMAT_PCM, 44100, static_cast<uint16_t>(c.channels), 16),
                    testsupport::SinePcm(spec, 22050), 8192, settings);
        EXPECT_NE(Unpacked(file, "-ss").find(std::string("modalities:        ") + c.modality + "\n"),
                  std::string::npos)
            << Unpacked(file, "-ss");
        EXPECT_EQ(ProbeStream(file)["channel_layout"], c.layout);
    }
}

// The error of an output that cannot be created names it.
TEST(WvWriter, AnUncreatableOutputIsNamed) {
    TempDir dir;
    const fs::path file = dir / "no such folder" / "out.wv";
    try {
        WVwriterClass.Create(file.string(), MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
        FAIL() << "Create did not raise";
    } catch (const EEncoderError& error) {
        EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos) << error.what();
    }
}

}  // namespace
