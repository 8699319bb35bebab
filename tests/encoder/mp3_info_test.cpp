// The MP3 information frame past its 32-bit counts: fed counts rather than days of audio, the frame drops
// the count that does not fit (never wraps it), keeps every other field and LAME's delay and padding, and
// carries a CRC that matches LAME's own method; FFmpeg then estimates the length of such a file.
#include <gtest/gtest.h>

#include <cmath>

#include "encoder_test_support.h"
#include "mp3_frames.h"
#include "encoder/mp3_info.h"
#include "encoder/writers.h"

namespace {

using testsupport::TempDir;

constexpr uint64_t kPast32 = uint64_t{1} << 32;

uint32_t Be32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
           bytes[at + 3];
}

// Offsets inside a first frame as the independent reader finds them.
struct Layout {
    size_t xing = 0;
    uint32_t flags = 0;
    size_t toc = 0;  // 0 without a table
    size_t lame = 0;
};

Layout Find(const std::vector<uint8_t>& frame, const Mp3Frame& header) {
    Layout l;
    const bool mono = header.mode == 3;
    // Behind the side information, as if there were no CRC (LAME's placement, where readers look).
    l.xing = 4 + (header.version == 10 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    l.flags = Be32(frame, l.xing + 4);
    size_t at = l.xing + 8 + (l.flags & 1 ? 4 : 0) + (l.flags & 2 ? 4 : 0);
    if (l.flags & 4) l.toc = at, at += 100;
    if (l.flags & 8) at += 4;
    l.lame = at;
    return l;
}

struct Case {
    const char* name;
    bool vbr;
    int rate;  // mp3srate index: 0 same as the source, 8 = 11025 Hz (MPEG-2.5)
    int mode;  // mp3mode: 0 same, 4 mono
    bool crc;
};

class Mp3InfoFrame : public testing::TestWithParam<Case> {};

TEST_P(Mp3InfoFrame, CountsPast32BitsAreLeftOutNotWrapped) {
    const Case& c = GetParam();
    ConfigGuard guard;
    Config.mp3vbr = c.vbr;
    Config.mp3srate = c.rate;
    Config.mp3mode = c.mode;
    Config.mp3crc = c.crc;
    TempDir dir;
    std::string name;
    {
        auto writer =
            MP3writerClass.Create((dir / "out.mp3").string(), MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
        const testsupport::PcmSpec spec{static_cast<int>(writer->InputFormat().nSamplesPerSec),
                                        writer->InputFormat().nChannels, testsupport::SampleKind::S16};
        const auto pcm = testsupport::SinePcm(spec, spec.rate * 2);
        writer->Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
        name = writer->GetFileName();
    }
    std::vector<uint8_t> file = testsupport::ReadBytes(name);
    const std::vector<Mp3Frame> frames = Mp3Frames(file);
    ASSERT_GT(frames.size(), 10u);
    const Mp3Frame& first = frames.front();
    ASSERT_EQ(first.crc, c.crc);
    const std::vector<uint8_t> original(file.begin(), file.begin() + static_cast<long>(first.length));
    const Layout before = Find(original, first);
    ASSERT_EQ(before.flags & 3, 3u) << "LAME writes both counts";
    ASSERT_EQ(std::memcmp(&original[before.lame], "LAME", 4), 0);
    // The CRC method agrees with LAME's on the frame LAME made.
    EXPECT_EQ(InfoFrameCrc(original.data(), before.lame + 34),
              original[before.lame + 34] << 8 | original[before.lame + 35]);
    const auto info = ReadInfoFrame(original, first);
    ASSERT_TRUE(info && info->frames);
    EXPECT_EQ(*info->frames, frames.size() - 1);

    // Counts that fit leave the frame as it is.
    std::vector<uint8_t> frame = original;
    EXPECT_TRUE(FitInfoFrame(frame.data(), frame.size(), 0xFFFFFFFF, 0xFFFFFFFF));
    EXPECT_TRUE(frame == original);

    struct Past {
        uint64_t frames, bytes;
        uint32_t flagsLeft;
    };
    for (const Past& past : {Past{frames.size(), kPast32 + 5, 0xFFFFFFFD & before.flags},
                             Past{kPast32, 1000, 0xFFFFFFFE & before.flags},
                             Past{kPast32 + 1, kPast32 * 3, 0xFFFFFFFC & before.flags}}) {
        SCOPED_TRACE(std::to_string(past.frames) + " frames, " + std::to_string(past.bytes) + " bytes");
        frame = original;
        ASSERT_TRUE(FitInfoFrame(frame.data(), frame.size(), past.frames, past.bytes));
        const Layout after = Find(frame, first);
        EXPECT_EQ(after.flags, past.flagsLeft);
        if (after.flags & 1) {
            EXPECT_EQ(Be32(frame, after.xing + 8), *info->frames);
        }
        ASSERT_NE(after.toc, 0u);
        EXPECT_TRUE(std::equal(frame.begin() + static_cast<long>(after.toc),
                               frame.begin() + static_cast<long>(after.toc) + 100,
                               original.begin() + static_cast<long>(before.toc)));
        const auto fitted = ReadInfoFrame(frame, first);
        ASSERT_TRUE(fitted && fitted->lame);
        EXPECT_EQ(fitted->delay, info->delay);
        EXPECT_EQ(fitted->padding, info->padding);
        // The extension's bytes up to its music length are LAME's; the length goes with the byte count.
        EXPECT_TRUE(std::equal(frame.begin() + static_cast<long>(after.lame),
                               frame.begin() + static_cast<long>(after.lame) + 28,
                               original.begin() + static_cast<long>(before.lame)));
        EXPECT_EQ(Be32(frame, after.lame + 28),
                  past.bytes > 0xFFFFFFFF ? 0u : Be32(original, before.lame + 28));
        EXPECT_EQ(InfoFrameCrc(frame.data(), after.lame + 34),
                  frame[after.lame + 34] << 8 | frame[after.lame + 35]);
        EXPECT_TRUE(std::all_of(frame.begin() + static_cast<long>(after.lame) + 36, frame.end(),
                                [](uint8_t b) { return b == 0; }));
    }

    // Without its frame count a constant-rate file is measured by FFmpeg from its size: close to the truth,
    // where a wrapped count would have given any length at all. Every frame still decodes.
    if (!c.vbr) {
        frame = original;
        ASSERT_TRUE(FitInfoFrame(frame.data(), frame.size(), kPast32, kPast32));
        std::copy(frame.begin(), frame.end(), file.begin());
        const auto fittedFile = dir / "fitted.mp3";
        testsupport::WriteBytes(fittedFile, file);
        const double truth =
            static_cast<double>(frames.size() - 1) * (first.version == 10 ? 1152 : 576) / first.sampleRate;
        const double measured = std::stod(ProbeStream(fittedFile)["duration"]);
        EXPECT_NEAR(measured, truth, 0.1);
        EXPECT_GE(testsupport::FfmpegDecode(fittedFile, "s16le").size(),
                  testsupport::FfmpegDecode(name, "s16le").size());
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, Mp3InfoFrame,
                         testing::Values(Case{"Cbr44100Stereo", false, 0, 0, false},
                                         Case{"Cbr11025MonoCrc", false, 8, 4, true},
                                         Case{"Vbr44100Stereo", true, 0, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A frame that is not an information frame is refused and left alone.
TEST(Mp3InfoFrameBytes, OtherFramesAreLeftAlone) {
    std::vector<uint8_t> frame(417, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = 0x90;
    const std::vector<uint8_t> copy = frame;
    EXPECT_FALSE(FitInfoFrame(frame.data(), frame.size(), kPast32, kPast32));
    EXPECT_TRUE(frame == copy);
}

}  // namespace
