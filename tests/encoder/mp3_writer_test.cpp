// The MP3 writer driven directly as the pipeline drives it, with FFmpeg and an independent frame-header
// reader as the judges: stream parameters, the information frame and gapless length, VBR, header flags,
// oversized blocks and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "encoder_test_support.h"
#include "mp3_frames.h"
#include "encoder/writers.h"

namespace {

using testsupport::PcmSpec;
using testsupport::SampleKind;
using testsupport::TempDir;

struct Encoded {
    WAVEFORMATEX input{};
    std::filesystem::path file;
    int64_t sourceFrames = 0;
    std::vector<uint8_t> bytes;
    std::vector<Mp3Frame> frames;
};

// Encodes `seconds` of a 1 kHz sine (or noise) in the writer's own input format, in blocks of
// `blockBytes`, from a source of the given rate and channel count.
Encoded EncodeMp3(const TempDir& dir, uint32_t sourceRate, uint16_t sourceChannels, double seconds,
                  size_t blockBytes = 8192, bool noise = false) {
    Encoded e;
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, sourceRate, sourceChannels, 16);
    std::string name;
    {
        auto writer = MP3writerClass.Create((dir / "out.mp3").string(), source);
        e.input = writer->InputFormat();
        name = writer->GetFileName();
        const PcmSpec spec{static_cast<int>(e.input.nSamplesPerSec), e.input.nChannels, SampleKind::S16};
        e.sourceFrames = static_cast<int64_t>(seconds * e.input.nSamplesPerSec);
        const auto pcm =
            noise ? testsupport::NoisePcm(spec, e.sourceFrames) : testsupport::SinePcm(spec, e.sourceFrames);
        for (size_t at = 0; at < pcm.size(); at += blockBytes) {
            const size_t n = std::min(blockBytes, pcm.size() - at);
            writer->Write(pcm.data() + at, static_cast<uint32_t>(n));
        }
    }
    e.file = name;
    e.bytes = testsupport::ReadBytes(e.file);
    e.frames = Mp3Frames(e.bytes);
    return e;
}

int64_t DecodedFrames(const Encoded& e) {
    return static_cast<int64_t>(testsupport::FfmpegDecode(e.file, "s16le").size()) / (2 * e.input.nChannels);
}

TEST(Mp3Writer, DefaultsGiveCbr128Mpeg1StereoWithInfoFrameAndExactLength) {
    ConfigGuard guard;
    TempDir dir;
    const Encoded e = EncodeMp3(dir, 44100, 2, 3.0);
    EXPECT_EQ(e.file, dir / "out.mp3");
    EXPECT_EQ(e.input.nSamplesPerSec, 44100u);
    EXPECT_EQ(e.input.nChannels, 2);
    EXPECT_EQ(e.input.wBitsPerSample, 16);
    EXPECT_EQ(e.input.wFormatTag, WAVE_FORMAT_PCM);

    auto probe = ProbeStream(e.file);
    EXPECT_EQ(probe["codec_name"], "mp3");
    EXPECT_EQ(probe["sample_rate"], "44100");
    EXPECT_EQ(probe["channels"], "2");
    EXPECT_EQ(probe["bit_rate"], "128000");

    ASSERT_GT(e.frames.size(), 100u);
    // The whole file is frames: nothing before the information frame, nothing after the last frame.
    EXPECT_EQ(e.frames.back().offset + e.frames.back().length, e.bytes.size());
    for (const Mp3Frame& f : e.frames) {
        ASSERT_EQ(f.version, 10);
        ASSERT_EQ(f.layer, 3);
        ASSERT_EQ(f.mode, 0);  // plain stereo (BE_MP3_MODE_STEREO), not joint stereo
        ASSERT_EQ(f.bitrate, 128);
    }
    const auto info = ReadInfoFrame(e.bytes, e.frames.front());
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->vbr);
    EXPECT_TRUE(info->lame);
    ASSERT_TRUE(info->frames);
    EXPECT_EQ(*info->frames, e.frames.size() - 1);
    // Delay + source + padding fill the audio frames exactly, so a gapless decoder gives back the source.
    EXPECT_EQ(info->delay + e.sourceFrames + info->padding,
              int64_t{1152} * (static_cast<int64_t>(e.frames.size()) - 1));
    EXPECT_EQ(DecodedFrames(e), e.sourceFrames);

    std::vector<float> decoded;
    const auto s16 = testsupport::FfmpegDecode(e.file, "f32le");
    decoded.resize(s16.size() / 4);
    std::memcpy(decoded.data(), s16.data(), decoded.size() * 4);
    EXPECT_NEAR(testsupport::EstimateFrequency(decoded, 2, 44100), 1000.0, 5.0);
}

// Sample rate, channel mode and MPEG version chosen from the source and the settings.
struct FormatCase {
    uint32_t sourceRate;
    uint16_t sourceChannels;
    int srate;  // mp3srate
    int mode;   // mp3mode
    uint32_t rate;
    uint16_t channels;
    int version;
    int headerMode;
};

class Mp3Format : public testing::TestWithParam<FormatCase> {};

TEST_P(Mp3Format, StreamHasTheChosenRateChannelsAndVersion) {
    const FormatCase& c = GetParam();
    ConfigGuard guard;
    Config.mp3srate = c.srate;
    Config.mp3mode = c.mode;
    TempDir dir;
    const Encoded e = EncodeMp3(dir, c.sourceRate, c.sourceChannels, 1.5);
    EXPECT_EQ(e.input.nSamplesPerSec, c.rate);
    EXPECT_EQ(e.input.nChannels, c.channels);
    auto probe = ProbeStream(e.file);
    EXPECT_EQ(probe["sample_rate"], std::to_string(c.rate));
    EXPECT_EQ(probe["channels"], std::to_string(c.channels));
    ASSERT_GT(e.frames.size(), 10u);
    for (const Mp3Frame& f : e.frames) {
        ASSERT_EQ(f.version, c.version);
        ASSERT_EQ(f.sampleRate, static_cast<int>(c.rate));
        ASSERT_EQ(f.mode, c.headerMode);
    }
    EXPECT_EQ(DecodedFrames(e), e.sourceFrames);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Mp3Format,
    testing::Values(FormatCase{96000, 2, 0, 0, 48000, 2, 10, 0},  // nearest table entry
                    FormatCase{46050, 2, 0, 0, 48000, 2, 10, 0},  // a tie keeps the earlier entry
                    FormatCase{37000, 2, 0, 0, 32000, 2, 10, 0},
                    FormatCase{44100, 1, 0, 0, 44100, 1, 10, 3},   // mono source, "Same As Original"
                    FormatCase{44100, 6, 0, 0, 44100, 2, 10, 0},   // more than two channels: stereo
                    FormatCase{44100, 2, 0, 4, 44100, 1, 10, 3},   // "Mono"
                    FormatCase{44100, 1, 0, 2, 44100, 2, 10, 0},   // "Joint Stereo" is written as stereo
                    FormatCase{44100, 1, 0, 3, 44100, 2, 10, 0},   // so is "Dual Channel"
                    FormatCase{44100, 2, 3, 0, 32000, 2, 10, 0},   // 32000 Hz is still MPEG-1
                    FormatCase{44100, 2, 5, 0, 22050, 2, 20, 0},   // 22050 Hz is MPEG-2
                    FormatCase{44100, 2, 9, 0, 8000, 2, 25, 0}));  // 8000 Hz needs MPEG-2.5

class Mp3Vbr : public testing::TestWithParam<int> {};

TEST_P(Mp3Vbr, XingFrameCountsTheFramesAndLengthIsKept) {
    ConfigGuard guard;
    Config.mp3vbr = true;
    Config.mp3vbrquality = GetParam();
    TempDir dir;
    const Encoded e = EncodeMp3(dir, 44100, 2, 4.0, 8192, true);
    ASSERT_GT(e.frames.size(), 100u);
    const auto info = ReadInfoFrame(e.bytes, e.frames.front());
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->vbr);
    EXPECT_TRUE(info->lame);
    ASSERT_TRUE(info->frames);
    EXPECT_EQ(*info->frames, e.frames.size() - 1);
    std::set<int> rates;
    for (size_t i = 1; i + 1 < e.frames.size(); ++i) rates.insert(e.frames[i].bitrate);
    EXPECT_GT(rates.size(), 1u);
    // In VBR mode the bit-rate setting is the minimum (LAME may drop the last, padding-only frame below it).
    EXPECT_GE(*rates.begin(), 128);
    // Readers take the duration from the Xing frame count: delay + source + padding, without the frame
    // count it would be guessed from the first frame's bit rate.
    const double duration = std::stod(ProbeStream(e.file)["duration"]);
    EXPECT_NEAR(duration, (e.sourceFrames + info->delay + info->padding) / 44100.0, 1e-3);
    EXPECT_EQ(DecodedFrames(e), e.sourceFrames);
}

INSTANTIATE_TEST_SUITE_P(Slider, Mp3Vbr, testing::Values(0, 5, 9));

TEST(Mp3Writer, VbrSliderRunsFromSmallestToLargestFiles) {
    // Slider 0 passes quality 8 (smallest), slider 9 passes -1, which the library takes as its best (0).
    ConfigGuard guard;
    Config.mp3vbr = true;
    Config.mp3bitrate = 14;  // 16 kbit/s minimum, so the quality alone decides
    std::vector<size_t> sizes;
    for (int slider : {0, 4, 9}) {
        Config.mp3vbrquality = slider;
        TempDir dir;
        sizes.push_back(EncodeMp3(dir, 44100, 2, 3.0).bytes.size());
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1], sizes[2]);
}

// Each check box reaches every audio frame's header, and nothing else does.
struct FlagCase {
    bool config::*setting;
    bool privateBit, crc, copyright, original;
};

class Mp3Flags : public testing::TestWithParam<FlagCase> {};

TEST_P(Mp3Flags, HeaderBitsFollowTheCheckBoxes) {
    const FlagCase& c = GetParam();
    ConfigGuard guard;
    Config.mp3private = Config.mp3crc = Config.mp3copyright = Config.mp3original = false;
    if (c.setting) Config.*c.setting = true;
    TempDir dir;
    const Encoded e = EncodeMp3(dir, 44100, 2, 1.0);
    ASSERT_GT(e.frames.size(), 10u);
    for (size_t i = 1; i < e.frames.size(); ++i) {
        const Mp3Frame& f = e.frames[i];
        ASSERT_EQ(f.privateBit, c.privateBit) << "frame " << i;
        ASSERT_EQ(f.crc, c.crc) << "frame " << i;
        ASSERT_EQ(f.copyright, c.copyright) << "frame " << i;
        ASSERT_EQ(f.original, c.original) << "frame " << i;
    }
    // FFmpeg still reads the stream (with CRCs it checks them).
    EXPECT_EQ(DecodedFrames(e), e.sourceFrames);
}

INSTANTIATE_TEST_SUITE_P(Table, Mp3Flags,
                         testing::Values(FlagCase{nullptr, false, false, false, false},
                                         FlagCase{&config::mp3private, true, false, false, false},
                                         FlagCase{&config::mp3crc, false, true, false, false},
                                         FlagCase{&config::mp3copyright, false, false, true, false},
                                         FlagCase{&config::mp3original, false, false, false, true}));

TEST(Mp3Writer, BlockLargerThanTheOutputBufferIsEncodedWhole) {
    // 20 s of 8000 Hz mono in one Write: its worst-case output is far beyond the 80 000-byte buffer.
    ConfigGuard guard;
    Config.mp3srate = 9;
    Config.mp3bitrate = 7;  // 96 kbit/s
    TempDir dir;
    const Encoded e = EncodeMp3(dir, 8000, 1, 20.0, size_t{1} << 30, true);
    EXPECT_EQ(e.input.nSamplesPerSec, 8000u);
    EXPECT_EQ(DecodedFrames(e), e.sourceFrames);
}

TEST(Mp3Writer, OddAndUnalignedBlocksAreAccepted) {
    ConfigGuard guard;
    TempDir dir;
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16);
    std::string name;
    const auto pcm = testsupport::SinePcm({44100, 2, SampleKind::S16}, 44100);
    {
        auto writer = MP3writerClass.Create((dir / "a.mp3").string(), source);
        name = writer->GetFileName();
        std::vector<uint8_t> shifted(pcm.size() + 1);
        std::memcpy(shifted.data() + 1, pcm.data(), pcm.size());
        // Blocks of 4 bytes (one frame) and one misaligned block.
        for (size_t at = 0; at < 4096; at += 4) writer->Write(pcm.data() + at, 4);
        writer->Write(shifted.data() + 1 + 4096, static_cast<uint32_t>(pcm.size() - 4096));
    }
    const auto decoded = testsupport::FfmpegDecode(name, "s16le");
    EXPECT_EQ(decoded.size(), pcm.size());
}

}  // namespace
