// The add-on path: loading and refusing plug-ins, files offered to add-ons after the built-ins, and
// streams made through the host table, whose data, length, info, tags and positions the host forwards.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "support/audio_fixtures.h"
#include "platform/bass/bass_addon.h"
#include "test_util.h"

using namespace testsupport;
using basstest::Channel;

namespace {

constexpr uint32_t kRate = 22050;
constexpr uint32_t kChans = 2;
constexpr size_t kFrames = 3001;

std::vector<float> Ramp() {
    std::vector<float> v(kFrames * kChans);
    for (size_t i = 0; i < v.size(); ++i) v[i] = std::sin(static_cast<float>(i) * 0.01f) * 0.9f;
    v[10] = 1.5f;  // beyond full scale: the 16-bit path must clip
    v[11] = -1.5f;
    return v;
}

std::vector<int16_t> ToInt16(const std::vector<float>& v) {
    std::vector<int16_t> out;
    for (float x : v)
        out.push_back(static_cast<int16_t>(std::clamp(std::lrint(x * 32768.0), -32768L, 32767L)));
    return out;
}

using CreateUserFn = HSTREAM (*)(DWORD, const BASS_FILEPROCS*, void*);
using OffersFn = int (*)();

// A memory file behind user procedures that counts how often the host closes it.
struct UserFile {
    std::vector<uint8_t> bytes;
    size_t pos = 0;
    int closes = 0;
    static void Close(void* u) { ++static_cast<UserFile*>(u)->closes; }
    static QWORD Length(void* u) { return static_cast<UserFile*>(u)->bytes.size(); }
    static DWORD Read(void* buffer, DWORD length, void* u) {
        auto* f = static_cast<UserFile*>(u);
        const size_t n = std::min<size_t>(length, f->bytes.size() - f->pos);
        std::memcpy(buffer, f->bytes.data() + f->pos, n);
        f->pos += n;
        return static_cast<DWORD>(n);
    }
    static BOOL Seek(QWORD offset, void* u) {
        auto* f = static_cast<UserFile*>(u);
        if (offset > f->bytes.size()) return FALSE;
        f->pos = offset;
        return TRUE;
    }
    static constexpr BASS_FILEPROCS kProcs = {Close, Length, Read, Seek};
};

class Addon : public testing::Test {
  protected:
    void SetUp() override {
        plugin_ = BASS_PluginLoad("fakeaddon.dll", BASS_UNICODE);
        ASSERT_NE(plugin_, 0u) << BASS_ErrorGetCode();
        lib_ = dlopen((BinDir() / "libfakeaddon.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(lib_, nullptr);
        createUser_ = reinterpret_cast<CreateUserFn>(dlsym(lib_, "FAKE_StreamCreateFileUser"));
        offers_ = reinterpret_cast<OffersFn>(dlsym(lib_, "FAKE_Offers"));
        ASSERT_TRUE(createUser_ && offers_);
        samples_ = Ramp();
        path_ = dir_ / "tone.fake";
        WriteBytes(path_, basstest::FakeFile(kRate, kChans, samples_));
    }
    void TearDown() override {
        if (lib_) dlclose(lib_);
        if (plugin_) {
            EXPECT_TRUE(BASS_PluginFree(plugin_));
        }
    }

    HPLUGIN plugin_ = 0;
    void* lib_ = nullptr;
    CreateUserFn createUser_ = nullptr;
    OffersFn offers_ = nullptr;
    std::vector<float> samples_;
    TempDir dir_;
    std::filesystem::path path_;
};

TEST(PluginLoad, AcceptsOnlyAddonsThatDescribeThemselves) {
    HPLUGIN p = BASS_PluginLoad("fakeaddon.dll", 0);
    ASSERT_NE(p, 0u);
    const BASS_PLUGININFO* info = BASS_PluginGetInfo(p);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->version, 0x02040000u);
    ASSERT_EQ(info->formatc, 1u);
    EXPECT_STREQ(info->formats[0].exts, "*.fake");

    EXPECT_EQ(BASS_PluginLoad("fakeaddon.dll", 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    EXPECT_EQ(BASS_PluginLoad((BinDir() / "libfakeaddon.so").c_str(), 0), 0u);  // same library by path
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

    EXPECT_EQ(BASS_PluginLoad("fakeaddon_refusing.dll", 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_PluginLoad("no_such_addon.dll", 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);

    EXPECT_TRUE(BASS_PluginFree(p));
    EXPECT_EQ(BASS_PluginGetInfo(p), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_PluginFree(p));
}

TEST_F(Addon, FloatStreamDeliversTheAddonsDataThenEnds) {
    Channel s(basstest::OpenFile(
        path_, BASS_STREAM_DECODE | BASS_STREAM_PRESCAN | BASS_SAMPLE_FLOAT | BASS_UNICODE));
    ASSERT_TRUE(s) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelGetLength(s.get(), BASS_POS_BYTE), kFrames * kChans * 4);
    EXPECT_EQ(BASS_ChannelIsActive(s.get()), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
    const auto got = basstest::AsFloats(basstest::ReadAll(s.get()));
    EXPECT_EQ(got, samples_);
    EXPECT_EQ(BASS_ChannelIsActive(s.get()), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    uint8_t block[64];
    EXPECT_EQ(BASS_ChannelGetData(s.get(), block, sizeof block), static_cast<DWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
    EXPECT_EQ(BASS_ChannelGetPosition(s.get(), BASS_POS_BYTE), kFrames * kChans * 4);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(s.get(), kRate * kChans * 4), 1.0);
}

TEST_F(Addon, SixteenBitStreamCarriesTheHostsConversion) {
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE));
    ASSERT_TRUE(s);
    EXPECT_EQ(BASS_ChannelGetLength(s.get(), BASS_POS_BYTE), kFrames * kChans * 2);
    EXPECT_EQ(basstest::AsInt16(basstest::ReadAll(s.get())), ToInt16(samples_));
}

// An add-on that does not know the integer flag makes a float stream anyway: the host must not hand that
// out as integers.
TEST_F(Addon, IntegerRequestIsRefusedWhenTheAddonIgnoresIt) {
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT | BASS_SAMPLE_INT32));
    EXPECT_FALSE(s);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    Channel again(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
    EXPECT_TRUE(again);  // the file was not left behind half-opened
}

TEST_F(Addon, InfoTagsAndLengthAreForwarded) {
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
    ASSERT_TRUE(s);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s.get(), &info));
    EXPECT_EQ(info.freq, kRate);
    EXPECT_EQ(info.chans, kChans);
    EXPECT_EQ(info.ctype, 0xF8010000u);  // the add-on's override of the host's 0x10000
    EXPECT_EQ(info.origres, 24u);
    EXPECT_EQ(info.plugin, plugin_);
    EXPECT_EQ(info.flags & (BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE),
              DWORD(BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE));
    ASSERT_NE(info.filename, nullptr);
    EXPECT_EQ(std::string(info.filename), path_.string());

    const char* tags = BASS_ChannelGetTags(s.get(), BASS_TAG_OGG);
    ASSERT_NE(tags, nullptr);
    EXPECT_STREQ(tags, "title=Fake title");
    EXPECT_STREQ(tags + std::strlen(tags) + 1, "artist=Fake artist");
    EXPECT_EQ(BASS_ChannelGetTags(s.get(), BASS_TAG_MP4), nullptr);
    EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);

    // The add-on's own error stands when it refuses.
    EXPECT_EQ(BASS_ChannelGetLength(s.get(), 1), static_cast<QWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

TEST_F(Addon, PositionsGoThroughTheAddonAndRestartTheStream) {
    Channel s(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT));
    ASSERT_TRUE(s);
    basstest::ReadAll(s.get());
    const QWORD frame = 1000;
    ASSERT_TRUE(BASS_ChannelSetPosition(s.get(), frame * kChans * 4, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelIsActive(s.get()), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(BASS_ChannelGetPosition(s.get(), BASS_POS_BYTE), frame * kChans * 4);
    const auto tail = basstest::AsFloats(basstest::ReadAll(s.get()));
    EXPECT_EQ(tail, std::vector<float>(samples_.begin() + frame * kChans, samples_.end()));

    EXPECT_FALSE(BASS_ChannelSetPosition(s.get(), kFrames * kChans * 4, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    EXPECT_EQ(BASS_ChannelIsActive(s.get()), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
}

TEST_F(Addon, BuiltinsComeFirstAndUnknownInputReachesTheAddon) {
    const PcmSpec spec{44100, 2, SampleKind::S16};
    WriteBytes(dir_ / "a.wav", WavFile(spec, SinePcm(spec, 1000)));
    const int before = offers_();
    Channel wav(basstest::OpenFile(dir_ / "a.wav", BASS_STREAM_DECODE));
    ASSERT_TRUE(wav);
    EXPECT_EQ(offers_(), before);
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(wav.get(), &info);
    EXPECT_EQ(info.plugin, 0u);

    // A WAV the built-in cannot deliver exactly (ADPCM) is offered to the add-on, which refuses it.
    const auto adpcm = basstest::EncodeSine(dir_.path(), "adpcm.wav", 44100, 1, 0.2, 440, "-c:a adpcm_ms");
    EXPECT_EQ(basstest::OpenFile(adpcm, BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(offers_(), before + 1);

    // The add-on's refusal for a parameter reason is what the caller sees.
    EXPECT_EQ(basstest::OpenFile(path_, BASS_STREAM_DECODE | BASS_SAMPLE_8BITS), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST_F(Addon, HostFilesBelongToTheStreamAndCloseWithIt) {
    // A host file the add-on opened itself (entry 12).
    UserFile mine{basstest::FakeFile(kRate, kChans, samples_)};
    HSTREAM s = createUser_(BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, &UserFile::kProcs, &mine);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(basstest::AsFloats(basstest::ReadAll(s)), samples_);
    EXPECT_EQ(mine.closes, 0);
    EXPECT_TRUE(BASS_StreamFree(s));
    EXPECT_EQ(mine.closes, 1);

    // A user file the host opened and offered (BASS_StreamCreateFileUser).
    UserFile offered{basstest::FakeFile(kRate, kChans, samples_)};
    s = BASS_StreamCreateFileUser(STREAMFILE_NOBUFFER, BASS_STREAM_DECODE, &UserFile::kProcs, &offered);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(basstest::AsInt16(basstest::ReadAll(s)), ToInt16(samples_));
    EXPECT_EQ(offered.closes, 0);
    EXPECT_TRUE(BASS_StreamFree(s));
    EXPECT_EQ(offered.closes, 1);

    // Refused everywhere: closed at once.
    UserFile junk{std::vector<uint8_t>(100, 0x55)};
    EXPECT_EQ(BASS_StreamCreateFileUser(STREAMFILE_NOBUFFER, BASS_STREAM_DECODE, &UserFile::kProcs, &junk),
              0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(junk.closes, 1);
}

// A user file without length and seek procedures is a block file: the built-ins (which must seek) skip
// it and the add-on reads it front to back.
TEST_F(Addon, BlockUserFilesGoToTheAddon) {
    static constexpr BASS_FILEPROCS kBlockProcs = {UserFile::Close, nullptr, UserFile::Read, nullptr};
    UserFile fake{basstest::FakeFile(kRate, kChans, samples_)};
    HSTREAM s = BASS_StreamCreateFileUser(STREAMFILE_NOBUFFER, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT,
                                          &kBlockProcs, &fake);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(basstest::AsFloats(basstest::ReadAll(s)), samples_);
    EXPECT_TRUE(BASS_StreamFree(s));
    EXPECT_EQ(fake.closes, 1);

    const PcmSpec spec{44100, 1, SampleKind::S16};
    UserFile wav{WavFile(spec, SinePcm(spec, 100))};
    EXPECT_EQ(BASS_StreamCreateFileUser(STREAMFILE_NOBUFFER, BASS_STREAM_DECODE, &kBlockProcs, &wav), 0u);
    EXPECT_EQ(wav.closes, 1);
    EXPECT_EQ(BASS_StreamCreateFileUser(STREAMFILE_BUFFER, BASS_STREAM_DECODE, &UserFile::kProcs, &wav), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

// Host files opened on one thread go only to streams made on that thread: two threads making and
// freeing add-on streams side by side each get their own data, and every file is closed exactly once.
TEST_F(Addon, StreamsOnTwoThreadsKeepTheirOwnFiles) {
    std::vector<float> other(samples_.rbegin(), samples_.rend());
    auto work = [&](const std::vector<float>& data, int* failures) {
        for (int round = 0; round < 20; ++round) {
            UserFile f{basstest::FakeFile(kRate, kChans, data)};
            HSTREAM s = createUser_(BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT, &UserFile::kProcs, &f);
            if (s == 0 || basstest::AsFloats(basstest::ReadAll(s)) != data || !BASS_StreamFree(s) ||
                f.closes != 1)
                ++*failures;
        }
    };
    int failures[2] = {0, 0};
    std::thread a(work, std::cref(samples_), &failures[0]);
    std::thread b(work, std::cref(other), &failures[1]);
    a.join();
    b.join();
    EXPECT_EQ(failures[0], 0);
    EXPECT_EQ(failures[1], 0);
}

TEST_F(Addon, FreeingThePluginFreesItsStreams) {
    UserFile mine{basstest::FakeFile(kRate, kChans, samples_)};
    HSTREAM s = createUser_(BASS_STREAM_DECODE, &UserFile::kProcs, &mine);
    ASSERT_NE(s, 0u);
    dlclose(lib_);
    lib_ = nullptr;
    ASSERT_TRUE(BASS_PluginFree(plugin_));
    plugin_ = 0;
    EXPECT_EQ(mine.closes, 1);
    EXPECT_FALSE(BASS_StreamFree(s));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

}  // namespace
