// The AAC writer judged from outside: its MP4 samples against the ADTS frames of fdk-aac's own
// command-line encoder with the same settings, the stream as ffprobe sees it, the rate rule, and the
// gapless edit and iTunSMPB item read back from the file and through FFmpeg's decode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "encoder/manager.h"
#include "encoder/writer_class.h"
#include "encoder_test_support.h"
#include "mp4_boxes.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PcmSpec;
using testsupport::RunCommand;
using testsupport::SampleKind;
using testsupport::ShellQuote;
using testsupport::TempDir;

const EncoderClass& Aac() {
    const TEncManager registry;  // the classes outlive it
    for (size_t i = 0; i < registry.Count(); ++i)
        if (std::string(registry.Item(i).Name()) == "AACwriter") return registry.Item(i);
    throw std::runtime_error("no AAC writer");
}

// Encodes 16-bit `pcm` of `spec` through the writer (with the current settings) into `file`, in blocks
// of 8192 bytes as the pipeline hands them.
WAVEFORMATEX Encode(const fs::path& file, const PcmSpec& spec, const std::vector<uint8_t>& pcm) {
    auto writer =
        Aac().Create(file.string(), MakeWaveFormat(WAVE_FORMAT_PCM, static_cast<uint32_t>(spec.rate),
                                                   static_cast<uint16_t>(spec.channels), 16));
    const size_t frame = writer->InputFormat().nBlockAlign;
    const size_t block = 8192 / frame * frame;
    for (size_t at = 0; at < pcm.size(); at += block)
        writer->Write(pcm.data() + at, static_cast<uint32_t>(std::min(block, pcm.size() - at)));
    writer->Finish();
    return writer->InputFormat();
}

// The frames of an ADTS stream: header fields of the first, payload bytes of each.
struct Adts {
    std::vector<std::vector<uint8_t>> payloads;
    int profile = -1;  // object type - 1
    int rateIndex = -1;
    int channelConfig = -1;
    bool valid = true;
};

Adts ParseAdts(const std::vector<uint8_t>& bytes) {
    Adts adts;
    for (size_t at = 0; at < bytes.size();) {
        if (at + 7 > bytes.size() || bytes[at] != 0xFF || (bytes[at + 1] & 0xF0) != 0xF0) {
            adts.valid = false;
            break;
        }
        const uint8_t* h = &bytes[at];
        const size_t header = (h[1] & 1) ? 7 : 9;
        const size_t length = size_t(h[3] & 3) << 11 | size_t{h[4]} << 3 | h[5] >> 5;
        if (length < header || at + length > bytes.size()) {
            adts.valid = false;
            break;
        }
        if (adts.profile < 0) {
            adts.profile = h[2] >> 6;
            adts.rateIndex = (h[2] >> 2) & 15;
            adts.channelConfig = (h[2] & 1) << 2 | h[3] >> 6;
        }
        adts.payloads.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at + header),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return adts;
}

// Our MP4 samples, every one (the edit ignored), as FFmpeg re-wraps them in ADTS.
Adts SamplesOf(const fs::path& file) {
    const auto r = RunCommand("ffmpeg -nostdin -v error -ignore_editlist 1 -i " + ShellQuote(file.string()) +
                              " -map 0:a -c copy -f adts -");
    EXPECT_EQ(r.status, 0);
    return ParseAdts(std::vector<uint8_t>(r.out.begin(), r.out.end()));
}

// The decoder configuration stored in the track's esds (tag 5).
std::vector<uint8_t> StoredConfig(const mp4test::Movie& movie) {
    const auto& entry = movie.sampleEntry;
    for (size_t at = 0; at + 4 < entry.size(); ++at) {
        if (std::memcmp(&entry[at], "esds", 4) != 0) continue;
        for (size_t d = at + 8; d + 2 < entry.size(); ++d) {
            if (entry[d] != 5) continue;
            size_t length = 0, i = d + 1;
            for (int n = 0; n < 4 && i < entry.size(); ++n, ++i) {
                length = length << 7 | (entry[i] & 0x7F);
                if (!(entry[i] & 0x80)) {
                    ++i;
                    break;
                }
            }
            if (i + length <= entry.size() && length > 0 && length < 64)
                return std::vector<uint8_t>(entry.begin() + static_cast<std::ptrdiff_t>(i),
                                            entry.begin() + static_cast<std::ptrdiff_t>(i + length));
        }
    }
    return {};
}

struct OracleCase {
    const char* name;
    PcmSpec source;
    int aacbitrate;  // item index
    int bitrate;     // the same in bit/s, for aac-enc
    int64_t frames;
};

class AacOracle : public testing::TestWithParam<OracleCase> {};

// fdk-aac's own encoder with the same library and settings: every raw frame equal, byte for byte, which
// pins the parameters, the header stripping and the end of the stream. ffprobe agrees on the stream.
TEST_P(AacOracle, SamplesEqualTheReferenceEncodersFrames) {
    const OracleCase& c = GetParam();
    ConfigGuard guard;
    Config.aacbitrate = c.aacbitrate;
    TempDir dir;
    const auto pcm = testsupport::NoisePcm(c.source, c.frames);
    const auto tone = testsupport::SinePcm(c.source, c.frames, 440.0, 0.4);
    std::vector<uint8_t> mixed(pcm.size());
    // Noise at -24 dB over a tone: loud enough to exercise the bit reservoir, not clipping.
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const int v = static_cast<int16_t>(uint16_t(tone[i] | tone[i + 1] << 8)) +
                      static_cast<int16_t>(uint16_t(pcm[i] | pcm[i + 1] << 8)) / 16;
        const auto s = static_cast<uint16_t>(static_cast<int16_t>(std::clamp(v, -32768, 32767)));
        mixed[i] = static_cast<uint8_t>(s & 0xFF);
        mixed[i + 1] = static_cast<uint8_t>(s >> 8);
    }
    testsupport::WriteBytes(dir / "src.wav", testsupport::WavFile(c.source, mixed));
    ASSERT_EQ(RunCommand("aac-enc -r " + std::to_string(c.bitrate) + " -t 2 -a 1 " +
                         ShellQuote((dir / "src.wav").string()) + " " +
                         ShellQuote((dir / "ref.aac").string()) + " >/dev/null")
                  .status,
              0);
    const Adts reference = ParseAdts(testsupport::ReadBytes(dir / "ref.aac"));
    ASSERT_TRUE(reference.valid);
    const fs::path file = dir / "out.m4a";
    Encode(file, c.source, mixed);
    const Adts ours = SamplesOf(file);
    ASSERT_TRUE(ours.valid);
    ASSERT_EQ(ours.payloads.size(), reference.payloads.size());
    for (size_t i = 0; i < ours.payloads.size(); ++i) ASSERT_EQ(ours.payloads[i], reference.payloads[i]) << i;

    auto probe = ProbeStream(file);
    EXPECT_EQ(probe["codec_name"], "aac");
    EXPECT_EQ(probe["profile"], "LC");
    EXPECT_EQ(probe["sample_rate"], std::to_string(c.source.rate));
    EXPECT_EQ(probe["channels"], std::to_string(c.source.channels));
    const mp4test::Movie movie = mp4test::Parse(testsupport::ReadBytes(file));
    ASSERT_TRUE(movie.error.empty()) << movie.error;
    EXPECT_EQ(movie.trackScale, static_cast<uint32_t>(c.source.rate));
    EXPECT_EQ(movie.movieScale, static_cast<uint32_t>(c.source.rate));
    // The AudioSpecificConfig the reference's ADTS headers describe.
    const int config =
        (reference.profile + 1) << 11 | reference.rateIndex << 7 | reference.channelConfig << 3;
    EXPECT_EQ(StoredConfig(movie), (std::vector<uint8_t>{uint8_t(config >> 8), uint8_t(config & 0xFF)}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AacOracle,
    testing::Values(OracleCase{"Defaults", {44100, 2, SampleKind::S16}, 4, 128000, 44100 * 2 + 333},
                    OracleCase{"Mono64k", {44100, 1, SampleKind::S16}, 8, 64000, 44100 + 1024 * 3},
                    OracleCase{"Stereo256kAt48k", {48000, 2, SampleKind::S16}, 1, 256000, 48000 + 5}),
    [](const auto& info) { return std::string(info.param.name); });

struct FormatCase {
    const char* name;
    WAVEFORMATEX source;
    std::function<void(config&)> settings;
    uint32_t rate;
    uint16_t channels;
};

class AacFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(AacFormat, SourceAndSettingsChooseTheFormat) {
    const FormatCase& c = GetParam();
    config settings;
    if (c.settings) c.settings(settings);
    const WAVEFORMATEX input = Aac().GetInputFormat(c.source, settings);
    EXPECT_EQ(input.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(input.nSamplesPerSec, c.rate);
    EXPECT_EQ(input.nChannels, c.channels);
    EXPECT_EQ(input.wBitsPerSample, 16);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AacFormat,
    testing::Values(
        FormatCase{"Defaults", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 24), nullptr, 44100, 2},
        // The nearest listed rate; a tie goes to the earlier entry.
        FormatCase{"NearestRate", MakeWaveFormat(WAVE_FORMAT_PCM, 37800, 2, 16), nullptr, 32000, 2},
        FormatCase{"TieToEarlier", MakeWaveFormat(WAVE_FORMAT_PCM, 46050, 2, 16), nullptr, 48000, 2},
        FormatCase{"AboveTheList", MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 192000, 1, 32), nullptr, 96000, 1},
        FormatCase{"ListedRateAndMono", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16),
                   [](config& s) { s.aacsamplerate = 7, s.aacmode = 2; }, 24000, 1},
        FormatCase{"Stereo", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 1, 16), [](config& s) { s.aacmode = 1; },
                   44100, 2},
        // The encoder takes one or two channels.
        FormatCase{"SurroundToStereo", MakeWaveFormat(WAVE_FORMAT_PCM, 48000, 6, 16), nullptr, 48000, 2},
        FormatCase{"OutsideTheLists", MakeWaveFormat(WAVE_FORMAT_PCM, 22050, 2, 16),
                   [](config& s) { s.aacsamplerate = -1, s.aacmode = 7; }, 22050, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Each setting reaches the file: rate, channels, and the bit rate (an index outside the list is 128).
TEST(AacWriter, SettingsReachTheFile) {
    ConfigGuard guard;
    TempDir dir;
    const PcmSpec source{44100, 2, SampleKind::S16};
    const auto pcm = testsupport::SinePcm(source, 44100 * 4);
    auto bytesWith = [&](const std::function<void(config&)>& settings, const char* name) {
        Config = config{};
        settings(Config);
        Encode(dir / name, source, pcm);
        return static_cast<double>(fs::file_size(dir / name));
    };
    const double at128 = bytesWith([](config&) {}, "128.m4a");
    const double at32 = bytesWith([](config& s) { s.aacbitrate = 12; }, "32.m4a");
    const double outside = bytesWith([](config& s) { s.aacbitrate = 15; }, "outside.m4a");
    EXPECT_NEAR(at32 / at128, 0.25, 0.05);
    EXPECT_EQ(outside, at128);
    Config = config{};
    Config.aacsamplerate = 9;
    Config.aacmode = 2;
    Encode(dir / "rate.m4a", source, testsupport::SinePcm({16000, 1, SampleKind::S16}, 16000));
    auto probe = ProbeStream(dir / "rate.m4a");
    EXPECT_EQ(probe["sample_rate"], "16000");
    EXPECT_EQ(probe["channels"], "1");
}

// Gapless: one edit starting at the priming the iTunSMPB item gives and lasting exactly the source's frames;
// priming, length and padding account for every packet; FFmpeg's decode starts in step with the source.
TEST(AacWriter, TrackIsGapless) {
    ConfigGuard guard;
    for (const PcmSpec& spec : {PcmSpec{44100, 2, SampleKind::S16}, PcmSpec{22050, 1, SampleKind::S16}}) {
        for (const int64_t frames : {int64_t{44100}, int64_t{1024 * 40}, int64_t{30001}}) {
            SCOPED_TRACE(std::to_string(spec.rate) + " Hz, " + std::to_string(frames) + " frames");
            TempDir dir;
            // Silence, then a tone from frame `onset`.
            const int64_t onset = 20000;
            auto pcm = testsupport::SinePcm(spec, frames - onset, 1000.0, 0.5);
            pcm.insert(pcm.begin(), static_cast<size_t>(onset * spec.channels * 2), 0);
            const fs::path file = dir / "gapless.m4a";
            Encode(file, spec, pcm);

            const mp4test::Movie movie = mp4test::Parse(testsupport::ReadBytes(file));
            ASSERT_TRUE(movie.error.empty()) << movie.error;
            int items = 0;
            const std::string smpb = mp4test::FreeformText(movie, "com.apple.iTunes:iTunSMPB", &items);
            ASSERT_EQ(items, 1);
            unsigned zero = 1, priming = 0, padding = 0;
            unsigned long long length = 0;
            ASSERT_EQ(std::sscanf(smpb.c_str(), " %8X %8X %8X %16llX", &zero, &priming, &padding, &length), 4)
                << smpb;
            EXPECT_EQ(zero, 0u);
            EXPECT_EQ(smpb.size(), 1 + 8 + 1 + 8 + 1 + 8 + 1 + 16 + 8 * 9u) << smpb;
            EXPECT_EQ(priming, 2048u);
            EXPECT_EQ(length, static_cast<unsigned long long>(frames));
            EXPECT_EQ(priming + length + padding, movie.sampleSizes.size() * 1024);
            ASSERT_EQ(movie.edits.size(), 1u);
            EXPECT_EQ(movie.edits[0].mediaTime, static_cast<int64_t>(priming));
            EXPECT_EQ(movie.edits[0].duration, static_cast<uint64_t>(frames));

            const auto decoded = testsupport::FfmpegDecode(file, "f32le");
            std::vector<float> samples(decoded.size() / sizeof(float));
            std::memcpy(samples.data(), decoded.data(), samples.size() * sizeof(float));
            const int64_t decodedFrames = static_cast<int64_t>(samples.size()) / spec.channels;
            EXPECT_GE(decodedFrames, frames);
            EXPECT_LT(decodedFrames, frames + 1024);
            auto firstLoud = [&](auto sample, int64_t count) {
                for (int64_t i = 0; i < count; ++i)
                    if (std::fabs(sample(i)) > 0.25) return i;
                return int64_t{-1};
            };
            const int64_t heard = firstLoud(
                [&](int64_t i) { return samples[static_cast<size_t>(i * spec.channels)]; }, decodedFrames);
            const int64_t played = firstLoud(
                [&](int64_t i) {
                    const size_t at = static_cast<size_t>(i * spec.channels * 2);
                    return static_cast<int16_t>(uint16_t(pcm[at] | pcm[at + 1] << 8)) / 32768.0;
                },
                frames);
            EXPECT_LE(std::llabs(heard - played), 4) << heard << " against " << played;
        }
    }
}

// A source without a single frame still gives a file FFmpeg opens, of no length: the encoder's delay
// frames fill the track, and the edit shows none of them.
TEST(AacWriter, AnEmptySourceGivesAnEmptyTrack) {
    ConfigGuard guard;
    TempDir dir;
    const fs::path file = dir / "empty.m4a";
    auto writer = Aac().Create(file.string(), MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
    writer->Finish();
    writer.reset();
    auto probe = ProbeStream(file);
    EXPECT_EQ(probe["sample_rate"], "44100");
    EXPECT_TRUE(testsupport::FfmpegDecode(file, "s16le").empty());
}

}  // namespace
