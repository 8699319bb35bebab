// Damaged inputs of every built-in format (cut short, cut to the header, bytes overwritten, empty,
// random): creation fails with an error, or the stream ends early and never overruns its length.
#include <gtest/gtest.h>

#include <random>

#include "support/audio_fixtures.h"
#include "test_util.h"

using namespace testsupport;

namespace {

enum class Damage { Half, HeaderOnly, Scribbled, Empty, Random };

struct DamageCase {
    const char* format;
    Damage damage;
};

std::vector<uint8_t> Original(const std::string& format, const std::filesystem::path& dir) {
    const PcmSpec spec{44100, 2, SampleKind::S16};
    if (format == "wav") return WavFile(spec, SinePcm(spec, 20000));
    if (format == "aiff") return AiffFile(spec, SinePcm(spec, 20000));
    const std::string args = format == "mp3"   ? "-c:a libmp3lame"
                             : format == "mp2" ? "-c:a mp2"
                                               : "-c:a libvorbis";
    const std::string ext = format == "vorbis" ? "ogg" : format;
    return ReadBytes(basstest::EncodeSine(dir, "x." + ext, 44100, 2, 0.5, 440, args));
}

std::vector<uint8_t> Damaged(std::vector<uint8_t> v, Damage d) {
    std::mt19937 gen(99);
    switch (d) {
        case Damage::Half:
            v.resize(v.size() / 2);
            break;
        case Damage::HeaderOnly:
            v.resize(std::min<size_t>(v.size(), 60));
            break;
        case Damage::Scribbled:
            for (size_t i = 64; i < v.size(); i += 37) v[i] = static_cast<uint8_t>(gen());
            break;
        case Damage::Empty:
            v.clear();
            break;
        case Damage::Random:
            for (auto& b : v) b = static_cast<uint8_t>(gen());
            break;
    }
    return v;
}

class DamagedInput : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedInput, FailsCleanlyOrEndsEarly) {
    TempDir dir;
    const auto bytes = Damaged(Original(GetParam().format, dir.path()), GetParam().damage);
    for (DWORD flags : {DWORD(BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT), DWORD(BASS_STREAM_DECODE)}) {
        const HSTREAM s =
            BASS_StreamCreateFile(TRUE, bytes.data(), 0, bytes.size(), flags | BASS_STREAM_PRESCAN);
        if (s == 0) {
            EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
            continue;
        }
        const QWORD length = BASS_ChannelGetLength(s, BASS_POS_BYTE);
        const auto pcm = basstest::ReadAll(s, 64u << 20);
        EXPECT_EQ(BASS_ChannelIsActive(s), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
        if (length != static_cast<QWORD>(-1)) {
            EXPECT_LE(pcm.size(), length);
        }
        EXPECT_TRUE(BASS_ChannelSetPosition(s, 0, BASS_POS_BYTE));
        EXPECT_TRUE(BASS_StreamFree(s));
    }
}

std::vector<DamageCase> Cases() {
    std::vector<DamageCase> v;
    for (const char* f : {"wav", "aiff", "mp3", "mp2", "vorbis"}) {
        for (Damage d : {Damage::Half, Damage::HeaderOnly, Damage::Scribbled, Damage::Empty, Damage::Random})
            v.push_back({f, d});
    }
    return v;
}

std::string Name(const testing::TestParamInfo<DamageCase>& info) {
    static const char* names[] = {"half", "header_only", "scribbled", "empty", "random"};
    return std::string(info.param.format) + "_" + names[static_cast<int>(info.param.damage)];
}

INSTANTIATE_TEST_SUITE_P(Formats, DamagedInput, testing::ValuesIn(Cases()), Name);

TEST(DamagedInput, EmptyAndRandomInputsAreUnknownFormats) {
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, "", 0, 0, BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    std::vector<uint8_t> noise(5000);
    std::mt19937 gen(5);
    for (auto& b : noise) b = static_cast<uint8_t>(gen());
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, noise.data(), 0, noise.size(), BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "/", 0, 0, BASS_STREAM_DECODE), 0u);  // a folder
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

}  // namespace
