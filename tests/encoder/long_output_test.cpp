// Outputs past what RIFF and AIFF headers can state, proven with small files under a lowered size limit
// (WAVETROVE_SIZE_FIELD_LIMIT, read by test builds only): WAV turns into RF64 that FFmpeg and libsndfile
// read whole, AIFF fails with its own message before passing the limit, and files that fit stay exactly
// what libsndfile writes on its own. End to end through wavetrove-cli: the failed AIFF leaves no file.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <tuple>

#include "encoder_test_support.h"
#include "encoder/writers.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ShellQuote;
using testsupport::TempDir;

// Sets an environment variable for the life of the guard.
class EnvGuard {
  public:
    EnvGuard(const char* name, const std::string& value) : name_(name) { setenv(name, value.c_str(), 1); }
    ~EnvGuard() { unsetenv(name_); }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

  private:
    const char* name_;
};

uint64_t Le(const std::vector<uint8_t>& bytes, size_t at, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) value |= uint64_t{bytes.at(at + static_cast<size_t>(i))} << (8 * i);
    return value;
}

struct Format {
    const char* name;
    int wavbps;  // the writer's depth setting
    int channels;
    int bytes;             // per stored sample
    const char* decodeAs;  // FFmpeg's sample format for the comparison
    int sfFormat;          // what libsndfile writes for that setting on its own
};

constexpr Format kFormats[] = {
    {"16-bit stereo", 2, 2, 2, "s16le", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    {"24-bit stereo", 3, 2, 3, "s24le", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24},
    {"float stereo", 5, 2, 4, "f32le", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT},
    {"8-bit mono", 1, 1, 1, "u8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
};

// Floats on the 8-bit grid, which every stored depth (8-bit included) keeps exactly, so FFmpeg's decode
// can be compared with the bytes libsndfile writes for the same values.
std::vector<float> Pattern(size_t count) {
    std::vector<float> floats(count);
    for (size_t i = 0; i < count; ++i)
        floats[i] = static_cast<float>(static_cast<int>(i * 37 % 256) - 128) / 128;
    return floats;
}

std::unique_ptr<Tencoder> MakeWriter(const EncoderClass& writerClass, const fs::path& file,
                                     const Format& format) {
    config settings = Config;
    settings.wavbps = format.wavbps;
    settings.aifbps = format.wavbps;
    settings.wavsrate = settings.aifsrate = 0;
    settings.wavmode = settings.aifmode = 0;
    return writerClass.Create(file.string(), MakeWaveFormat(WAVE_FORMAT_PCM, 8000, format.channels, 16),
                              settings);
}

// The same floats written by libsndfile alone, straight into a file: what the writer wrote before long
// outputs were handled, and must still write for every file that fits.
std::vector<uint8_t> LibsndfileAlone(const fs::path& file, int sfFormat, int channels,
                                     const std::vector<float>& floats) {
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = channels;
    info.format = sfFormat;
    SNDFILE* handle = sf_open(file.c_str(), SFM_WRITE, &info);
    EXPECT_NE(handle, nullptr) << sf_strerror(nullptr);
    if (!handle) return {};
    sf_command(handle, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    EXPECT_EQ(sf_write_float(handle, floats.data(), static_cast<sf_count_t>(floats.size())),
              static_cast<sf_count_t>(floats.size()));
    sf_close(handle);
    return testsupport::ReadBytes(file);
}

// What FFmpeg decodes of `floats` stored in `format`: the reference file's samples, read by FFmpeg.
std::vector<uint8_t> ExpectedDecode(const TempDir& dir, const Format& format,
                                    const std::vector<float>& floats) {
    const fs::path reference = dir / "reference.wav";
    LibsndfileAlone(reference, format.sfFormat, format.channels, floats);
    return testsupport::FfmpegDecode(reference, format.decodeAs);
}

// Turns into RF64 in the middle of the stream, whichever way the room for ds64 is made (a block inserted
// in front, or the data moved back), and readers see every sample.
class Rf64Switch : public testing::TestWithParam<std::tuple<Format, bool>> {};

TEST_P(Rf64Switch, ReadersSeeEveryFrame) {
    const auto& [format, copy] = GetParam();
    TempDir dir;
    const uint64_t limit = 30001;  // odd, so a pad byte is counted for 8-bit mono
    EnvGuard limitGuard("WAVETROVE_SIZE_FIELD_LIMIT", std::to_string(limit));
    std::optional<EnvGuard> copyGuard;
    if (copy) copyGuard.emplace("WAVETROVE_RF64_ROOM", "copy");

    // Three times what the header may state, an odd number of frames.
    const size_t frames = (3 * limit / static_cast<uint64_t>(format.bytes * format.channels)) | 1;
    const std::vector<float> floats = Pattern(frames * static_cast<size_t>(format.channels));
    const fs::path file = dir / "long.wav";
    {
        auto writer = MakeWriter(WAVwriterClass, file, format);
        WriteFloats(*writer, floats, 1000 * static_cast<size_t>(format.channels));
        writer->Finish();
    }

    const std::vector<uint8_t> bytes = testsupport::ReadBytes(file);
    ASSERT_GE(bytes.size(), 48u);
    const uint64_t dataBytes = frames * static_cast<uint64_t>(format.bytes * format.channels);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RF64");
    EXPECT_EQ(Le(bytes, 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "ds64");
    EXPECT_EQ(Le(bytes, 20, 8), bytes.size() - 8) << "RIFF size";
    EXPECT_EQ(Le(bytes, 28, 8), dataBytes) << "data size";
    EXPECT_EQ(Le(bytes, 36, 8), frames) << "sample count";

    SF_INFO info{};
    SNDFILE* handle = sf_open(file.c_str(), SFM_READ, &info);
    ASSERT_NE(handle, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.frames, static_cast<sf_count_t>(frames));
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
    sf_close(handle);

    EXPECT_EQ(testsupport::FfmpegDecode(file, format.decodeAs), ExpectedDecode(dir, format, floats));
}

INSTANTIATE_TEST_SUITE_P(Formats, Rf64Switch, testing::Combine(testing::ValuesIn(kFormats), testing::Bool()),
                         [](const auto& info) {
                             std::string name = std::string(std::get<0>(info.param).name) +
                                                (std::get<1>(info.param) ? " moved" : " inserted");
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// A file whose sizes just fit stays byte for byte what libsndfile writes alone; two frames more and it is
// RF64. A minute at the real limit stays the same too.
TEST(LongOutput, FilesThatFitStayPlainRiff) {
    TempDir dir;
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        const size_t frameBytes = static_cast<size_t>(format.bytes * format.channels);
        const std::vector<float> minute = Pattern(8000 * 60 * static_cast<size_t>(format.channels));
        {
            auto writer = MakeWriter(WAVwriterClass, dir / "minute.wav", format);
            WriteFloats(*writer, minute);
            writer->Finish();
        }
        const std::vector<uint8_t> alone =
            LibsndfileAlone(dir / "alone.wav", format.sfFormat, format.channels, minute);
        EXPECT_TRUE(testsupport::ReadBytes(dir / "minute.wav") == alone);

        // The limit that `frames` frames fill exactly: what follows the RIFF size field.
        const size_t header = alone.size() -
                              minute.size() / static_cast<size_t>(format.channels) * frameBytes -
                              ((minute.size() * static_cast<size_t>(format.bytes)) & 1);
        const size_t frames = 2001;
        const uint64_t dataBytes = frames * frameBytes;
        const uint64_t limit = header + dataBytes + (dataBytes & 1) - 8;
        EnvGuard guard("WAVETROVE_SIZE_FIELD_LIMIT", std::to_string(limit));
        for (const size_t count : {frames, frames + 2}) {
            const std::vector<float> floats = Pattern(count * static_cast<size_t>(format.channels));
            const fs::path file = dir / ("fit" + std::to_string(count) + ".wav");
            {
                auto writer = MakeWriter(WAVwriterClass, file, format);
                WriteFloats(*writer, floats);
                writer->Finish();
            }
            const std::vector<uint8_t> bytes = testsupport::ReadBytes(file);
            if (count == frames) {
                EXPECT_TRUE(bytes ==
                            LibsndfileAlone(dir / "fit_alone.wav", format.sfFormat, format.channels, floats));
            } else {
                EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RF64");
            }
        }
    }
}

// AIFF has no larger form: a length known before writing that cannot fit fails at once, and otherwise the
// write that would pass the limit fails with the format's own message, nothing of it reaching the file,
// whose header never wraps. WAV takes any length.
TEST(LongOutput, AiffRefusesToPassTheLimit) {
    TempDir dir;
    const uint64_t limit = 20000;
    EnvGuard guard("WAVETROVE_SIZE_FIELD_LIMIT", std::to_string(limit));
    const Format format = kFormats[0];
    auto wav = MakeWriter(WAVwriterClass, dir / "long.wav", format);
    EXPECT_NO_THROW(wav->CheckLength(uint64_t{1} << 40));
    const fs::path file = dir / "long.aiff";
    auto writer = MakeWriter(AIFwriterClass, file, format);
    // 16-bit stereo: 4 bytes a frame behind a header of less than 100 bytes.
    EXPECT_NO_THROW(writer->CheckLength((limit - 100) / 4));
    try {
        writer->CheckLength(limit / 4);
        ADD_FAILURE() << "no refusal of a length that cannot fit";
    } catch (const EEncoderError& error) {
        EXPECT_STREQ(error.what(), kAiffTooLarge);
    }

    const std::vector<float> block = Pattern(2000);
    uint64_t written = 0;
    try {
        for (int i = 0; i < 100; ++i) {
            writer->Write(reinterpret_cast<const uint8_t*>(block.data()),
                          static_cast<uint32_t>(block.size() * 4));
            written += block.size() * 2;
        }
        ADD_FAILURE() << "no refusal";
    } catch (const EEncoderError& error) {
        EXPECT_STREQ(error.what(), kAiffTooLarge);
    }
    EXPECT_GT(written, 0u);
    EXPECT_LE(written, limit);
    EXPECT_GT(written + block.size() * 2, limit - 100) << "refused well before the limit";
}

// End to end: the AIFF conversion fails with exit status 2, the message in the log and no file left,
// whether the source's length (whole seconds) already tells or only the writing does; the same sources to
// WAV are converted whole as RF64.
TEST(LongOutput, CliRefusesAiffAndWritesRf64) {
    TempDir dir;
    const testsupport::PcmSpec spec{44100, 2, testsupport::SampleKind::S16};
    fs::create_directories(dir / "cfg");
    const auto convert = [&](const fs::path& source, const std::string& format, const fs::path& out) {
        fs::create_directories(out);
        return testsupport::RunCommand(
            "WAVETROVE_SIZE_FIELD_LIMIT=100000 XDG_CONFIG_HOME=" + ShellQuote((dir / "cfg").string()) + " " +
            ShellQuote((testsupport::BinDir() / "wavetrove-cli").string()) + " -j 1 -f " + format + " -o " +
            ShellQuote(out.string()) + " " + ShellQuote(source.string()) + " </dev/null 2>&1");
    };
    // 176400 bytes of sound known before writing; 158760 bytes in a source whose whole seconds are 0.
    for (const int64_t frames : {44100, 39690}) {
        SCOPED_TRACE(std::to_string(frames) + " frames");
        const std::string stem = "long" + std::to_string(frames);
        const fs::path source = dir / (stem + ".wav");
        testsupport::WriteBytes(source, testsupport::WavFile(spec, testsupport::NoisePcm(spec, frames)));

        const fs::path aiffOut = dir / ("aiff" + std::to_string(frames));
        const auto aiff = convert(source, "aiff", aiffOut);
        EXPECT_EQ(aiff.status, 2) << aiff.out;
        EXPECT_NE(aiff.out.find("Conversion failed for: " + source.string() + " (" + kAiffTooLarge + ")"),
                  std::string::npos)
            << aiff.out;
        EXPECT_TRUE(fs::is_empty(aiffOut)) << "a partial file was left";

        const fs::path wavOut = dir / ("wav" + std::to_string(frames));
        const auto wav = convert(source, "wav", wavOut);
        EXPECT_EQ(wav.status, 0) << wav.out;
        const fs::path output = wavOut / (stem + ".wav");
        const std::vector<uint8_t> bytes = testsupport::ReadBytes(output);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RF64");
        EXPECT_EQ(ProbeStream(output)["duration_ts"], std::to_string(frames));
        EXPECT_EQ(testsupport::FfmpegDecode(output, "s16le"), testsupport::FfmpegDecode(source, "s16le"));
    }
}

}  // namespace
