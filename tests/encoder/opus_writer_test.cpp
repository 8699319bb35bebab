// The Opus writer judged from outside: the pages read back by an independent parser, the OpusHead the
// rate rule chooses, the length in granules, the audio packets against the opusenc tool with the same
// settings, and the set-up failures that must leave nothing behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "encoder/manager.h"
#include "encoder/writer_class.h"
#include "encoder_test_support.h"
#include "ogg_pages.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PcmSpec;
using testsupport::SampleKind;
using testsupport::TempDir;

const EncoderClass& Opus() {
    const TEncManager registry;  // the classes outlive it
    for (size_t i = 0; i < registry.Count(); ++i)
        if (std::string(registry.Item(i).Name()) == "Opuswriter") return registry.Item(i);
    throw std::runtime_error("no Opus writer");
}

// 16-bit PCM as the floats the pipeline hands the writer (sample / 32768).
std::vector<float> ToFloats(const std::vector<uint8_t>& pcm) {
    std::vector<float> out(pcm.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] =
            static_cast<float>(static_cast<int16_t>(uint16_t(pcm[2 * i] | pcm[2 * i + 1] << 8))) / 32768.0f;
    return out;
}

// Encodes 16-bit PCM of `spec` (the source's format) through the writer into `file`.
WAVEFORMATEX Encode(const fs::path& file, const PcmSpec& spec, const std::vector<uint8_t>& pcm) {
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, static_cast<uint32_t>(spec.rate),
                                               static_cast<uint16_t>(spec.channels), 16);
    auto writer = Opus().Create(file.string(), source);
    const WAVEFORMATEX input = writer->InputFormat();
    WriteFloats(*writer, ToFloats(pcm), 2048 * input.nChannels);
    writer->Finish();
    return input;
}

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// ---- pages, OpusHead and length --------------------------------------------------------------------------

struct HeadCase {
    int sourceRate;
    int sourceChannels;
    int opusmode;
    int wantRate;  // the OpusHead's input rate: the writer's choice
    int wantChannels;
};

class OpusHeadTest : public testing::TestWithParam<HeadCase> {};

TEST_P(OpusHeadTest, PagesHeadAndGranulesAreRight) {
    const HeadCase& c = GetParam();
    ConfigGuard guard;
    Config.opusmode = c.opusmode;
    TempDir dir;
    const PcmSpec source{c.sourceRate, c.sourceChannels, SampleKind::S16};
    // 1.5 s at the writer's rate: a whole number of 48 kHz samples for every rate of the table.
    const int64_t frames = c.wantRate * 3 / 2;
    const fs::path file = dir / "out.opus";
    const PcmSpec fed{c.wantRate, c.wantChannels, SampleKind::S16};
    const WAVEFORMATEX input = Encode(file, source, testsupport::SinePcm(fed, frames));
    EXPECT_EQ(input.nSamplesPerSec, static_cast<uint32_t>(c.wantRate));
    EXPECT_EQ(input.nChannels, c.wantChannels);
    EXPECT_EQ(input.wFormatTag, WAVE_FORMAT_IEEE_FLOAT);

    const oggtest::Stream stream = oggtest::Parse(testsupport::ReadBytes(file));
    ASSERT_TRUE(stream.error.empty()) << stream.error;
    ASSERT_GE(stream.pages.size(), 3u);
    oggtest::ExpectOnePageChain(stream);
    // OpusHead alone on the first page, OpusTags on page(s) of its own, audio from a fresh page.
    ASSERT_GE(stream.packets.size(), 3u);
    const auto& head = stream.packets[0].data;
    ASSERT_GE(head.size(), 19u);
    ASSERT_EQ(std::string(head.begin(), head.begin() + 8), "OpusHead");
    EXPECT_EQ(stream.pages[0].packetsEnding, 1u);
    EXPECT_EQ(head[9], c.wantChannels);
    EXPECT_EQ(oggtest::Le32(&head[12]), static_cast<uint32_t>(c.wantRate));
    EXPECT_EQ(head[18], 0) << "mapping family";
    const auto& tags = stream.packets[1].data;
    ASSERT_EQ(std::string(tags.begin(), tags.begin() + 8), "OpusTags");
    EXPECT_EQ(stream.packets[1].firstPage, 1u);
    EXPECT_EQ(stream.packets[2].firstPage, stream.packets[1].lastPage + 1) << "audio shares the tags' page";
    // No comment before the tag transfer.
    const uint32_t vendor = oggtest::Le32(&tags[8]);
    ASSERT_GE(tags.size(), 16u + vendor);
    EXPECT_EQ(oggtest::Le32(&tags[12 + vendor]), 0u) << "comments in a fresh file";

    const int64_t preSkip = Le16(&head[10]);
    EXPECT_EQ(stream.pages.back().granule - preSkip, frames * 48000 / c.wantRate);
}

INSTANTIATE_TEST_SUITE_P(Table, OpusHeadTest,
                         testing::Values(HeadCase{48000, 2, 0, 48000, 2}, HeadCase{44100, 2, 0, 48000, 2},
                                         HeadCase{20000, 1, 0, 24000, 1}, HeadCase{10000, 2, 0, 12000, 2},
                                         HeadCase{8000, 1, 0, 8000, 1}, HeadCase{48000, 1, 1, 48000, 2},
                                         HeadCase{44100, 2, 2, 48000, 1}));

// A source without a single frame still gives a well-formed file (libopusenc aborts when drained without
// ever being written to).
TEST(OpusWriter, AnEmptySourceGivesAValidEmptyStream) {
    TempDir dir;
    const fs::path file = dir / "empty.opus";
    Encode(file, PcmSpec{48000, 2, SampleKind::S16}, {});
    const oggtest::Stream stream = oggtest::Parse(testsupport::ReadBytes(file));
    ASSERT_TRUE(stream.error.empty()) << stream.error;
    ASSERT_GE(stream.packets.size(), 2u);
    EXPECT_EQ(stream.pages.back().flags & 4, 4);
    EXPECT_EQ(testsupport::RunCommand("opusdec --quiet " + testsupport::ShellQuote(file.string()) + " " +
                                      testsupport::ShellQuote((dir / "back.wav").string()))
                  .status,
              0);
    EXPECT_TRUE(testsupport::FfmpegDecode(file, "s16le").empty());
}

// Left and right stay apart: a tone in each channel at its own frequency, each found again in its channel.
TEST(OpusWriter, ChannelsStayApart) {
    TempDir dir;
    const int64_t frames = 48000;
    std::vector<uint8_t> pcm(static_cast<size_t>(frames) * 4);
    for (int64_t i = 0; i < frames; ++i) {
        const auto put = [&](size_t at, double hz) {
            const auto v = static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * hz * i / 48000.0)));
            pcm[at] = static_cast<uint8_t>(v & 0xff);
            pcm[at + 1] = static_cast<uint8_t>((v >> 8) & 0xff);
        };
        put(static_cast<size_t>(i) * 4, 440.0);
        put(static_cast<size_t>(i) * 4 + 2, 1500.0);
    }
    const fs::path file = dir / "lr.opus";
    Encode(file, PcmSpec{48000, 2, SampleKind::S16}, pcm);
    const auto raw = testsupport::FfmpegDecode(file, "f32le");
    std::vector<float> decoded(raw.size() / sizeof(float));
    std::memcpy(decoded.data(), raw.data(), decoded.size() * sizeof(float));
    std::vector<float> left, right;
    for (size_t i = 0; i + 1 < decoded.size(); i += 2)
        left.push_back(decoded[i]), right.push_back(decoded[i + 1]);
    EXPECT_NEAR(testsupport::EstimateFrequency(left, 1, 48000), 440.0, 10.0);
    EXPECT_NEAR(testsupport::EstimateFrequency(right, 1, 48000), 1500.0, 15.0);
}

// ---- packets against the reference encoder ---------------------------------------------------------------

struct PacketCase {
    const char* name;
    int vbrmode;
    int bitrateIndex;
    const char* opusencArgs;  // null: no reference run; every audio packet must be `cbrBytes` long
    size_t cbrBytes = 0;
};

class OpusPacketTest : public testing::TestWithParam<PacketCase> {};

TEST_P(OpusPacketTest, AudioPacketsMatch) {
    const PacketCase& c = GetParam();
    ConfigGuard guard;
    Config.opusvbrmode = c.vbrmode;
    Config.opusbitrate = c.bitrateIndex;
    TempDir dir;
    const PcmSpec spec{48000, 2, SampleKind::S16};
    const auto pcm = testsupport::NoisePcm(spec, 48000 * 2, 7);
    // Quieter noise plus a tone: something a VBR encoder spends its bits on unevenly.
    std::vector<uint8_t> source(pcm.size());
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        const double noise = static_cast<int16_t>(uint16_t(pcm[2 * i] | pcm[2 * i + 1] << 8)) / 8.0;
        const double tone = 8000 * std::sin(2 * M_PI * 660.0 * static_cast<double>(i / 2) / 48000.0);
        const auto v = static_cast<int16_t>(std::lround(noise + tone));
        source[2 * i] = static_cast<uint8_t>(v & 0xff);
        source[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xff);
    }
    const fs::path ours = dir / "ours.opus";
    Encode(ours, spec, source);
    const oggtest::Stream mine = oggtest::Parse(testsupport::ReadBytes(ours));
    ASSERT_TRUE(mine.error.empty()) << mine.error;
    ASSERT_GT(mine.packets.size(), 50u);

    if (!c.opusencArgs) {
        for (size_t i = 2; i < mine.packets.size(); ++i)
            ASSERT_EQ(mine.packets[i].data.size(), c.cbrBytes) << "packet " << i;
        return;
    }
    testsupport::WriteBytes(dir / "src.wav", testsupport::WavFile(spec, source));
    const fs::path theirs = dir / "theirs.opus";
    ASSERT_EQ(testsupport::RunCommand(std::string("opusenc --quiet ") + c.opusencArgs + " " +
                                      testsupport::ShellQuote((dir / "src.wav").string()) + " " +
                                      testsupport::ShellQuote(theirs.string()))
                  .status,
              0);
    const oggtest::Stream reference = oggtest::Parse(testsupport::ReadBytes(theirs));
    ASSERT_TRUE(reference.error.empty()) << reference.error;
    ASSERT_EQ(mine.packets.size(), reference.packets.size());
    for (size_t i = 2; i < mine.packets.size(); ++i)
        ASSERT_TRUE(mine.packets[i].data == reference.packets[i].data)
            << "audio packet " << i - 2 << " differs";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, OpusPacketTest,
    testing::Values(PacketCase{"Vbr128", 1, 6, "--bitrate 128 --cvbr"},
                    PacketCase{"Cbr128", 0, 6, "--bitrate 128 --hard-cbr"},
                    PacketCase{"Cbr510", 0, 0, nullptr, 1275}, PacketCase{"Cbr8", 0, 17, nullptr, 20},
                    // A stored index outside the list stands for 128 kbit/s: 320-byte packets.
                    PacketCase{"CbrIndexOutsideList", 0, 40, nullptr, 320},
                    PacketCase{"CbrNegativeIndex", 0, -1, nullptr, 320}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- failures --------------------------------------------------------------------------------------------

TEST(OpusWriter, FailedSetUpRaisesTheLibrarysTextAndLeavesNoFile) {
    struct Case {
        std::function<void(config&)> settings;
        WAVEFORMATEX source;
        std::string message;
    };
    const WAVEFORMATEX stereo = MakeWaveFormat(WAVE_FORMAT_PCM, 48000, 2, 16);
    const Case cases[] = {
        {[](config& c) { c.opusvbrmode = 2; }, stereo, "failed to set VBR mode: "},
        {[](config& c) { c.opusvbrmode = -1; }, stereo, "failed to set VBR mode: "},
        // Mapping family 0 carries one or two channels.
        {nullptr, MakeWaveFormat(WAVE_FORMAT_PCM, 48000, 6, 16), kOpusInitFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ConfigGuard guard;
        if (c.settings) c.settings(Config);
        TempDir dir;
        try {
            Opus().Create((dir / "x.opus").string(), c.source);
            ADD_FAILURE() << "no exception";
        } catch (const EEncoderError& error) {
            const std::string text = error.what();
            EXPECT_EQ(text.rfind(c.message, 0), 0u) << text;
            if (c.message != kOpusInitFailed) {
                EXPECT_GT(text.size(), c.message.size()) << "no library text";
            }
        }
        EXPECT_TRUE(fs::is_empty(dir.path()));
    }
}

}  // namespace
