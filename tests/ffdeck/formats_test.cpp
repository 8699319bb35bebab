// Every format family the add-on serves, made with the ffmpeg tool and opened through the host as the
// program opens it: delivered bytes against FFmpeg's own decode, lossless files against their source
// PCM, and the channel type and bit depth the host reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "ffdeck_fixtures.h"

using namespace ffdecktest;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

struct FormatCase {
    const char* name;
    const char* file;  // output name; its extension picks the container
    const char* args;  // ffmpeg encoding arguments
    PcmSpec source;    // PCM the file is made from
    bool lossless;     // decodes back to the source PCM exactly
    DWORD bits;        // bit depth the stream states
};

constexpr PcmSpec kStereo16{44100, 2, SampleKind::S16};
constexpr PcmSpec kStereo24{48000, 2, SampleKind::S24};
constexpr PcmSpec kMono16k{16000, 1, SampleKind::S16};
constexpr PcmSpec kMono8k{8000, 1, SampleKind::S16};

const FormatCase kCases[] = {
    {"Flac16", "a.flac", "-c:a flac", kStereo16, true, 16},
    {"Flac24", "a.flac", "-c:a flac -sample_fmt s32", kStereo24, true, 24},
    {"AlacM4a", "a.m4a", "-c:a alac", kStereo16, true, 16},
    {"AacM4a", "a.m4a", "-c:a aac -b:a 128k", kStereo16, false, 32},
    {"AacAdts", "a.aac", "-c:a aac -b:a 96k", kStereo16, false, 32},
    {"WavPack", "a.wv", "-c:a wavpack", kStereo16, true, 16},
    {"TrueAudio", "a.tta", "-c:a tta", kStereo16, true, 16},
    {"Opus", "a.opus", "-c:a libopus -b:a 96k", kStereo16, false, 32},
    {"Speex", "a.spx", "-c:a libspeex", kMono16k, false, 32},
    {"Gsm", "a.gsm", "-c:a libgsm", kMono8k, false, 16},
    {"Caf", "a.caf", "-c:a pcm_s16be", kStereo16, true, 16},
    {"W64", "a.w64", "-c:a pcm_s16le", kStereo16, true, 16},
    {"Au", "a.au", "-c:a pcm_s16be", kStereo16, true, 16},
    {"Voc", "a.voc", "-c:a pcm_s16le", kMono8k, true, 16},
    {"Ac3", "a.ac3", "-c:a ac3 -b:a 192k", kStereo16, false, 32},
    // The remaining sample layouts: unsigned 8-bit, 32-bit and 64-bit integers, double.
    {"VocU8", "a.voc", "-c:a pcm_u8", kMono8k, false, 8},
    {"W64S32", "a.w64", "-c:a pcm_s32le", kStereo16, false, 32},
    {"W64S64", "a.w64", "-c:a pcm_s64le", kStereo16, false, 64},
    {"CafF64", "a.caf", "-c:a pcm_f64le", kStereo16, false, 64},
};

class Formats : public testing::TestWithParam<FormatCase> {
  protected:
    void SetUp() override {
        EnsureHost();
        const FormatCase& c = GetParam();
        source_ = testsupport::NoisePcm(c.source, c.source.rate * 3 / 2);
        auto wav = dir_ / "source.wav";
        testsupport::WriteBytes(wav, testsupport::WavFile(c.source, source_));
        file_ = dir_ / c.file;
        FfmpegConvert(wav, c.args, file_);
    }

    testsupport::TempDir dir_;
    std::filesystem::path file_;
    std::vector<uint8_t> source_;
};

// FFmpeg's decode converted to 16-bit by FFmpeg's own float-to-s16 step (rounding, clipping). A direct
// decode to s16le would shift 24- and 32-bit decoders' samples instead, a different path from float.
std::vector<uint8_t> FfmpegDecodeThroughFloat(const std::filesystem::path& file, int rate, int channels) {
    auto r = testsupport::RunCommand("ffmpeg -nostdin -v error -i " + testsupport::ShellQuote(file.string()) +
                                     " -f f32le - | ffmpeg -nostdin -v error -f f32le -ar " +
                                     std::to_string(rate) + " -ac " + std::to_string(channels) +
                                     " -i - -f s16le -");
    if (r.status != 0) throw std::runtime_error("ffmpeg could not convert " + file.string());
    return std::vector<uint8_t>(r.out.begin(), r.out.end());
}

TEST_P(Formats, DeliversFfmpegsDecodeInFloatAndSixteenBit) {
    for (DWORD flags : {kFloatFlags, kShortFlags}) {
        SCOPED_TRACE(flags == kFloatFlags ? "float" : "16-bit");
        HSTREAM handle = BASS_StreamCreateFile(FALSE, file_.c_str(), 0, 0, flags);
        ASSERT_NE(handle, 0u) << "error " << BASS_ErrorGetCode();
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(handle, &info));
        auto got = ReadAll(handle);
        auto expected = flags == kFloatFlags ? testsupport::FfmpegDecode(file_, "f32le")
                                             : FfmpegDecodeThroughFloat(file_, info.freq, info.chans);
        EXPECT_GT(expected.size(), 0u);
        ASSERT_EQ(got.size(), expected.size());
        EXPECT_TRUE(got == expected) << "first difference at byte "
                                     << std::mismatch(got.begin(), got.end(), expected.begin()).first -
                                            got.begin();
        BASS_StreamFree(handle);
    }
}

// Integer streams (the host's BASS_SAMPLE_INT32): decoders that produce integers give FFmpeg's own decode
// to 32-bit integers bit for bit; float decoders refuse, so the caller keeps its float stream.
TEST_P(Formats, IntegerStreamsOnlyFromIntegerDecoders) {
    auto probe = testsupport::RunCommand(
        "ffprobe -v error -select_streams a:0 -show_entries stream=sample_fmt "
        "-of default=nw=1:nk=1 " +
        testsupport::ShellQuote(file_.string()));
    const std::string format = probe.out.substr(0, probe.out.find('\n'));
    const bool integers = format == "u8" || format == "u8p" || format == "s16" || format == "s16p" ||
                          format == "s32" || format == "s32p";
    HSTREAM handle = BASS_StreamCreateFile(FALSE, file_.c_str(), 0, 0, kFloatFlags | BASS_SAMPLE_INT32);
    if (!integers) {
        EXPECT_EQ(handle, 0u) << format;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
        if (handle) BASS_StreamFree(handle);
        return;
    }
    ASSERT_NE(handle, 0u) << format << ", error " << BASS_ErrorGetCode();
    const auto got = ReadAll(handle);
    const auto expected = testsupport::FfmpegDecode(file_, "s32le");
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "first difference at byte "
                                 << std::mismatch(got.begin(), got.end(), expected.begin()).first -
                                        got.begin();
    BASS_StreamFree(handle);
}

TEST_P(Formats, ReportsCodecAndBitDepth) {
    HSTREAM handle = BASS_StreamCreateFile(FALSE, file_.c_str(), 0, 0, kFloatFlags);
    ASSERT_NE(handle, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(handle, &info));
    EXPECT_EQ(info.ctype, 0xF8000000u + static_cast<DWORD>(ProbeCodecId(file_)));
    EXPECT_EQ(info.origres, GetParam().bits);
    EXPECT_EQ(info.chans, static_cast<DWORD>(GetParam().source.channels));
    BASS_StreamFree(handle);
}

using Lossless = Formats;

TEST_P(Lossless, GivesBackTheSourcePcm) {
    const FormatCase& c = GetParam();
    if (c.source.kind == SampleKind::S16) {
        HSTREAM handle = BASS_StreamCreateFile(FALSE, file_.c_str(), 0, 0, kShortFlags);
        ASSERT_NE(handle, 0u);
        EXPECT_TRUE(ReadAll(handle) == source_);
        BASS_StreamFree(handle);
    } else {
        // 24-bit values come out as value / 2^23 exactly.
        HSTREAM handle = BASS_StreamCreateFile(FALSE, file_.c_str(), 0, 0, kFloatFlags);
        ASSERT_NE(handle, 0u);
        auto got = ReadAll(handle);
        ASSERT_EQ(got.size() / 4, source_.size() / 3);
        size_t mismatches = 0;
        for (size_t i = 0; i < source_.size() / 3; ++i) {
            int32_t v = (source_[3 * i] << 8 | source_[3 * i + 1] << 16 | source_[3 * i + 2] << 24) >> 8;
            float f;
            std::memcpy(&f, &got[4 * i], 4);
            if (f != static_cast<float>(v) / 8388608.0f) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0u);
        BASS_StreamFree(handle);
    }
}

std::string CaseName(const testing::TestParamInfo<FormatCase>& info) {
    return info.param.name;
}

std::vector<FormatCase> LosslessCases() {
    std::vector<FormatCase> cases;
    for (const auto& c : kCases) {
        if (c.lossless) cases.push_back(c);
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Ffdeck, Formats, testing::ValuesIn(kCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Ffdeck, Lossless, testing::ValuesIn(LosslessCases()), CaseName);

}  // namespace
