// WAV and AIFF through the built-in decoder: every depth and layout must decode to exactly what FFmpeg
// decodes, with exact lengths and the input's properties in the channel info.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/audio_fixtures.h"
#include "test_util.h"

using namespace testsupport;
using basstest::Channel;

namespace {

enum class Container { Wav, Aiff };

struct PcmCase {
    Container container;
    SampleKind kind;
    int channels;
};

std::string Name(const testing::TestParamInfo<PcmCase>& info) {
    static const char* kinds[] = {"u8", "s16", "s24", "s32", "f32"};
    return std::string(info.param.container == Container::Wav ? "wav_" : "aiff_") +
           kinds[static_cast<int>(info.param.kind)] + "_" + std::to_string(info.param.channels) + "ch";
}

class PcmDecode : public testing::TestWithParam<PcmCase> {
  protected:
    void SetUp() override {
        const auto& p = GetParam();
        spec_ = PcmSpec{p.container == Container::Wav ? 48000 : 44100, p.channels, p.kind};
        const auto pcm = NoisePcm(spec_, kFrames, 7);
        path_ = dir_ / (p.container == Container::Wav ? "in.wav" : "in.aiff");
        WriteBytes(path_, p.container == Container::Wav ? WavFile(spec_, pcm) : AiffFile(spec_, pcm));
    }

    static constexpr int64_t kFrames = 4410 + 7;  // not a multiple of the read size
    TempDir dir_;
    PcmSpec spec_;
    std::filesystem::path path_;
};

TEST_P(PcmDecode, FloatOutputMatchesFfmpegBitForBit) {
    Channel s(basstest::OpenFile(
        path_, BASS_STREAM_DECODE | BASS_STREAM_PRESCAN | BASS_SAMPLE_FLOAT | BASS_UNICODE));
    ASSERT_TRUE(s) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelGetLength(s.get(), BASS_POS_BYTE),
              static_cast<QWORD>(kFrames * spec_.channels * 4));
    const auto got = basstest::ReadAll(s.get());
    const auto want = FfmpegDecode(path_, "f32le");
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(Md5Hex(got), Md5Hex(want));
    EXPECT_EQ(BASS_ChannelIsActive(s.get()), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    uint8_t block[8192];
    EXPECT_EQ(BASS_ChannelGetData(s.get(), block, sizeof block), static_cast<DWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
}

TEST_P(PcmDecode, SixteenBitOutputHasExactLengthAndKeepsSixteenBitInputs) {
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_STREAM_PRESCAN));
    ASSERT_TRUE(s);
    EXPECT_EQ(BASS_ChannelGetLength(s.get(), BASS_POS_BYTE),
              static_cast<QWORD>(kFrames * spec_.channels * 2));
    const auto got = basstest::ReadAll(s.get());
    EXPECT_EQ(got.size(), static_cast<size_t>(kFrames * spec_.channels * 2));
    if (spec_.kind == SampleKind::S16) {
        EXPECT_EQ(Md5Hex(got), Md5Hex(FfmpegDecode(path_, "s16le")));
    }
}

// 32-bit integer streams carry integer inputs at full scale exactly as FFmpeg decodes them to s32; float
// inputs refuse them.
TEST_P(PcmDecode, IntegerOutputIsTheStoredSamplesAtFullScale) {
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_STREAM_PRESCAN | BASS_SAMPLE_FLOAT |
                                            BASS_SAMPLE_INT32 | BASS_UNICODE));
    if (spec_.kind == SampleKind::F32) {
        EXPECT_FALSE(s);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
        return;
    }
    ASSERT_TRUE(s) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelGetLength(s.get(), BASS_POS_BYTE),
              static_cast<QWORD>(kFrames * spec_.channels * 4));
    const auto got = basstest::ReadAll(s.get());
    EXPECT_EQ(Md5Hex(got), Md5Hex(FfmpegDecode(path_, "s32le")));
}

TEST_P(PcmDecode, InfoDescribesTheInput) {
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
    ASSERT_TRUE(s);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s.get(), &info));
    EXPECT_EQ(info.freq, static_cast<DWORD>(spec_.rate));
    EXPECT_EQ(info.chans, static_cast<DWORD>(spec_.channels));
    EXPECT_EQ(info.plugin, 0u);
    EXPECT_TRUE(info.flags & BASS_SAMPLE_FLOAT);
    ASSERT_NE(info.filename, nullptr);
    EXPECT_EQ(std::string(info.filename), path_.string());
    const bool isFloat = spec_.kind == SampleKind::F32;
    const DWORD bits = BytesPerSample(spec_.kind) * 8;
    EXPECT_EQ(info.origres, isFloat ? (32u | BASS_ORIGRES_FLOAT) : bits);
    if (GetParam().container == Container::Aiff) {
        EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_STREAM_AIFF));
    } else {
        EXPECT_EQ(info.ctype,
                  static_cast<DWORD>(isFloat ? BASS_CTYPE_STREAM_WAV_FLOAT : BASS_CTYPE_STREAM_WAV_PCM));
    }
    float rate = 0;
    ASSERT_TRUE(BASS_ChannelGetAttribute(s.get(), BASS_ATTRIB_FREQ, &rate));
    EXPECT_EQ(rate, static_cast<float>(spec_.rate));
}

TEST_P(PcmDecode, RewindAndSeekLandOnExactFrames) {
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
    ASSERT_TRUE(s);
    const auto first = basstest::ReadAll(s.get());
    ASSERT_TRUE(BASS_ChannelSetPosition(s.get(), 0, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelIsActive(s.get()), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(BASS_ChannelGetPosition(s.get(), BASS_POS_BYTE), 0u);
    EXPECT_EQ(Md5Hex(basstest::ReadAll(s.get())), Md5Hex(first));
    EXPECT_EQ(BASS_ChannelGetPosition(s.get(), BASS_POS_BYTE), first.size());

    const QWORD frameBytes = spec_.channels * 4;
    const QWORD mid = 1234 * frameBytes;
    ASSERT_TRUE(BASS_ChannelSetPosition(s.get(), mid, BASS_POS_BYTE));
    const auto tail = basstest::ReadAll(s.get());
    ASSERT_EQ(tail.size(), first.size() - mid);
    EXPECT_EQ(0, std::memcmp(tail.data(), first.data() + mid, tail.size()));
    EXPECT_FALSE(BASS_ChannelSetPosition(s.get(), first.size() + frameBytes, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
}

std::vector<PcmCase> Cases() {
    std::vector<PcmCase> v;
    for (Container c : {Container::Wav, Container::Aiff}) {
        for (SampleKind k :
             {SampleKind::U8, SampleKind::S16, SampleKind::S24, SampleKind::S32, SampleKind::F32}) {
            if (c == Container::Aiff && k == SampleKind::F32)
                continue;  // the fixture writes integer AIFF only
            for (int ch : {1, 2, 6}) v.push_back({c, k, ch});
        }
    }
    return v;
}

INSTANTIATE_TEST_SUITE_P(Formats, PcmDecode, testing::ValuesIn(Cases()), Name);

// A 16-bit stream from a deeper input rounds to nearest and clips, the same rule as the host table's
// entry 25, checked here against the float stream of the same file.
TEST(PcmConversion, SixteenBitStreamIsTheRoundedFloatStream) {
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S24};
    WriteBytes(dir / "a.wav", WavFile(spec, NoisePcm(spec, 3000, 3)));
    Channel f(basstest::OpenFile(dir / "a.wav", BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
    Channel i(basstest::OpenFile(dir / "a.wav", BASS_STREAM_DECODE));
    ASSERT_TRUE(f && i);
    const auto floats = basstest::AsFloats(basstest::ReadAll(f.get()));
    const auto ints = basstest::AsInt16(basstest::ReadAll(i.get()));
    ASSERT_EQ(floats.size(), ints.size());
    size_t bad = 0;
    for (size_t k = 0; k < floats.size(); ++k) {
        double want = std::nearbyint(static_cast<double>(floats[k]) * 32768.0);
        want = want > 32767 ? 32767 : (want < -32768 ? -32768 : want);
        if (ints[k] != static_cast<int16_t>(want)) ++bad;
    }
    EXPECT_EQ(bad, 0u);
}

}  // namespace

namespace {

// 8-bit output from 8-bit input gives back the file's bytes: (b - 128) / 128 and entry 25's rule are
// exact inverses.
TEST(PcmConversion, EightBitStreamOfEightBitInputIsTheInput) {
    TempDir dir;
    const PcmSpec spec{11025, 2, SampleKind::U8};
    const auto pcm = NoisePcm(spec, 5000, 4);
    WriteBytes(dir / "u8.wav", WavFile(spec, pcm));
    Channel s(basstest::OpenFile(dir / "u8.wav", BASS_STREAM_DECODE | BASS_SAMPLE_8BITS));
    ASSERT_TRUE(s);
    EXPECT_EQ(BASS_ChannelGetLength(s.get(), BASS_POS_BYTE), pcm.size());
    EXPECT_EQ(basstest::ReadAll(s.get()), pcm);
}

// A file section (offset and length) and a memory block decode like the file on its own.
TEST(PcmInput, SectionsOfFilesAndMemoryBlocks) {
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const auto wav = WavFile(spec, NoisePcm(spec, 3000, 8));
    WriteBytes(dir / "alone.wav", wav);
    std::vector<uint8_t> wrapped(777, 0xAA);
    wrapped.insert(wrapped.end(), wav.begin(), wav.end());
    wrapped.resize(wrapped.size() + 333, 0xBB);
    WriteBytes(dir / "wrapped.bin", wrapped);

    Channel alone(basstest::OpenFile(dir / "alone.wav", BASS_STREAM_DECODE));
    Channel section(
        BASS_StreamCreateFile(FALSE, (dir / "wrapped.bin").c_str(), 777, wav.size(), BASS_STREAM_DECODE));
    Channel memory(BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), BASS_STREAM_DECODE));
    ASSERT_TRUE(alone && section && memory);
    const auto want = basstest::ReadAll(alone.get());
    EXPECT_EQ(want.size(), 3000u * 4);
    EXPECT_EQ(basstest::ReadAll(section.get()), want);
    EXPECT_EQ(basstest::ReadAll(memory.get()), want);
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(memory.get(), &info);
    EXPECT_EQ(info.filename, nullptr);
}

// Callers may pass a buffer at any byte offset; the samples must arrive unchanged (and without misaligned
// stores, which the sanitizers would stop).
TEST(PcmInput, UnalignedBuffersGetTheSameBytes) {
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S24};
    WriteBytes(dir / "a.wav", WavFile(spec, NoisePcm(spec, 2000, 6)));
    for (DWORD flags : {DWORD(BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT), DWORD(BASS_STREAM_DECODE)}) {
        Channel aligned(basstest::OpenFile(dir / "a.wav", flags));
        Channel odd(basstest::OpenFile(dir / "a.wav", flags));
        ASSERT_TRUE(aligned && odd);
        const auto want = basstest::ReadAll(aligned.get());
        std::vector<uint8_t> got;
        std::vector<uint8_t> block(4096 + 1);
        for (;;) {
            const DWORD n = BASS_ChannelGetData(odd.get(), block.data() + 1, 4096);
            if (n == static_cast<DWORD>(-1)) break;
            got.insert(got.end(), block.begin() + 1, block.begin() + 1 + n);
        }
        EXPECT_EQ(got, want) << "flags " << flags;
    }
}

}  // namespace
