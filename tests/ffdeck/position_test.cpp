// Length and positioning through the host: refusing positions at or past the value count, seeking to
// 10 seconds, the length once the end is reached, and the prescan against FFmpeg's bit-rate estimate.
#include <gtest/gtest.h>

#include <algorithm>

extern "C" {
#include <libavformat/avformat.h>
}

#include "ffdeck_fixtures.h"

using namespace ffdecktest;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

constexpr DWORD kNoPrescanFloat = 0x80200100;

class Position : public testing::Test {
  protected:
    void SetUp() override { EnsureHost(); }

    std::filesystem::path Make(const std::string& name, const std::string& args, int seconds) {
        PcmSpec spec{44100, 2, SampleKind::S16};
        auto wav = MakeNoiseWav(dir_ / "src.wav", spec, int64_t{44100} * seconds);
        auto file = dir_ / name;
        FfmpegConvert(wav, args, file);
        return file;
    }

    testsupport::TempDir dir_;
};

TEST_F(Position, RefusesTheValueCountAndAcceptsOneValueEarlier) {
    auto file = Make("p.w64", "-c:a pcm_s16le", 2);
    const QWORD values = 44100 * 2 * 2;
    for (auto [flags, bytesPerValue] : {std::pair{kFloatFlags, 4u}, std::pair{kShortFlags, 2u}}) {
        HSTREAM h = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, flags);
        ASSERT_NE(h, 0u);
        EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), values * bytesPerValue);
        EXPECT_FALSE(BASS_ChannelSetPosition(h, values * bytesPerValue, BASS_POS_BYTE));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
        EXPECT_TRUE(BASS_ChannelSetPosition(h, (values - 1) * bytesPerValue, BASS_POS_BYTE));
        // The seek lands on the frame holding that value: the last stereo frame is all that is left.
        EXPECT_EQ(ReadAll(h).size(), 2 * bytesPerValue);
        // Lengths and positions in other units are not available.
        EXPECT_EQ(BASS_ChannelGetLength(h, 1), static_cast<QWORD>(-1));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
        EXPECT_FALSE(BASS_ChannelSetPosition(h, 0, 1));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
        BASS_StreamFree(h);
    }
}

TEST_F(Position, SeekToTenSecondsOfPcmContinuesExactlyThere) {
    auto file = Make("s.w64", "-c:a pcm_s16le", 12);
    for (auto [flags, format, bytesPerValue] :
         {std::tuple{kFloatFlags, "f32le", QWORD{4}}, std::tuple{kShortFlags, "s16le", QWORD{2}}}) {
        SCOPED_TRACE(format);
        auto full = testsupport::FfmpegDecode(file, format);
        const QWORD at = 10 * 44100 * 2 * bytesPerValue;
        HSTREAM h = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, flags);
        ASSERT_NE(h, 0u);
        std::vector<uint8_t> head(4096);
        ASSERT_EQ(BASS_ChannelGetData(h, head.data(), 4096), 4096u);
        ASSERT_TRUE(BASS_ChannelSetPosition(h, at, BASS_POS_BYTE));
        auto rest = ReadAll(h);
        ASSERT_EQ(rest.size(), full.size() - at);
        EXPECT_TRUE(std::equal(rest.begin(), rest.end(), full.begin() + at));
        BASS_StreamFree(h);
    }
}

TEST_F(Position, SeekInFlacLandsOnTheFrameFfmpegFinds) {
    auto file = Make("s.flac", "-c:a flac", 12);
    auto full = testsupport::FfmpegDecode(file, "f32le");
    const size_t at = 10 * 44100 * 2 * 4;
    HSTREAM h = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, kFloatFlags);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(BASS_ChannelSetPosition(h, at, BASS_POS_BYTE));
    auto rest = ReadAll(h);
    ASSERT_GT(rest.size(), 65536u);
    // Noise makes any 64-byte run unique: find where the data resumed, within one block of 10 s.
    auto found = std::search(full.begin(), full.end(), rest.begin(), rest.begin() + 64);
    ASSERT_NE(found, full.end());
    size_t offset = found - full.begin();
    EXPECT_LE(offset > at ? offset - at : at - offset, size_t{4608} * 2 * 4);
    EXPECT_EQ(offset % 8, 0u);
    ASSERT_EQ(rest.size(), full.size() - offset);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), full.begin() + offset));
    BASS_StreamFree(h);
}

// FFmpeg's own view of an ADTS file: the duration it estimates and the sum of its packet durations, both
// as sample values.
struct AdtsFacts {
    int64_t estimatedValues = -1;
    int64_t packetValues = 0;
    bool estimatedFromBitrate = false;
};

AdtsFacts ProbeAdts(const std::filesystem::path& file) {
    AdtsFacts facts;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, file.c_str(), nullptr, nullptr) < 0) return facts;
    avformat_find_stream_info(context, nullptr);
    AVStream* st = context->streams[0];
    const int64_t perSecond = int64_t{st->codecpar->sample_rate} * st->codecpar->ch_layout.nb_channels;
    facts.estimatedFromBitrate = context->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    facts.estimatedValues = av_rescale(st->duration * st->time_base.num, perSecond, st->time_base.den);
    av_seek_frame(context, -1, 0, AVSEEK_FLAG_BACKWARD);
    AVPacket* packet = av_packet_alloc();
    int64_t sum = 0;
    while (av_read_frame(context, packet) >= 0) {
        sum += packet->duration;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    facts.packetValues = av_rescale(sum * st->time_base.num, perSecond, st->time_base.den);
    avformat_close_input(&context);
    return facts;
}

TEST_F(Position, PrescanSumsPacketsWhereFfmpegEstimatesFromTheBitRate) {
    auto file = Make("b.aac", "-c:a aac -b:a 160k", 20);
    AdtsFacts facts = ProbeAdts(file);
    ASSERT_TRUE(facts.estimatedFromBitrate);
    ASSERT_NE(facts.estimatedValues, facts.packetValues) << "the file does not tell the two apart";

    HSTREAM plain = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, kNoPrescanFloat);
    HSTREAM scanned = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, kFloatFlags);
    ASSERT_NE(plain, 0u);
    ASSERT_NE(scanned, 0u);
    EXPECT_EQ(BASS_ChannelGetLength(plain, BASS_POS_BYTE), static_cast<QWORD>(facts.estimatedValues) * 4);
    EXPECT_EQ(BASS_ChannelGetLength(scanned, BASS_POS_BYTE), static_cast<QWORD>(facts.packetValues) * 4);

    // The scan leaves the stream where it was: everything from the start is still delivered.
    auto decoded = testsupport::FfmpegDecode(file, "f32le");
    auto all = ReadAll(scanned);
    EXPECT_TRUE(all == decoded);
    // Once the end is reached the length is what was delivered, estimate or not.
    EXPECT_EQ(ReadAll(plain).size(), all.size());
    EXPECT_EQ(BASS_ChannelGetLength(plain, BASS_POS_BYTE), all.size());
    BASS_StreamFree(plain);
    BASS_StreamFree(scanned);
}

TEST_F(Position, LengthAskedMidStreamDoesNotRestartTheData) {
    auto file = Make("m.aac", "-c:a aac -b:a 160k", 6);
    auto decoded = testsupport::FfmpegDecode(file, "f32le");
    HSTREAM h = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, kFloatFlags);
    ASSERT_NE(h, 0u);
    std::vector<uint8_t> head(1 << 16);
    ASSERT_EQ(BASS_ChannelGetData(h, head.data(), head.size()), head.size());
    EXPECT_GT(BASS_ChannelGetLength(h, BASS_POS_BYTE), head.size());
    auto rest = ReadAll(h);
    // The scan moved the demuxer; reading resumes near where it stood, never from the start again.
    EXPECT_LT(head.size() + rest.size(), decoded.size() + 4 * 8192);
    EXPECT_GT(head.size() + rest.size(), decoded.size() - 4 * 8192);
    BASS_StreamFree(h);
}

}  // namespace
