// MPEG audio and Ogg Vorbis through the built-in decoders, against files FFmpeg encodes and decodes:
// gapless lengths, sample alignment with FFmpeg's own decoders, the tone's pitch, and Vorbis comments.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/audio_fixtures.h"
#include "test_util.h"

using namespace testsupport;
using basstest::Channel;

namespace {

struct LossyCase {
    const char* name;
    const char* file;
    const char* codecArgs;
    DWORD ctype;
    int rate;
    int chans;
};

class Lossy : public testing::TestWithParam<LossyCase> {
  protected:
    void SetUp() override {
        const auto& p = GetParam();
        path_ = basstest::EncodeSine(dir_.path(), p.file, p.rate, p.chans, 1.5, 1000, p.codecArgs);
    }
    TempDir dir_;
    std::filesystem::path path_;
};

// FFmpeg's decoders trim encoder delay and padding the same way (LAME tag, Ogg granules), so the sample
// counts must agree exactly and the samples themselves closely.
TEST_P(Lossy, MatchesFfmpegsDecodeInLengthAndAlignment) {
    const auto& p = GetParam();
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_STREAM_PRESCAN | BASS_SAMPLE_FLOAT));
    ASSERT_TRUE(s) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s.get(), &info));
    EXPECT_EQ(info.ctype, p.ctype);
    EXPECT_EQ(info.freq, static_cast<DWORD>(p.rate));
    EXPECT_EQ(info.chans, static_cast<DWORD>(p.chans));
    EXPECT_EQ(info.origres, 0u);

    const auto got = basstest::AsFloats(basstest::ReadAll(s.get()));
    const auto want = basstest::AsFloats(FfmpegDecode(path_, "f32le"));
    EXPECT_EQ(BASS_ChannelGetLength(s.get(), BASS_POS_BYTE), got.size() * 4);
    ASSERT_EQ(got.size(), want.size());
    double worst = 0;
    for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::fabs(double(got[i]) - want[i]));
    EXPECT_LT(worst, 1e-3);
    EXPECT_NEAR(EstimateFrequency(got, p.chans, p.rate), 1000.0, 5.0);
}

TEST_P(Lossy, SixteenBitRewindAndSeek) {
    const auto& p = GetParam();
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_STREAM_PRESCAN));
    ASSERT_TRUE(s);
    const auto first = basstest::ReadAll(s.get());
    EXPECT_EQ(BASS_ChannelGetLength(s.get(), BASS_POS_BYTE), first.size());
    ASSERT_TRUE(BASS_ChannelSetPosition(s.get(), 0, BASS_POS_BYTE));
    EXPECT_EQ(Md5Hex(basstest::ReadAll(s.get())), Md5Hex(first));

    // A position in the middle gives the same samples as reading through (within a sample step: a
    // decoder may restart its filter banks slightly differently after a seek).
    const QWORD frame = static_cast<QWORD>(p.rate) / 2 + 17;
    const QWORD at = frame * p.chans * 2;
    ASSERT_TRUE(BASS_ChannelSetPosition(s.get(), at, BASS_POS_BYTE));
    const auto tail = basstest::AsInt16(basstest::ReadAll(s.get()));
    const auto all = basstest::AsInt16(first);
    ASSERT_EQ(tail.size(), all.size() - at / 2);
    int worst = 0;
    for (size_t i = 0; i < tail.size(); ++i) worst = std::max(worst, std::abs(tail[i] - all[i + at / 2]));
    EXPECT_LE(worst, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, Lossy,
    testing::Values(
        LossyCase{"mp3", "a.mp3", "-c:a libmp3lame -b:a 128k", BASS_CTYPE_STREAM_MP3, 44100, 2},
        LossyCase{"mp3_mono_22k", "b.mp3", "-c:a libmp3lame -q:a 4", BASS_CTYPE_STREAM_MP3, 22050, 1},
        LossyCase{"mp2", "c.mp2", "-c:a mp2 -b:a 192k", BASS_CTYPE_STREAM_MP2, 48000, 2},
        LossyCase{"vorbis", "d.ogg", "-c:a libvorbis -q:a 4", BASS_CTYPE_STREAM_OGG, 44100, 2},
        LossyCase{"vorbis_mono", "e.ogg", "-c:a libvorbis -q:a 2", BASS_CTYPE_STREAM_OGG, 32000, 1}),
    [](const testing::TestParamInfo<LossyCase>& info) { return std::string(info.param.name); });

TEST(Vorbis, CommentsComeAsKeyValueBlock) {
    TempDir dir;
    const auto path = basstest::EncodeSine(dir.path(), "t.ogg", 44100, 2, 0.3, 440,
                                           "-c:a libvorbis -metadata title='Grüße' -metadata artist=Someone");
    Channel s(basstest::OpenFile(path, BASS_STREAM_DECODE));
    ASSERT_TRUE(s);
    const char* block = BASS_ChannelGetTags(s.get(), BASS_TAG_OGG);
    ASSERT_NE(block, nullptr);
    std::vector<std::string> entries;
    for (const char* p = block; *p; p += std::strlen(p) + 1) {
        std::string e = p;
        const auto eq = e.find('=');
        for (size_t i = 0; i < eq && i < e.size(); ++i) e[i] = static_cast<char>(std::tolower(e[i]));
        entries.push_back(e);
    }
    EXPECT_NE(std::find(entries.begin(), entries.end(), "title=Grüße"), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "artist=Someone"), entries.end());
    EXPECT_EQ(BASS_ChannelGetTags(s.get(), BASS_TAG_MP4), nullptr);
}

TEST(Vorbis, NoCommentsNoBlockAndOtherFormatsHaveNone) {
    TempDir dir;
    // FFmpeg always writes an encoder comment; SoX with an empty comment writes none.
    const auto ogg = dir / "bare.ogg";
    ASSERT_EQ(
        RunCommand("sox -n -r 44100 -c 1 --comment '' " + ShellQuote(ogg.string()) + " synth 0.3 sine 440")
            .status,
        0);
    Channel s(basstest::OpenFile(ogg, BASS_STREAM_DECODE));
    ASSERT_TRUE(s);
    EXPECT_EQ(BASS_ChannelGetTags(s.get(), BASS_TAG_OGG), nullptr);

    const auto mp3 =
        basstest::EncodeSine(dir.path(), "t.mp3", 44100, 1, 0.3, 440, "-c:a libmp3lame -metadata title=X");
    Channel m(basstest::OpenFile(mp3, BASS_STREAM_DECODE));
    ASSERT_TRUE(m);
    EXPECT_EQ(BASS_ChannelGetTags(m.get(), BASS_TAG_OGG), nullptr);
    EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
}

// Other Ogg codecs (here Opus) and headerless containers are not the built-ins' to take.
TEST(Probing, LeavesOtherFormatsAlone) {
    TempDir dir;
    for (const auto& [name, args] :
         std::vector<std::pair<std::string, std::string>>{{"x.opus", "-c:a libopus"},
                                                          {"x.flac", "-c:a flac"},
                                                          {"x.aac", "-c:a aac -f adts"},
                                                          {"x.w64", "-c:a pcm_s16le"}}) {
        const auto path = basstest::EncodeSine(dir.path(), name, 48000, 2, 0.3, 440, args);
        EXPECT_EQ(basstest::OpenFile(path, BASS_STREAM_DECODE), 0u) << name;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << name;
    }
}

}  // namespace

namespace {

// Vorbis keeps surround channels in its own order; the stream must give them in WAV order, as FFmpeg
// does. The fixture's channels differ in phase, so a swapped pair shows.
TEST(Vorbis, SurroundChannelsComeInWaveOrder) {
    TempDir dir;
    const PcmSpec spec{48000, 6, SampleKind::S16};
    WriteBytes(dir / "in.wav", WavFile(spec, SinePcm(spec, 24000, 500.0)));
    const auto ogg = dir / "six.ogg";
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote((dir / "in.wav").string()) +
                         " -c:a libvorbis -q:a 6 " + ShellQuote(ogg.string()))
                  .status,
              0);
    Channel s(basstest::OpenFile(ogg, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
    ASSERT_TRUE(s);
    const auto got = basstest::AsFloats(basstest::ReadAll(s.get()));
    // The granule positions give the source's exact length; FFmpeg keeps a few padding frames at the
    // end of this file, so only the common part is compared.
    const auto want = basstest::AsFloats(FfmpegDecode(ogg, "f32le"));
    ASSERT_EQ(got.size(), 24000u * 6);
    ASSERT_GE(want.size(), got.size());
    double worst = 0;
    for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::fabs(double(got[i]) - want[i]));
    EXPECT_LT(worst, 1e-3);
}

}  // namespace
