// Tracker modules through BASS_MusicLoad: a four-channel ProTracker module written byte by byte renders
// at the requested rate, with an exact length, a rewind that repeats it, and its type in the info.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/audio_fixtures.h"
#include "test_util.h"

using namespace testsupport;
using basstest::Channel;

namespace {

// One 64-byte looping square-wave sample played on channel 1 at C-3; a pattern break on row 15 ends the
// song after 16 rows (16 rows x 6 ticks x 20 ms = 1.92 s at the default speed and tempo).
std::vector<uint8_t> TinyMod() {
    std::vector<uint8_t> m;
    auto put = [&](const std::string& s, size_t n) {
        for (size_t i = 0; i < n; ++i) m.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    };
    auto put16be = [&](int v) {
        m.push_back(static_cast<uint8_t>(v >> 8));
        m.push_back(static_cast<uint8_t>(v & 0xff));
    };
    put("wavetrove test", 20);
    for (int s = 0; s < 31; ++s) {
        put(s == 0 ? "square" : "", 22);
        put16be(s == 0 ? 32 : 0);  // length in words
        m.push_back(0);            // finetune
        m.push_back(s == 0 ? 64 : 0);
        put16be(0);                // loop start
        put16be(s == 0 ? 32 : 1);  // loop length (1 = none)
    }
    m.push_back(1);    // song length
    m.push_back(127);  // restart
    for (int i = 0; i < 128; ++i) m.push_back(0);
    put("M.K.", 4);
    std::vector<uint8_t> pattern(64 * 4 * 4, 0);
    auto cell = [&](int row, int ch, int sample, int period, int effect, int param) {
        uint8_t* c = &pattern[(row * 4 + ch) * 4];
        c[0] = static_cast<uint8_t>((sample & 0xF0) | (period >> 8));
        c[1] = static_cast<uint8_t>(period & 0xFF);
        c[2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | effect);
        c[3] = static_cast<uint8_t>(param);
    };
    cell(0, 0, 1, 214, 0, 0);
    cell(8, 1, 1, 170, 0, 0);
    cell(15, 0, 0, 0, 0xD, 0);
    m.insert(m.end(), pattern.begin(), pattern.end());
    for (int i = 0; i < 64; ++i) m.push_back(i < 32 ? 0x40 : 0xC0);
    return m;
}

constexpr DWORD kFlags = BASS_UNICODE | BASS_MUSIC_DECODE | BASS_MUSIC_PRESCAN;

class Module : public testing::Test {
  protected:
    void SetUp() override {
        bytes_ = TinyMod();
        path_ = dir_ / "tiny.mod";
        WriteBytes(path_, bytes_);
    }
    HMUSIC Load(DWORD flags, DWORD freq) { return BASS_MusicLoad(FALSE, path_.c_str(), 0, 0, flags, freq); }

    TempDir dir_;
    std::vector<uint8_t> bytes_;
    std::filesystem::path path_;
};

TEST_F(Module, RendersStereoWithExactLengthAndType) {
    Channel m(Load(kFlags, 0), true);
    ASSERT_TRUE(m) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(m.get(), &info));
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_MUSIC_MOD));
    float rate = 0;
    ASSERT_TRUE(BASS_ChannelGetAttribute(m.get(), BASS_ATTRIB_FREQ, &rate));
    EXPECT_EQ(rate, 44100.0f);  // the rate of BASS_Init, or 44100 without it
    const QWORD length = BASS_ChannelGetLength(m.get(), BASS_POS_BYTE);
    const auto pcm = basstest::ReadAll(m.get());
    EXPECT_EQ(length, pcm.size());
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(m.get(), length), 1.92, 0.05);
    EXPECT_EQ(BASS_ChannelIsActive(m.get()), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    const auto samples = basstest::AsInt16(pcm);
    EXPECT_GT(*std::max_element(samples.begin(), samples.end()), 1000);  // not silence

    // Without the prescan flag the length is libopenmpt's estimate, close to the rendered one.
    Channel quick(Load(BASS_MUSIC_DECODE, 0), true);
    ASSERT_TRUE(quick);
    EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLength(quick.get(), BASS_POS_BYTE)),
                static_cast<double>(length), length * 0.01);
}

TEST_F(Module, RateComesFromTheCallOrFromInit) {
    Channel half(Load(kFlags, 22050), true);
    ASSERT_TRUE(half);
    float rate = 0;
    BASS_ChannelGetAttribute(half.get(), BASS_ATTRIB_FREQ, &rate);
    EXPECT_EQ(rate, 22050.0f);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(half.get(), BASS_ChannelGetLength(half.get(), BASS_POS_BYTE)), 1.92,
                0.05);

    BASS_Free();
    ASSERT_TRUE(BASS_Init(0, 48000, 0, nullptr, nullptr));
    {
        Channel m(Load(kFlags, 0), true);
        BASS_ChannelGetAttribute(m.get(), BASS_ATTRIB_FREQ, &rate);
        EXPECT_EQ(rate, 48000.0f);
    }
    BASS_Free();
}

TEST_F(Module, RewindRepeatsAndFloatMatchesSixteenBit) {
    Channel f(Load(kFlags | BASS_SAMPLE_FLOAT, 0), true);
    Channel i(BASS_MusicLoad(TRUE, bytes_.data(), 0, static_cast<DWORD>(bytes_.size()), kFlags, 0), true);
    ASSERT_TRUE(f && i);
    const auto floats = basstest::AsFloats(basstest::ReadAll(f.get()));
    const auto ints = basstest::AsInt16(basstest::ReadAll(i.get()));
    ASSERT_EQ(floats.size(), ints.size());
    for (size_t k = 0; k < floats.size(); ++k) {
        ASSERT_EQ(ints[k], static_cast<int16_t>(std::clamp(std::lrint(floats[k] * 32768.0), -32768L, 32767L)))
            << "sample " << k;
    }
    ASSERT_TRUE(BASS_ChannelSetPosition(f.get(), 0, BASS_POS_BYTE));
    EXPECT_EQ(basstest::AsFloats(basstest::ReadAll(f.get())), floats);
    const QWORD frame = 30000;
    ASSERT_TRUE(BASS_ChannelSetPosition(f.get(), frame * 8, BASS_POS_BYTE));
    EXPECT_EQ(basstest::AsFloats(basstest::ReadAll(f.get())),
              std::vector<float>(floats.begin() + frame * 2, floats.end()));
}

TEST_F(Module, RefusesNonModulesAndWrongFrees) {
    const std::string text(4000, 'x');
    EXPECT_EQ(BASS_MusicLoad(TRUE, text.data(), 0, static_cast<DWORD>(text.size()), kFlags, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_MusicLoad(FALSE, (dir_ / "missing.mod").c_str(), 0, 0, kFlags, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);

    HMUSIC m = Load(kFlags, 0);
    ASSERT_NE(m, 0u);
    EXPECT_FALSE(BASS_StreamFree(m));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_TRUE(BASS_MusicFree(m));
    EXPECT_FALSE(BASS_MusicFree(m));
}

}  // namespace
