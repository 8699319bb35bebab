// The Ogg Vorbis writer and its run-time binding judged from outside: the binding's reference counts and
// not-loaded answers, the pages read back by an independent parser (CRCs, one serial, flags, sequence,
// headers on their own pages, the exact length in granules), the one comment, the quality against the
// oggenc tool, independent serials and a set-up libvorbis refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bindings/unavorbisapi.h"
#include "encoder/manager.h"
#include "encoder/writer_class.h"
#include "encoder_test_support.h"
#include "ogg_pages.h"

namespace {

namespace fs = std::filesystem;
namespace vb = unavorbisapi;
using testsupport::PcmSpec;
using testsupport::SampleKind;
using testsupport::TempDir;

// ---- the binding -----------------------------------------------------------------------------------------

// Runs first in its own process state: no registry holds a reference here.
TEST(VorbisBinding, CountsReferencesAndAnswersNotLoadedWithoutItsLibrary) {
    for (vb::Library library : {vb::Library::Ogg, vb::Library::Vorbis}) {
        SCOPED_TRACE(library == vb::Library::Ogg ? "libogg" : "libvorbis");
        ASSERT_EQ(vb::State(library), 0);
        EXPECT_TRUE(vb::Load(library));
        EXPECT_TRUE(vb::Load(library));
        EXPECT_EQ(vb::State(library), 2);
        vb::Unload(library);
        EXPECT_EQ(vb::State(library), 1) << "one Unload of two Loads leaves it loaded";
        vb::Unload(library);
        EXPECT_EQ(vb::State(library), 0);
        vb::Unload(library);
        EXPECT_EQ(vb::State(library), 0) << "an Unload too many changes nothing";
        EXPECT_FALSE(vb::Load(library, "libnothing-here.so.9"));
        EXPECT_EQ(vb::State(library), 0);
    }
    // A library without the entry points (libogg offered as libvorbis) is not taken either.
    EXPECT_FALSE(vb::Load(vb::Library::Vorbis, vb::kOggSoname));
    EXPECT_EQ(vb::State(vb::Library::Vorbis), 0);

    // Not loaded: integers answer -4001, buffers none, procedures nothing.
    ogg_stream_state stream;
    std::memset(&stream, 0x5a, sizeof stream);
    EXPECT_EQ(vb::ogg_stream_init(&stream, 7), vb::kNotLoaded);
    vb::ogg_stream_clear(&stream);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&stream)[0], 0x5a);
    vorbis_info info;
    std::memset(&info, 0x5a, sizeof info);
    vb::vorbis_info_init(&info);
    EXPECT_EQ(info.channels, 0x5a5a5a5a);
    EXPECT_EQ(vb::vorbis_encode_init_vbr(&info, 2, 44100, 0.5f), vb::kNotLoaded);
    vorbis_dsp_state state;
    EXPECT_EQ(vb::vorbis_analysis_buffer(&state, 1024), nullptr);

    // Loaded: the same wrappers reach the library.
    ASSERT_TRUE(vb::Load(vb::Library::Ogg));
    ASSERT_TRUE(vb::Load(vb::Library::Vorbis));
    EXPECT_EQ(vb::ogg_stream_init(&stream, 7), 0);
    EXPECT_EQ(stream.serialno, 7);
    vb::ogg_stream_clear(&stream);
    vb::vorbis_info_init(&info);
    EXPECT_EQ(vb::vorbis_encode_init_vbr(&info, 2, 44100, 0.5f), 0);
    EXPECT_EQ(info.rate, 44100);
    vb::vorbis_info_clear(&info);
    vb::Unload(vb::Library::Vorbis);
    vb::Unload(vb::Library::Ogg);
    EXPECT_EQ(vb::State(vb::Library::Ogg), 0);
}

// ---- the writer ------------------------------------------------------------------------------------------

class OggWriterTest : public testing::Test {
  protected:
    const EncoderClass& Ogg() const {
        for (size_t i = 0; i < registry_.Count(); ++i)
            if (std::string(registry_.Item(i).Name()) == "OGGwriter") return registry_.Item(i);
        throw std::runtime_error("no Ogg writer");
    }
    // Encodes `frames` of a tone per channel (440 Hz left, 1500 Hz right, ...) from a source of `source`'s
    // format; returns the writer's input format.
    WAVEFORMATEX Encode(const fs::path& file, const WAVEFORMATEX& source, int64_t frames) {
        auto writer = Ogg().Create(file.string(), source);
        const WAVEFORMATEX input = writer->InputFormat();
        std::vector<float> pcm(static_cast<size_t>(frames) * input.nChannels);
        for (int64_t i = 0; i < frames; ++i)
            for (int c = 0; c < input.nChannels; ++c)
                pcm[static_cast<size_t>(i) * input.nChannels + c] = static_cast<float>(
                    0.4 * std::sin(2 * M_PI * (c == 0 ? 440.0 : 1500.0) * i / input.nSamplesPerSec));
        WriteFloats(*writer, pcm, 4096 / input.nChannels * input.nChannels);
        writer->Finish();
        return input;
    }

    TEncManager registry_;  // loads the libraries, as the program's registry does
    ConfigGuard guard_;
    TempDir dir_;
};

struct FormatCase {
    const char* name;
    WAVEFORMATEX source;
    int oggsrate;
    int oggmode;
    uint32_t wantRate;
    uint16_t wantChannels;
};

class OggFormatTest : public OggWriterTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(OggFormatTest, PagesHeadersCommentAndExactLength) {
    const FormatCase& c = GetParam();
    Config.oggsrate = c.oggsrate;
    Config.oggmode = c.oggmode;
    const fs::path file = dir_ / "out.ogg";
    const int64_t frames = c.wantRate * 3 / 2 + 333;
    const WAVEFORMATEX input = Encode(file, c.source, frames);
    EXPECT_EQ(input.wFormatTag, WAVE_FORMAT_IEEE_FLOAT);
    EXPECT_EQ(input.wBitsPerSample, 32);
    EXPECT_EQ(input.nSamplesPerSec, c.wantRate);
    EXPECT_EQ(input.nChannels, c.wantChannels);

    const oggtest::Stream stream = oggtest::Parse(testsupport::ReadBytes(file));
    ASSERT_TRUE(stream.error.empty()) << stream.error;
    ASSERT_GE(stream.packets.size(), 4u);
    oggtest::ExpectOnePageChain(stream);
    EXPECT_LE(stream.pages[0].serial, 2147483646u);
    // Identification header alone on the first page; comment and setup headers end before the audio's
    // first page.
    const auto& id = stream.packets[0].data;
    ASSERT_EQ(std::string(id.begin(), id.begin() + 7), "\x01vorbis");
    EXPECT_EQ(stream.pages[0].packetsEnding, 1u);
    EXPECT_EQ(id[11], c.wantChannels);
    EXPECT_EQ(oggtest::Le32(&id[12]), c.wantRate);
    EXPECT_EQ(stream.packets[3].firstPage, stream.packets[2].lastPage + 1) << "audio shares a header page";
    EXPECT_EQ(stream.pages[stream.packets[2].lastPage].granule, 0);

    // The comment header: the library's vendor string and exactly one comment.
    const auto& comment = stream.packets[1].data;
    ASSERT_EQ(std::string(comment.begin(), comment.begin() + 7), "\x03vorbis");
    const uint32_t vendor = oggtest::Le32(&comment[7]);
    ASSERT_GE(comment.size(), 15u + vendor);
    const uint8_t* at = &comment[11 + vendor];
    ASSERT_EQ(oggtest::Le32(at), 1u);
    const uint32_t length = oggtest::Le32(at + 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(at + 8), length), "ENCODER=Wavetrove");

    // The last granule is the number of frames written, exactly.
    EXPECT_EQ(stream.pages.back().granule, frames);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OggFormatTest,
    testing::Values(
        FormatCase{"Defaults44100Stereo16", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 0, 0, 44100, 2},
        FormatCase{"Mono48000Bits24", MakeWaveFormat(WAVE_FORMAT_PCM, 48000, 1, 24), 0, 0, 48000, 1},
        FormatCase{"MonoBits8ToStereo", MakeWaveFormat(WAVE_FORMAT_PCM, 22050, 1, 8), 0, 1, 22050, 2},
        FormatCase{"FloatStereoToMono", MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 32000, 2, 32), 0, 2, 32000, 1},
        FormatCase{"RateFromTable48000", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 4, 0, 48000, 2},
        FormatCase{"RateFromTable8000", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 12, 0, 8000, 2},
        FormatCase{"RateIndexOutsideTheList", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 13, 0, 44100,
                   2}),
    [](const auto& info) { return std::string(info.param.name); });

// Sliders 0, 5 and 10 give libvorbis the qualities oggenc -q 0/5/10 gives it: the nominal bit rates in the
// identification headers agree. Stored values outside the slider are clamped.
TEST_F(OggWriterTest, QualityMatchesOggencNominalBitrate) {
    const PcmSpec spec{44100, 2, SampleKind::S16};
    testsupport::WriteBytes(dir_ / "src.wav", testsupport::WavFile(spec, testsupport::SinePcm(spec, 4410)));
    const auto nominal = [](const fs::path& file) {
        const oggtest::Stream stream = oggtest::Parse(testsupport::ReadBytes(file));
        return stream.packets.empty() ? 0u : oggtest::Le32(&stream.packets[0].data[20]);
    };
    struct Case {
        int slider;
        int oggenc;
    };
    for (const Case c : {Case{0, 0}, Case{5, 5}, Case{10, 10}, Case{-3, 0}, Case{14, 10}}) {
        SCOPED_TRACE(c.slider);
        Config.oggquality = c.slider;
        const fs::path ours = dir_ / ("ours" + std::to_string(c.slider) + ".ogg");
        Encode(ours, MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 4410);
        const fs::path theirs = dir_ / ("theirs" + std::to_string(c.oggenc) + ".ogg");
        ASSERT_EQ(testsupport::RunCommand("oggenc -Q -q " + std::to_string(c.oggenc) + " -o " +
                                          testsupport::ShellQuote(theirs.string()) + " " +
                                          testsupport::ShellQuote((dir_ / "src.wav").string()))
                      .status,
                  0);
        EXPECT_NE(nominal(ours), 0u);
        EXPECT_EQ(nominal(ours), nominal(theirs));
    }
}

TEST_F(OggWriterTest, WritersCreatedTogetherGetIndependentSerials) {
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16);
    std::vector<uint32_t> serials;
    for (int i = 0; i < 4; ++i) {
        auto writer = Ogg().Create((dir_ / ("s" + std::to_string(i) + ".ogg")).string(), source);
        writer->Finish();
    }
    for (int i = 0; i < 4; ++i) {
        const oggtest::Stream stream =
            oggtest::Parse(testsupport::ReadBytes(dir_ / ("s" + std::to_string(i) + ".ogg")));
        ASSERT_FALSE(stream.pages.empty());
        serials.push_back(stream.pages[0].serial);
        EXPECT_LE(serials.back(), 2147483646u);
    }
    for (size_t i = 0; i < serials.size(); ++i)
        for (size_t j = i + 1; j < serials.size(); ++j) EXPECT_NE(serials[i], serials[j]);
}

TEST_F(OggWriterTest, ChannelsStayApart) {
    const fs::path file = dir_ / "lr.ogg";
    Encode(file, MakeWaveFormat(WAVE_FORMAT_PCM, 48000, 2, 16), 48000);
    const auto raw = testsupport::FfmpegDecode(file, "f32le");
    std::vector<float> decoded(raw.size() / sizeof(float));
    std::memcpy(decoded.data(), raw.data(), decoded.size() * sizeof(float));
    std::vector<float> left, right;
    for (size_t i = 0; i + 1 < decoded.size(); i += 2)
        left.push_back(decoded[i]), right.push_back(decoded[i + 1]);
    EXPECT_NEAR(testsupport::EstimateFrequency(left, 1, 48000), 440.0, 10.0);
    EXPECT_NEAR(testsupport::EstimateFrequency(right, 1, 48000), 1500.0, 15.0);
}

// A rate libvorbis has no mode for fails the file before it exists; an empty source gives a stream with
// headers only.
TEST_F(OggWriterTest, RefusedSetUpLeavesNoFileAndAnEmptySourceIsValid) {
    try {
        Ogg().Create((dir_ / "refused.ogg").string(), MakeWaveFormat(WAVE_FORMAT_PCM, 300000, 2, 16));
        ADD_FAILURE() << "no exception";
    } catch (const EEncoderError& error) {
        EXPECT_STREQ(error.what(), kOggInitFailed);
    }
    EXPECT_TRUE(fs::is_empty(dir_.path()));

    const fs::path empty = dir_ / "empty.ogg";
    Encode(empty, MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), 0);
    const oggtest::Stream stream = oggtest::Parse(testsupport::ReadBytes(empty));
    ASSERT_TRUE(stream.error.empty()) << stream.error;
    EXPECT_EQ(stream.pages.back().flags & 4, 4);
    EXPECT_EQ(stream.pages.back().granule, 0);
    // The same stream oggenc makes of an empty WAV: headers, then one empty packet ending the stream.
    EXPECT_EQ(stream.packets.size(), 4u);
    EXPECT_TRUE(testsupport::FfmpegDecode(empty, "s16le").empty());
}

}  // namespace
