// The ALAC writer judged from outside: FFmpeg's decode of its files against the source, sample for sample;
// the packets and time scales read back from the file; the format each source and setting gives.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "encoder/manager.h"
#include "encoder/writer_class.h"
#include "encoder_test_support.h"
#include "mp4_boxes.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PcmSpec;
using testsupport::SampleKind;
using testsupport::TempDir;

const EncoderClass& Alac() {
    const TEncManager registry;  // the classes outlive it
    for (size_t i = 0; i < registry.Count(); ++i)
        if (std::string(registry.Item(i).Name()) == "ALACwriter") return registry.Item(i);
    throw std::runtime_error("no ALAC writer");
}

// Writes `pcm` (already in the writer's input format) in blocks of `block` bytes of whole frames.
void Feed(Tencoder& writer, const std::vector<uint8_t>& pcm, size_t block) {
    const size_t frame = writer.InputFormat().nBlockAlign;
    block = std::max<size_t>(block / frame, 1) * frame;
    for (size_t at = 0; at < pcm.size(); at += block)
        writer.Write(pcm.data() + at, static_cast<uint32_t>(std::min(block, pcm.size() - at)));
}

struct TripCase {
    const char* name;
    PcmSpec spec;  // the source, and the writer's input
    int64_t frames;
    size_t block;  // bytes per Write
    bool fast;
};

class AlacRoundTrip : public testing::TestWithParam<TripCase> {};

// Bit-identical with the exact length; packets of 4096 frames, the last one shorter; the track and the
// movie count in samples.
TEST_P(AlacRoundTrip, DecodesBitIdenticalInPacketsOf4096) {
    const TripCase& c = GetParam();
    ConfigGuard guard;
    Config.alacfastmode = c.fast;
    TempDir dir;
    const fs::path file = dir / "out.m4a";
    const int bits = testsupport::BytesPerSample(c.spec.kind) * 8;
    const WAVEFORMATEX source =
        MakeWaveFormat(WAVE_FORMAT_PCM, static_cast<uint32_t>(c.spec.rate),
                       static_cast<uint16_t>(c.spec.channels), static_cast<uint16_t>(bits));
    const auto pcm = testsupport::NoisePcm(c.spec, c.frames);
    {
        auto writer = Alac().Create(file.string(), source);
        ASSERT_EQ(writer->InputFormat().wBitsPerSample, bits);
        Feed(*writer, pcm, c.block);
        writer->Finish();
    }
    const auto decoded = testsupport::FfmpegDecode(file, bits == 16 ? "s16le" : "s24le");
    ASSERT_EQ(decoded.size(), pcm.size());
    EXPECT_TRUE(decoded == pcm) << "samples differ";

    auto probe = ProbeStream(file);
    EXPECT_EQ(probe["codec_name"], "alac");
    EXPECT_EQ(probe["sample_rate"], std::to_string(c.spec.rate));
    EXPECT_EQ(probe["channels"], std::to_string(c.spec.channels));
    EXPECT_EQ(probe["bits_per_raw_sample"], std::to_string(bits));

    const mp4test::Movie movie = mp4test::Parse(testsupport::ReadBytes(file));
    ASSERT_TRUE(movie.error.empty()) << movie.error;
    EXPECT_EQ(movie.movieScale, static_cast<uint32_t>(c.spec.rate));
    EXPECT_EQ(movie.trackScale, static_cast<uint32_t>(c.spec.rate));
    const int64_t packets = (c.frames + 4095) / 4096;
    ASSERT_EQ(static_cast<int64_t>(movie.sampleDurations.size()), packets);
    for (int64_t i = 0; i + 1 < packets; ++i) EXPECT_EQ(movie.sampleDurations[static_cast<size_t>(i)], 4096u);
    EXPECT_EQ(movie.sampleDurations.back(), static_cast<uint32_t>(c.frames - (packets - 1) * 4096));
    // No edit is needed: the samples cover the source exactly.
    for (const mp4test::Edit& edit : movie.edits) EXPECT_EQ(edit.mediaTime, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AlacRoundTrip,
    testing::Values(TripCase{"Stereo16", {44100, 2, SampleKind::S16}, 44100 * 3 / 2, 8192, false},
                    TripCase{"Stereo16Fast", {44100, 2, SampleKind::S16}, 44100 * 3 / 2, 8192, true},
                    TripCase{"Mono24At96k", {96000, 1, SampleKind::S24}, 96000 + 1, 6000, false},
                    TripCase{"Surround24Fast", {48000, 6, SampleKind::S24}, 4096 * 3, 4096 * 18, true},
                    // One block larger than the staging room (16 bytes per hertz at 8 kHz).
                    TripCase{
                        "OneHugeBlock", {8000, 2, SampleKind::S16}, 8000 * 5 + 7, size_t{1} << 30, false},
                    TripCase{"ShorterThanAPacket", {22050, 2, SampleKind::S16}, 1000, 8192, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Fast mode is another encoding of the same samples.
TEST(AlacWriter, FastModeChangesTheStream) {
    ConfigGuard guard;
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const auto pcm = testsupport::SinePcm(spec, 44100);
    std::vector<uint8_t> files[2];
    for (bool fast : {false, true}) {
        Config.alacfastmode = fast;
        const fs::path file = dir / (fast ? "fast.m4a" : "normal.m4a");
        auto writer = Alac().Create(file.string(), MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
        Feed(*writer, pcm, 8192);
        writer->Finish();
        files[fast] = testsupport::ReadBytes(file);
        EXPECT_TRUE(testsupport::FfmpegDecode(file, "s16le") == pcm) << fast;
    }
    EXPECT_NE(files[0], files[1]);
}

// Write answers the bytes of the packets it wrote in that call.
TEST(AlacWriter, WriteAnswersThePacketBytes) {
    ConfigGuard guard;
    TempDir dir;
    const fs::path file = dir / "out.m4a";
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const auto pcm = testsupport::NoisePcm(spec, 4096 * 2 + 100);
    auto writer = Alac().Create(file.string(), MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
    EXPECT_EQ(writer->Write(pcm.data(), 4096 * 4 - 4), 0);  // one frame short of a packet
    const int two = writer->Write(pcm.data() + 4096 * 4 - 4, 4096 * 4 + 4);
    const int none = writer->Write(pcm.data() + 4096 * 8, 4);
    const int last =
        writer->Write(pcm.data() + 4096 * 8 + 4, static_cast<uint32_t>(pcm.size() - 4096 * 8 - 4));
    writer->Finish();
    writer.reset();
    const mp4test::Movie movie = mp4test::Parse(testsupport::ReadBytes(file));
    ASSERT_EQ(movie.sampleSizes.size(), 3u);
    EXPECT_EQ(two, static_cast<int>(movie.sampleSizes[0] + movie.sampleSizes[1]));
    EXPECT_EQ(none, 0);
    EXPECT_EQ(last, 0);  // the short packet is written when the file is completed
}

struct FormatCase {
    const char* name;
    WAVEFORMATEX source;
    std::function<void(config&)> settings;
    uint32_t rate;
    uint16_t channels;
    uint16_t bits;
};

class AlacFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(AlacFormat, SourceAndSettingsChooseTheFormat) {
    const FormatCase& c = GetParam();
    config settings;
    if (c.settings) c.settings(settings);
    const WAVEFORMATEX input = Alac().GetInputFormat(c.source, settings);
    EXPECT_EQ(input.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(input.nSamplesPerSec, c.rate);
    EXPECT_EQ(input.nChannels, c.channels);
    EXPECT_EQ(input.wBitsPerSample, c.bits);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AlacFormat,
    testing::Values(
        FormatCase{"Defaults16", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), nullptr, 44100, 2, 16},
        // "Same As Original" keeps any rate, even one not in the list.
        FormatCase{"OddRateKept", MakeWaveFormat(WAVE_FORMAT_PCM, 37800, 1, 24), nullptr, 37800, 1, 24},
        FormatCase{"EightBitTo16", MakeWaveFormat(WAVE_FORMAT_PCM, 22050, 2, 8), nullptr, 22050, 2, 16},
        FormatCase{"TwentyBitTieTo16", MakeWaveFormat(WAVE_FORMAT_PCM, 48000, 2, 20), nullptr, 48000, 2, 16},
        FormatCase{"FloatTo24", MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 48000, 2, 32), nullptr, 48000, 2, 24},
        FormatCase{"RateAndMono", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16),
                   [](config& s) { s.alacsamplerate = 4, s.alacmode = 2; }, 48000, 1, 16},
        FormatCase{"Stereo", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 1, 16),
                   [](config& s) { s.alacsamplerate = 12, s.alacmode = 1; }, 8000, 2, 16},
        // Indexes outside the lists: the source's rate, one channel.
        FormatCase{"OutsideTheLists", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16),
                   [](config& s) { s.alacsamplerate = 13, s.alacmode = 3; }, 44100, 1, 16},
        // ALAC holds eight channels at most.
        FormatCase{"TenChannelsToEight", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 10, 16), nullptr, 44100, 8,
                   16}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
