// Damaged input: empty, garbage, truncated and header-damaged files either fail to open with the
// format error or deliver what they can and end; nothing crashes, leaks or trips a sanitizer.
#include <gtest/gtest.h>

#include <random>

#include "ffdeck_fixtures.h"

using namespace ffdecktest;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

enum class Damage { Empty, Garbage, TruncatedHalf, TruncatedHeader, ScrambledHeader, ScrambledBody };

struct DamageCase {
    const char* name;
    const char* file;
    const char* args;
    Damage damage;
};

const DamageCase kCases[] = {
    {"EmptyFlac", "d.flac", "-c:a flac", Damage::Empty},
    {"GarbageW64", "d.w64", "-c:a pcm_s16le", Damage::Garbage},
    {"HalfFlac", "d.flac", "-c:a flac", Damage::TruncatedHalf},
    {"HalfM4a", "d.m4a", "-c:a aac", Damage::TruncatedHalf},
    {"HalfOpus", "d.opus", "-c:a libopus", Damage::TruncatedHalf},
    {"HeaderOnlyWavPack", "d.wv", "-c:a wavpack", Damage::TruncatedHeader},
    {"HeaderOnlyCaf", "d.caf", "-c:a pcm_s16be", Damage::TruncatedHeader},
    {"ScrambledHeaderFlac", "d.flac", "-c:a flac", Damage::ScrambledHeader},
    {"ScrambledHeaderM4a", "d.m4a", "-c:a alac", Damage::ScrambledHeader},
    {"ScrambledHeaderW64", "d.w64", "-c:a pcm_s16le", Damage::ScrambledHeader},
    {"ScrambledBodyTta", "d.tta", "-c:a tta", Damage::ScrambledBody},
    {"ScrambledBodyAc3", "d.ac3", "-c:a ac3", Damage::ScrambledBody},
    {"ScrambledBodyAdts", "d.aac", "-c:a aac", Damage::ScrambledBody},
};

void Scramble(std::vector<uint8_t>& bytes, size_t from, size_t to, uint32_t seed) {
    std::mt19937 rng(seed);
    for (size_t i = from; i < std::min(to, bytes.size()); ++i) bytes[i] = static_cast<uint8_t>(rng());
}

class Damaged : public testing::TestWithParam<DamageCase> {};

TEST_P(Damaged, FailsCleanlyOrEndsEarly) {
    EnsureHost();
    const DamageCase& c = GetParam();
    testsupport::TempDir dir;
    auto wav = MakeNoiseWav(dir / "src.wav", PcmSpec{44100, 2, SampleKind::S16}, 44100 * 2);
    auto good = dir / c.file;
    FfmpegConvert(wav, c.args, good);
    auto bytes = testsupport::ReadBytes(good);
    const size_t fullBytes = testsupport::FfmpegDecode(good, "f32le").size();
    switch (c.damage) {
        case Damage::Empty:
            bytes.clear();
            break;
        case Damage::Garbage:
            Scramble(bytes, 0, bytes.size(), 7);
            break;
        case Damage::TruncatedHalf:
            bytes.resize(bytes.size() / 2);
            break;
        case Damage::TruncatedHeader:
            bytes.resize(std::min<size_t>(bytes.size(), 60));
            break;
        case Damage::ScrambledHeader:
            Scramble(bytes, 4, 64, 11);
            break;
        case Damage::ScrambledBody:
            Scramble(bytes, bytes.size() / 3, bytes.size() / 3 + 2000, 13);
            break;
    }
    auto damaged = dir / (std::string("bad_") + c.file);
    testsupport::WriteBytes(damaged, bytes);

    for (DWORD flags : {kFloatFlags, kShortFlags}) {
        HSTREAM h = BASS_StreamCreateFile(FALSE, damaged.c_str(), 0, 0, flags);
        if (h == 0) {
            EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
            continue;
        }
        BASS_ChannelGetLength(h, BASS_POS_BYTE);
        auto data = ReadAll(h);
        // Damage never makes a stream longer than a generous bound on the intact one.
        const size_t scale = flags & BASS_SAMPLE_FLOAT ? 1 : 2;
        EXPECT_LE(data.size(), fullBytes / scale * 2 + 65536);
        BASS_ChannelSetPosition(h, 0, BASS_POS_BYTE);
        ReadAll(h);
        BASS_StreamFree(h);
    }
}

INSTANTIATE_TEST_SUITE_P(Ffdeck, Damaged, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

}  // namespace
