// Library-level behaviour: version, configuration, per-thread error codes, unknown handles, the layout
// of the exported host table and its float-to-integer entry, and independent channels on two threads.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <thread>

#include "support/audio_fixtures.h"
#include "platform/bass/bass_addon.h"
#include "test_util.h"

using namespace testsupport;
using basstest::Channel;

namespace {

TEST(Library, VersionInitAndCddbServer) {
    EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u);
    // Init answers once; a second Init is refused until Free.
    BASS_Free();
    EXPECT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

    std::string server = "cddb.example.org:80/~cddb/cddb.cgi";
    EXPECT_TRUE(BASS_SetConfigPtr(0x80010204, server.c_str()));
    server.assign("overwritten");  // the host keeps its own copy
    EXPECT_STREQ(static_cast<const char*>(BASS_GetConfigPtr(BASS_CONFIG_CD_CDDB_SERVER)),
                 "cddb.example.org:80/~cddb/cddb.cgi");
    EXPECT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_CD_CDDB_SERVER, "other:80/~cddb/cddb.cgi"));
    EXPECT_STREQ(static_cast<const char*>(BASS_GetConfigPtr(0x80010204)), "other:80/~cddb/cddb.cgi");
    EXPECT_FALSE(BASS_SetConfigPtr(0x12345, "x"));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_TRUE(BASS_Free());
}

TEST(Library, ErrorCodesArePerThread) {
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "/nonexistent/file.wav", 0, 0, BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    int other = -2;
    std::thread t([&] {
        BASS_GetVersion();
        other = BASS_ErrorGetCode();
    });
    t.join();
    EXPECT_EQ(other, BASS_OK);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    BASS_GetVersion();
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);  // every successful call clears the error
}

TEST(Library, UnknownHandlesAnswerTheHandleError) {
    const DWORD h = 0x7FFFFFF0;
    BASS_CHANNELINFO info{};
    float value = 0;
    uint8_t buf[16];
    const std::vector<std::function<bool()>> calls = {
        [&] { return BASS_ChannelGetInfo(h, &info) == FALSE; },
        [&] { return BASS_ChannelGetLength(h, BASS_POS_BYTE) == static_cast<QWORD>(-1); },
        [&] { return BASS_ChannelGetPosition(h, BASS_POS_BYTE) == static_cast<QWORD>(-1); },
        [&] { return BASS_ChannelSetPosition(h, 0, BASS_POS_BYTE) == FALSE; },
        [&] { return BASS_ChannelBytes2Seconds(h, 100) < 0; },
        [&] { return BASS_ChannelSeconds2Bytes(h, 1.0) == static_cast<QWORD>(-1); },
        [&] { return BASS_ChannelGetAttribute(h, BASS_ATTRIB_FREQ, &value) == FALSE; },
        [&] { return BASS_ChannelIsActive(h) == BASS_ACTIVE_STOPPED; },
        [&] { return BASS_ChannelGetData(h, buf, sizeof buf) == static_cast<DWORD>(-1); },
        [&] { return BASS_ChannelGetTags(h, BASS_TAG_OGG) == nullptr; },
        [&] { return BASS_StreamFree(h) == FALSE; },
        [&] { return BASS_MusicFree(h) == FALSE; },
    };
    for (size_t i = 0; i < calls.size(); ++i) {
        BASS_GetVersion();
        EXPECT_TRUE(calls[i]()) << "call " << i;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE) << "call " << i;
    }
}

TEST(Library, NoNetwork) {
    EXPECT_EQ(BASS_StreamCreateURL("http://localhost/x.mp3", 0, BASS_STREAM_DECODE, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_EQ(_.OpenURL("http://localhost/x.mp3", 0, 0, nullptr, nullptr, TRUE), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

TEST(HostTable, EntriesSitAtTheirNumbers) {
    const auto* entries = reinterpret_cast<void* const*>(&_);
    for (int n = 0; n < 26; ++n) {
        const bool used =
            n == 0 || n == 2 || (n >= 10 && n <= 14) || n == 16 || (n >= 18 && n <= 20) || n == 25;
        EXPECT_EQ(entries[n] != nullptr, used) << "entry " << n;
    }
    EXPECT_EQ(entries[0], reinterpret_cast<void*>(_.SetError));
    EXPECT_EQ(entries[25], reinterpret_cast<void*>(_.FloatToInt));
    _.SetError(BASS_ERROR_CODEC);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_CODEC);
}

// Host files as add-ons see them: a section of a named file and a memory block, read, positioned and
// sized through entries 10 to 20.
TEST(HostTable, FileEntriesReadSeekAndDescribe) {
    TempDir dir;
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    WriteBytes(dir / "f.bin", bytes);

    BASSFILE named = _.OpenFile(FALSE, (dir / "f.bin").c_str(), 100, 500, 0, TRUE);
    BASSFILE memory = _.OpenFile(TRUE, bytes.data() + 100, 0, 500, 0, TRUE);
    ASSERT_NE(named, nullptr);
    ASSERT_NE(memory, nullptr);
    BOOL unicode = FALSE;
    EXPECT_STREQ(static_cast<const char*>(_.GetFileName(named, &unicode)), (dir / "f.bin").c_str());
    EXPECT_TRUE(unicode);
    EXPECT_EQ(_.GetFileName(memory, &unicode), nullptr);
    for (BASSFILE f : {named, memory}) {
        EXPECT_EQ(_.GetFlags(f), 0u);
        EXPECT_EQ(_.GetPos(f, BASS_FILEPOS_SIZE), 500u);
        uint8_t buf[600];
        EXPECT_EQ(_.Read(f, buf, 10), 10u);
        EXPECT_EQ(buf[0], bytes[100]);
        EXPECT_EQ(_.GetPos(f, BASS_FILEPOS_CURRENT), 10u);
        EXPECT_TRUE(_.Seek(f, 490));
        EXPECT_EQ(_.Read(f, buf, sizeof buf), 10u);  // the section ends at 500
        EXPECT_EQ(buf[9], bytes[599]);
        EXPECT_EQ(_.Read(f, buf, sizeof buf), 0u);
        EXPECT_FALSE(_.Seek(f, 501));
        _.Close(f);
        _.Close(f);  // a second close of the same file is ignored
    }
    EXPECT_EQ(_.OpenFile(FALSE, (dir / "missing").c_str(), 0, 0, 0, TRUE), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

struct Conversion {
    float in;
    int16_t out16;
    uint8_t out8;
};

class FloatToInt : public testing::TestWithParam<Conversion> {};

TEST_P(FloatToInt, RoundsToNearestAndClips) {
    const float src[1] = {GetParam().in};
    int16_t d16 = 0x5555;
    uint8_t d8 = 0x55;
    _.FloatToInt(src, &d16, sizeof src, 2);
    _.FloatToInt(src, &d8, sizeof src, 1);
    EXPECT_EQ(d16, GetParam().out16);
    EXPECT_EQ(d8, GetParam().out8);
}

INSTANTIATE_TEST_SUITE_P(Values, FloatToInt,
                         testing::Values(Conversion{0.0f, 0, 128}, Conversion{0.5f, 16384, 192},
                                         Conversion{-0.5f, -16384, 64}, Conversion{1.0f, 32767, 255},
                                         Conversion{-1.0f, -32768, 0}, Conversion{2.5f, 32767, 255},
                                         Conversion{-7.0f, -32768, 0},
                                         Conversion{1.5f / 32768, 2, 128},  // halves go to even
                                         Conversion{2.5f / 32768, 2, 128}, Conversion{-1.0f / 128, -256, 127},
                                         Conversion{std::numeric_limits<float>::infinity(), 32767, 255},
                                         Conversion{std::numeric_limits<float>::quiet_NaN(), 0, 128}));

TEST(HostTable, FloatToIntConvertsWholeBlocks) {
    std::vector<float> src(1001);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<float>(i) / 1024.0f - 0.5f;
    std::vector<int16_t> dst(src.size() + 1, 0x7777);
    _.FloatToInt(src.data(), dst.data(), static_cast<DWORD>(src.size() * 4), 2);
    for (size_t i = 0; i < src.size(); ++i)
        ASSERT_EQ(dst[i], static_cast<int16_t>(std::lrint(src[i] * 32768.0)));
    EXPECT_EQ(dst.back(), 0x7777);  // nothing written past the block
}

TEST(Channels, TwoStreamsDecodeOnTwoThreadsAsAlone) {
    TempDir dir;
    const PcmSpec spec{44100, 2, SampleKind::S24};
    WriteBytes(dir / "a.wav", WavFile(spec, NoisePcm(spec, 200000, 1)));
    WriteBytes(dir / "b.wav", WavFile(spec, NoisePcm(spec, 150000, 2)));
    std::string alone[2], together[2];
    for (int i = 0; i < 2; ++i) {
        Channel s(basstest::OpenFile(dir / (i ? "b.wav" : "a.wav"), BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
        alone[i] = Md5Hex(basstest::ReadAll(s.get()));
    }
    std::thread threads[2];
    for (int i = 0; i < 2; ++i) {
        threads[i] = std::thread([&, i] {
            Channel s(
                basstest::OpenFile(dir / (i ? "b.wav" : "a.wav"), BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
            together[i] = Md5Hex(basstest::ReadAll(s.get()));
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(together[0], alone[0]);
    EXPECT_EQ(together[1], alone[1]);
    EXPECT_NE(alone[0], alone[1]);
}

TEST(Channels, BytesAndSecondsConvertByFrames) {
    TempDir dir;
    const PcmSpec spec{8000, 3, SampleKind::S16};
    WriteBytes(dir / "a.wav", WavFile(spec, SinePcm(spec, 8000)));
    Channel s(basstest::OpenFile(dir / "a.wav", BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
    ASSERT_TRUE(s);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(s.get(), 8000 * 3 * 4), 1.0);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(s.get(), 8000 * 3 * 2), 0.5);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(s.get(), 0.25), 2000u * 3 * 4);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(s.get(), 1.0 / 8000 * 1.5), 12u);  // whole frames only
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(s.get(), 1.001), 8008u * 12);      // 1.001 x 8000 = 8007.999999999999
    uint8_t odd[13];
    EXPECT_EQ(BASS_ChannelGetData(s.get(), odd, sizeof odd), 12u);  // whole frames only
}

}  // namespace
