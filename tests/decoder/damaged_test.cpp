// Damaged input of every registered extension: empty, random and truncated files must give an invalid
// source or a reading that ends, never a crash or a hang.
#include <gtest/gtest.h>

#include <random>

#include "support/audio_fixtures.h"
#include "decoder_test_util.h"
#include "mod_fixture.h"

using dectest::ReadAll;
using dectest::Registry;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

std::vector<std::string> AllExtensions() {
    std::vector<std::string> extensions;
    for (const DecoderClass* cls : Registry().Classes()) {
        TFormats formats;
        cls->GetFormats(formats);
        for (const auto& f : formats) extensions.push_back(f.extension);
    }
    return extensions;
}

// Opens and, when the source claims to be valid, reads to the end within a generous block budget.
void OpenAndDrain(const std::filesystem::path& path, size_t sizeLimit) {
    auto source = Registry().OpenFile(path.string());
    ASSERT_NE(source, nullptr) << path;
    if (!source->IsValid()) return;
    EXPECT_LE(source->GetChannels(), 2);
    const auto read = ReadAll(*source, 4096);
    EXPECT_TRUE(read.ended) << path << " did not end";
    EXPECT_LE(read.largestBlock, 8192u);
    EXPECT_LE(read.bytes.size(), sizeLimit) << path;
}

TEST(DamagedInput, EmptyAndRandomFilesOfEveryExtension) {
    testsupport::TempDir dir;
    std::mt19937 random(20261209);
    std::vector<uint8_t> noise(6000);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    for (const std::string& ext : AllExtensions()) {
        SCOPED_TRACE(ext);
        testsupport::WriteBytes(dir / ("empty" + ext), {});
        auto empty = Registry().OpenFile((dir / ("empty" + ext)).string());
        ASSERT_NE(empty, nullptr);
        EXPECT_FALSE(empty->IsValid());
        testsupport::WriteBytes(dir / ("noise" + ext), noise);
        OpenAndDrain(dir / ("noise" + ext), 4096u * 8192u);
    }
}

class TruncatedFile : public ::testing::TestWithParam<const char*> {};

TEST_P(TruncatedFile, EndsEarlyOrIsInvalid) {
    const std::string ext = GetParam();
    testsupport::TempDir dir;
    const auto whole = dir / ("whole." + ext);
    if (ext == "mod") {
        testsupport::WriteBytes(whole, dectest::TinyModule());
    } else {
        const PcmSpec spec{44100, 2, SampleKind::S16};
        testsupport::WriteBytes(dir / "src.wav",
                                testsupport::WavFile(spec, testsupport::SinePcm(spec, 44100)));
        if (ext == "wav")
            std::filesystem::copy_file(dir / "src.wav", whole);
        else if (ext == "aiff")
            testsupport::WriteBytes(whole, testsupport::AiffFile(spec, testsupport::SinePcm(spec, 44100)));
        else
            dectest::FfmpegConvert(dir / "src.wav", whole, ext == "mp3" ? "-c:a libmp3lame" : "");
    }
    auto full = Registry().OpenFile(whole.string());
    ASSERT_TRUE(full && full->IsValid());
    const size_t fullBytes = ReadAll(*full).bytes.size();
    const auto bytes = testsupport::ReadBytes(whole);
    for (size_t cut : {bytes.size() / 2, bytes.size() / 5, size_t{60}, size_t{12}, size_t{1}}) {
        SCOPED_TRACE(cut);
        const auto path = dir / ("cut" + std::to_string(cut) + "." + ext);
        testsupport::WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
        // A cut stream can't hold more audio than the whole one (one decoder frame of slack). A cut module
        // may lose its pattern break and play all 64 rows of its pattern, four times the whole song.
        OpenAndDrain(path, ext == "mod" ? 4 * fullBytes + 8192 : fullBytes + 8192);
    }
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, TruncatedFile,
                         ::testing::Values("wav", "aiff", "mp3", "ogg", "flac", "wv", "opus", "mod"));

}  // namespace
